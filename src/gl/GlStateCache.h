#pragma once
// What GL holds of the state a draw record sets, so that GL hears of a
// change only when the record differs from it: one state word compared with
// the last, then the texture units, whose settings count only while on.
#include <array>

#include "frame/RenderState.h"
#include "gl/GlHeaders.h"

namespace stagwerk {

class GlStateCache {
 public:
  // As SetupGlState leaves the pipeline.
  GlStateCache();

  // texture names the GL texture of each unit's handle.
  void Apply(const RenderState& state, const std::array<GLuint, 2>& textures);
  void SetDepthWrite(bool on);
  // A texture was uploaded: it is bound and enabled on unit 0, which is active.
  void NoteUpload(GLuint texture);
  // GL unbinds a deleted texture from every unit.
  void NoteDeleted(GLuint texture);
  // A draw gave its own vertex colours: the current colour is the last one's.
  void ForgetColour() { colourKnown_ = false; }

 private:
  struct Unit {
    uint32_t bits = 0;
    GLuint bound = 0;
    float rgbScale = 1.0f;
  };
  void SelectUnit(int unit);
  void ApplyUnit(int unit, uint32_t bits, GLuint texture, float rgbScale);

  uint32_t bits_;
  std::array<float, 4> colour_{};
  bool colourKnown_ = false;
  std::array<Unit, 2> units_{};
  int active_ = 0;
};

}  // namespace stagwerk
