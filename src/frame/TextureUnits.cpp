#include "frame/TextureUnits.h"

#include "frame/PipelineState.h"
#include "objects/Mesh.h"
#include "textures/Texture.h"

namespace stagwerk {

namespace {

void Combine(UnitState& unit, bool addSigned) {
  unit.combine = true;
  unit.addSigned = addSigned;
}

}  // namespace

float ColourScale(ObjectFlags flags) {
  if (flags.Has(ObjectFlag::DoubleBrightness)) return 2.0f;
  if (flags.Has(ObjectFlag::QuadrupleBrightness)) return 4.0f;
  return 1.0f;
}

void BindMeshTextures(PipelineState& s, const Mesh& mesh, ObjectFlags flags) {
  const float scale = ColourScale(flags);
  const Texture* texture = mesh.Has(HasTexture) ? mesh.texture() : nullptr;
  const Texture* texture2 = mesh.texture2();

  s.activeUnit = 0;
  if (texture != nullptr) {
    s.EnableAndBind(0, texture->renderHandle);
    Combine(s.unit(0), false);
    s.SetTextureGeneration(false);
  } else {
    s.unit(0).texture = false;
  }

  if (mesh.Has(HasSecondTexture) && texture2 != nullptr) {
    s.EnableAndBind(1, texture2->renderHandle);
    Combine(s.unit(1), false);
    s.unit(1).rgbScale = scale;
    s.SetTextureGeneration(false);
  } else {
    s.unit(s.activeUnit).rgbScale = scale;  // unit 0 here
    s.activeUnit = 1;
    s.unit(1).texture = false;
  }

  if (mesh.Has(HasEnvironmentMap) && texture2 != nullptr) {
    if (texture != nullptr) {
      // The reflection is a signed add over the first layer.
      s.EnableAndBind(1, texture2->renderHandle);
      Combine(s.unit(1), true);
      s.unit(1).rgbScale = scale;
      s.SetTextureGeneration(true);
    } else {
      s.unit(1).texture = false;
      s.EnableAndBind(0, texture2->renderHandle);
      s.unit(0).combine = false;
      s.SetTextureGeneration(true);
    }
  }
}

void BindSpriteTexture(PipelineState& s, const Mesh& mesh) {
  s.unit(1).texture = false;
  s.activeUnit = 0;
  if (const Texture* texture = mesh.texture2()) {
    s.EnableAndBind(0, texture->renderHandle);
    s.unit(0).combine = false;
  } else {
    // A point set that names no texture shows plain squares in the current
    // colour rather than whatever texture was bound last.
    s.unit(0).texture = false;
  }
  s.SetTextureGeneration(false);
}

}  // namespace stagwerk
