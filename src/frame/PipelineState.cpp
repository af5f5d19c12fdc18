#include "frame/PipelineState.h"

namespace stagwerk {

namespace {

uint32_t PackUnit(const UnitState& u) {
  uint32_t bits = 0;
  if (u.texture) bits |= kUnitTexture;
  if (u.combine) bits |= kUnitCombine;
  if (u.addSigned) bits |= kUnitAddSigned;
  if (u.sphereMap) bits |= kUnitSphereMap;
  return bits;
}

}  // namespace

std::array<LightSlot, 8> PipelineState::DefaultLights() {
  std::array<LightSlot, 8> lights{};
  lights[0].diffuse = {1.0f, 1.0f, 1.0f, 1.0f};  // GL gives light 0 alone a white diffuse
  return lights;
}

PipelineState PipelineState::AfterLoading() {
  PipelineState state;
  state.units[0].texture = true;
  return state;
}

void PipelineState::EnableAndBind(int index, RenderHandle texture) {
  activeUnit = index;
  unit(index).texture = true;
  unit(index).bound = texture;
}

void PipelineState::FlatPicture() {
  fog = false;
  lighting = false;
  depthTest = false;
  activeUnit = 1;
  unit(1).texture = false;
}

Draw PipelineState::Snapshot(DrawKind kind) const {
  Draw draw;
  draw.kind = kind;
  RenderState& s = draw.state;
  if (lighting) s.bits |= kLighting;
  if (depthTest) s.bits |= kDepthTest;
  if (depthWrite) s.bits |= kDepthWrite;
  if (blend) s.bits |= kBlend;
  if (fog) s.bits |= kFog;
  if (blendFunc == BlendFunc::Alpha) s.bits |= kBlendAlpha;
  if (blendFunc == BlendFunc::Additive) s.bits |= kBlendAdditive;
  for (int i = 0; i < 2; ++i) {
    const UnitState& u = units[static_cast<std::size_t>(i)];
    s.bits |= PackUnit(u) << UnitShift(i);
    s.units[static_cast<std::size_t>(i)] = {u.bound, u.rgbScale};
  }
  s.colour = colour;
  draw.normal = normal;
  draw.unit1Coord = unit1Coord;
  return draw;
}

}  // namespace stagwerk
