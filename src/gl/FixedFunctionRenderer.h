#pragma once
// The fixed-function GL back end: textures with their mipmaps, meshes as
// display lists, frames drawn record by record through a state cache into an
// off-screen picture the window shows by a blit.
#include <array>
#include <vector>

#include "frame/Frame.h"
#include "frame/Renderer.h"
#include "gl/Framebuffer.h"
#include "gl/GlState.h"
#include "gl/GlStateCache.h"

namespace stagwerk {

class FixedFunctionRenderer final : public Renderer {
 public:
  // Needs a current context. Sets the fixed state every frame takes for
  // granted; throws LoadError "glMultiTexCoord2fARB unreachable" or
  // "glActiveTextureARB unreachable" before setting any. aspect is the
  // demo's picture aspect.
  FixedFunctionRenderer(GlProcLookup lookup, int width, int height, float aspect);
  ~FixedFunctionRenderer() override;

  void PrepareTexture(Image& image) const override;
  RenderHandle CreateTexture(const Texture& texture, const Image& image) override;
  void ReleaseTexture(RenderHandle texture) override;
  RenderHandle CreateMesh(const Mesh& mesh) override;
  void ReleaseMesh(RenderHandle mesh) override;
  void DrawFrame(const Frame& frame) override;
  void DrawLoadingPicture(const Texture& picture) override;
  void Resize(int width, int height) override;
  std::vector<unsigned char> ReadPicture() const override;
  void StartReadPicture() override;
  std::vector<unsigned char> TakePicture() override;
  void KeepPicture() override;
  void RestorePicture() override;
  void PresentToWindow() override;
  void DrawOverlay(const Overlay& overlay) override;
  void Finish() override;
  std::vector<unsigned char> ReadWindow() override { return framebuffer_.ReadWindowRgb(); }

  int width() const { return framebuffer_.width(); }
  int height() const { return framebuffer_.height(); }

 private:
  enum class ProjectionKind { Unknown, Identity, Perspective };

  void SetFrameState(const Frame& frame);
  void Apply(const Draw& draw);
  void DrawPicture(const Draw& draw, const Projection& projection);
  void UseProjection(ProjectionKind kind, const Projection& projection);
  void LoadModelview(const Matrix4& m);
  void SetCurrentAttributes(const Draw& draw);
  GLuint TextureName(RenderHandle handle) const;

  float aspect_;
  bool stateSet_;  // before the framebuffer: a missing entry point leaves nothing made
  Framebuffer framebuffer_;
  GlStateCache cache_;
  std::vector<GLuint> textures_;  // by handle - 1; 0 once released
  std::vector<GLuint> lists_;
  // What GL holds of the frame-wide state.
  ProjectionKind projectionKind_ = ProjectionKind::Unknown;
  Projection projection_;
  std::array<LightSlot, 8> lights_;
  std::array<bool, 8> lightKnown_{};
  std::array<float, 4> ambient_{-1.0f, 0.0f, 0.0f, 0.0f};
  std::array<float, 4> fogColour_{-1.0f, 0.0f, 0.0f, 0.0f};
  float fogStart_ = -1.0f;
  float fogEnd_ = -1.0f;
  std::array<float, 4> clearColour_{0.0f, 0.0f, 0.0f, 0.0f};
};

}  // namespace stagwerk
