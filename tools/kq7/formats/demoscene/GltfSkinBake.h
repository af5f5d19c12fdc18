#pragma once
// A skinned glTF mesh baked into what the player already plays: its pose
// with no animation as the mesh, and each baked frame of every animation a
// morph target of the vertices that frame moves. Each scene's morph mixer
// weighs its own frames with hat curves, so the player draws at most two
// frames at a time and moves linearly between them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace stagwerk::kq7 {

// 4 M records of 14 bytes: 56 MB of deltas in one mesh file.
constexpr std::size_t kMaxSkinDeltas = 4'000'000;

struct GltfBakedDelta {
  uint32_t vertex;              // the file's vertex, primitive after primitive
  std::array<float, 3> delta;   // in the player's space (mirrored in Z)
};

struct GltfSkinBake {
  std::string objectName;  // as the scenes name it (Objects/NAME.lwo)
  std::size_t mesh = 0;    // the glTF mesh
  // The file's positions, primitive after primitive: how assimp's vertices
  // are matched to the skin's.
  std::vector<std::array<float, 3>> bind;
  // Where the skin puts each vertex with no animation, in glTF's space.
  std::vector<std::array<double, 3>> rest;
  // Vertices of one class sit and move alike wherever the joints go, so
  // they may be shared.
  std::vector<uint32_t> moveClass;
  std::vector<std::vector<GltfBakedDelta>> frames;  // target by target
  std::size_t animations = 0;                       // the animations that have frames
  std::size_t records = 0;                          // deltas in all frames
};

}  // namespace stagwerk::kq7
