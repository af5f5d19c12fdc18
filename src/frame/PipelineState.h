#pragma once
// What the fixed-function pipeline holds between draws, worked out on the
// CPU: each pass changes it as its GL calls would, and every draw takes a
// copy. Whatever one draw leaves for the next (and one frame or scene for
// the next) is carried here, where it can be seen.
#include <array>

#include "frame/Frame.h"

namespace stagwerk {

enum class BlendFunc : uint8_t { Replace, Alpha, Additive };

struct UnitState {
  bool texture = false;
  RenderHandle bound = 0;
  bool combine = false;
  bool addSigned = false;
  float rgbScale = 1.0f;
  bool sphereMap = false;
  bool operator==(const UnitState&) const = default;
};

struct PipelineState {
  bool lighting = false;
  bool depthTest = false;
  bool depthWrite = true;
  bool blend = true;
  bool fog = false;
  BlendFunc blendFunc = BlendFunc::Replace;
  std::array<float, 4> colour{1.0f, 1.0f, 1.0f, 1.0f};
  std::array<UnitState, 2> units{};
  int activeUnit = 0;
  // Current vertex attributes, as the last corner drawn left them.
  std::array<float, 3> normal{0.0f, 0.0f, 1.0f};
  std::array<float, 2> unit1Coord{0.0f, 0.0f};
  // Lights, fog and clear colour outlive frames and scenes alike.
  std::array<LightSlot, 8> lights = DefaultLights();
  std::array<float, 4> fogColour{0.0f, 0.0f, 0.0f, 0.0f};
  float fogStart = 0.0f;
  float fogEnd = 1.0f;
  std::array<float, 4> clearColour{0.0f, 0.0f, 0.0f, 0.0f};

  // As the pipeline stands once the loading picture is shown and the
  // textures are uploaded: no lighting, fog or depth test, unit 0 on.
  static PipelineState AfterLoading();
  static std::array<LightSlot, 8> DefaultLights();

  UnitState& unit(int index) { return units[static_cast<std::size_t>(index)]; }
  // Unit `index` becomes active, its texture on and bound.
  void EnableAndBind(int index, RenderHandle texture);
  void SetTextureGeneration(bool on) { unit(activeUnit).sphereMap = on; }
  // For pictures drawn flat over the viewport: fog, lighting and depth test
  // off, unit 1 off; unit 1 stays active.
  void FlatPicture();

  // A draw of this kind with the state as it stands.
  Draw Snapshot(DrawKind kind) const;
};

}  // namespace stagwerk
