#pragma once
// One frame as plain data: what to clear, each draw in the frame's order with
// its complete state and matrix, the eight lights, fog and projection.
#include <array>
#include <cstdint>
#include <vector>

#include "base/Matrix4.h"
#include "frame/RenderState.h"

namespace stagwerk {

class Mesh;

enum class DrawKind : uint8_t {
  ClearColour,  // the colour buffer to the frame's clear colour
  ClearDepth,
  Picture,      // a full-screen picture on unit 0, identity projection and modelview
  Mesh,         // a loaded mesh, as compiled at load
  MorphedMesh,  // a morphing object's working copy, positions and normals of this frame
  Sprites,      // a screen-facing square per point, centres in eye space
  Flare,        // one screen-facing square at the modelview's origin
};

struct Draw {
  DrawKind kind = DrawKind::ClearColour;
  RenderState state;
  Matrix4 modelview;
  const Mesh* mesh = nullptr;  // Mesh and MorphedMesh
  float size = 0.0f;           // half the side of a sprite or flare square
  uint32_t first = 0;          // Sprites: the centres in Frame::points
  uint32_t count = 0;
  // The current normal and unit 1 coordinates GL holds when the draw gives
  // none of its own (sprites, flares, pictures): lit sprites and generated
  // coordinates read them.
  std::array<float, 3> normal{0.0f, 0.0f, 1.0f};
  std::array<float, 2> unit1Coord{0.0f, 0.0f};
};

// One of the eight fixed-function lights as GL holds it, in eye space.
struct LightSlot {
  bool on = false;
  std::array<float, 4> position{0.0f, 0.0f, 1.0f, 0.0f};
  std::array<float, 4> diffuse{0.0f, 0.0f, 0.0f, 1.0f};
  float spotCutoff = 180.0f;
  std::array<float, 3> spotDirection{0.0f, 0.0f, -1.0f};
  bool operator==(const LightSlot&) const = default;
};

struct Projection {
  float fieldOfView = 45.0f;  // degrees, vertical
  float aspect = 1.0f;
  float nearPlane = 1.0f;
  float farPlane = 1000.0f;
};

struct Frame {
  std::vector<Draw> draws;
  std::vector<float> points;  // x, y, z per sprite centre
  std::array<LightSlot, 8> lights{};
  std::array<float, 4> ambient{0.2f, 0.2f, 0.2f, 1.0f};
  std::array<float, 4> fogColour{0.0f, 0.0f, 0.0f, 0.0f};
  float fogStart = 0.0f;
  float fogEnd = 1.0f;
  std::array<float, 4> clearColour{0.0f, 0.0f, 0.0f, 0.0f};
  Projection projection;
};

}  // namespace stagwerk
