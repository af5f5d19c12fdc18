#pragma once
// The shader back end: the same frames as the fixed-function one, drawn by
// GLSL programs that compute what that pipeline computes (per-vertex
// lighting, sphere mapping, the two-unit texture environment, linear fog,
// the alpha test). Meshes are vertex buffers made once at load; sprites,
// flares and pictures go through one small buffer refilled per draw.
#include <array>
#include <cstdint>
#include <vector>

#include "frame/Frame.h"
#include "frame/MeshVertices.h"
#include "frame/Renderer.h"
#include "gl/shader/ShaderGl.h"
#include "gl/Framebuffer.h"
#include "gl/ProcLookup.h"
#include "gl/shader/ShaderPrograms.h"

namespace stagwerk {

class ShaderRenderer final : public Renderer {
 public:
  // aspect is the demo's picture aspect.
  ShaderRenderer(GlProcLookup lookup, int width, int height, float aspect);
  ~ShaderRenderer() override;

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

 private:
  struct GpuMesh {
    GLuint array = 0;
    GLuint buffer = 0;
    GLsizei count = 0;
  };
  enum class View { Flat, Perspective };

  void SetFrameUniforms(ShaderProgram& program);
  ShaderProgram& Apply(const Draw& draw, View view, const Matrix4& modelview);
  void SetDepthWrite(bool on);
  // Depth test and writes, blending and its function, as a state word has them.
  void SetSwitches(uint32_t bits);
  void MakeFontTexture();
  void DrawStream(GLenum mode, const std::vector<float>& data, VertexLayout layout, GLsizei count, bool normals);
  void DrawSquare(float size);
  GLuint TextureName(RenderHandle handle) const;

  float aspect_;
  Framebuffer framebuffer_;
  ShaderPrograms programs_;
  std::vector<GLuint> textures_;  // by handle - 1; 0 once released
  std::vector<GpuMesh> meshes_;
  GLuint streamArray_ = 0;
  GLuint streamBuffer_ = 0;
  std::vector<float> scratch_;
  GLuint fontTexture_ = 0;

  // What this frame's programs take: lights packed, fog, ambient light.
  uint64_t frameStamp_ = 0;
  Projection projection_;
  Matrix4 perspective_;
  int lightCount_ = 0;
  std::array<float, 32> lightPosition_{};
  std::array<float, 32> lightDiffuse_{};
  std::array<float, 32> lightSpot_{};
  std::array<float, 4> ambient_{};
  std::array<float, 4> fogColour_{};
  std::array<float, 2> fogRange_{};

  // What GL holds.
  uint32_t bits_ = kDepthWrite;  // GL's own start: no depth test, no blending
  GLuint program_ = 0;
  std::array<GLuint, 2> bound_{};
  std::array<float, 4> clearColour_{-1.0f, 0.0f, 0.0f, 0.0f};
};

}  // namespace stagwerk
