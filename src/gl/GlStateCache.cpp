#include "gl/GlStateCache.h"

#include "gl/GlState.h"

namespace stagwerk {

namespace {

constexpr uint32_t kSwitches = kLighting | kDepthTest | kBlend | kFog;
constexpr uint32_t kBlendFunction = kBlendAlpha | kBlendAdditive;

void Switch(GLenum cap, bool on) {
  if (on) {
    glEnable(cap);
  } else {
    glDisable(cap);
  }
}

GLenum CapOf(uint32_t bit) {
  switch (bit) {
    case kLighting: return GL_LIGHTING;
    case kDepthTest: return GL_DEPTH_TEST;
    case kBlend: return GL_BLEND;
    default: return GL_FOG;
  }
}

}  // namespace

GlStateCache::GlStateCache() : bits_(kLighting | kDepthTest | kBlend | kFog | kDepthWrite) {}

void GlStateCache::SelectUnit(int unit) {
  if (unit == active_) return;
  glActiveTextureARB(unit == 0 ? GL_TEXTURE0_ARB : GL_TEXTURE1_ARB);
  active_ = unit;
}

void GlStateCache::ApplyUnit(int index, uint32_t bits, GLuint texture, float rgbScale) {
  Unit& unit = units_[static_cast<std::size_t>(index)];
  const bool on = (bits & kUnitTexture) != 0;
  if (!on) {
    // A unit that is off passes its input through: nothing else of it counts.
    if (unit.bits & kUnitTexture) {
      SelectUnit(index);
      glDisable(GL_TEXTURE_2D);
      unit.bits &= ~kUnitTexture;
    }
    return;
  }
  const uint32_t changed = bits ^ unit.bits;
  if (changed == 0 && texture == unit.bound && rgbScale == unit.rgbScale) return;
  SelectUnit(index);
  if (changed & kUnitTexture) glEnable(GL_TEXTURE_2D);
  if (texture != unit.bound) glBindTexture(GL_TEXTURE_2D, texture);
  if (changed & kUnitCombine) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, (bits & kUnitCombine) ? GL_COMBINE_ARB : GL_MODULATE);
  }
  if (changed & kUnitAddSigned) {
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, (bits & kUnitAddSigned) ? GL_ADD_SIGNED_ARB : GL_MODULATE);
  }
  if (rgbScale != unit.rgbScale) glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, rgbScale);
  if (changed & kUnitSphereMap) {
    Switch(GL_TEXTURE_GEN_S, (bits & kUnitSphereMap) != 0);
    Switch(GL_TEXTURE_GEN_T, (bits & kUnitSphereMap) != 0);
  }
  unit = {bits, texture, rgbScale};
}

void GlStateCache::Apply(const RenderState& state, const std::array<GLuint, 2>& textures) {
  const uint32_t changed = state.bits ^ bits_;
  if (changed & kSwitches) {
    for (uint32_t bit : {kLighting, kDepthTest, kBlend, kFog}) {
      if (changed & bit) Switch(CapOf(bit), (state.bits & bit) != 0);
    }
  }
  if (changed & kDepthWrite) glDepthMask((state.bits & kDepthWrite) ? GL_TRUE : GL_FALSE);
  if (changed & kBlendFunction) {
    if (state.bits & kBlendAdditive) {
      glBlendFunc(GL_ONE, GL_ONE);
    } else if (state.bits & kBlendAlpha) {
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
      glBlendFunc(GL_ONE, GL_ZERO);
    }
  }
  bits_ = state.bits & 0xFFu;
  for (int u = 0; u < 2; ++u) {
    ApplyUnit(u, UnitBits(state.bits, u), textures[static_cast<std::size_t>(u)],
              state.units[static_cast<std::size_t>(u)].rgbScale);
  }
  // The colour is a vertex attribute: coloured meshes change it as they draw.
  if (!colourKnown_ || state.colour != colour_) {
    glColor4fv(state.colour.data());
    colour_ = state.colour;
    colourKnown_ = true;
  }
}

void GlStateCache::SetDepthWrite(bool on) {
  if (((bits_ & kDepthWrite) != 0) == on) return;
  glDepthMask(on ? GL_TRUE : GL_FALSE);
  bits_ ^= kDepthWrite;
}

void GlStateCache::NoteUpload(GLuint texture) {
  active_ = 0;
  units_[0].bits |= kUnitTexture;
  units_[0].bound = texture;
}

void GlStateCache::NoteDeleted(GLuint texture) {
  for (Unit& unit : units_) {
    if (unit.bound == texture) unit.bound = 0;
  }
}

}  // namespace stagwerk
