#include "gl/shader/ShaderRenderer.h"

#include <cmath>

#include "base/LoadError.h"
#include "frame/BitmapFont.h"
#include "frame/OverlayLayout.h"
#include "frame/PipelineState.h"
#include "gl/Shader.h"
#include "gl/Viewport.h"
#include "gl/shader/ShaderSource.h"
#include "objects/Mesh.h"
#include "textures/MipmapChain.h"
#include "textures/Texture.h"

namespace stagwerk {

namespace {

constexpr uint32_t kDrawSwitches = kDepthTest | kDepthWrite | kBlend | kBlendAlpha | kBlendAdditive;

// As gluPerspective builds it: in double, then loaded as floats.
Matrix4 Perspective(const Projection& p) {
  const double radians = p.fieldOfView / 2.0 * 3.14159265358979323846 / 180.0;
  const double depth = static_cast<double>(p.farPlane) - p.nearPlane;
  const double cotangent = std::cos(radians) / std::sin(radians);
  Matrix4 m;
  m[0] = static_cast<float>(cotangent / p.aspect);
  m[5] = static_cast<float>(cotangent);
  m[10] = static_cast<float>(-(static_cast<double>(p.farPlane) + p.nearPlane) / depth);
  m[11] = -1.0f;
  m[14] = static_cast<float>(-2.0 * p.nearPlane * p.farPlane / depth);
  m[15] = 0.0f;
  return m;
}

// Normals go through the inverse transpose of the modelview's linear part.
std::array<float, 9> NormalMatrix(const Matrix4& m) {
  const double a = m[0], b = m[4], c = m[8];
  const double d = m[1], e = m[5], f = m[9];
  const double g = m[2], h = m[6], i = m[10];
  const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
  const double det = a * A + b * B + c * C;
  const double s = det != 0.0 ? 1.0 / det : 0.0;
  // The inverse transpose is the cofactor matrix over the determinant;
  // stored by columns.
  const double C10 = -(b * i - c * h), C11 = a * i - c * g, C12 = -(a * h - b * g);
  const double C20 = b * f - c * e, C21 = -(a * f - c * d), C22 = a * e - b * d;
  auto put = [s](double v) { return static_cast<float>(v * s); };
  return {put(A), put(C10), put(C20), put(B), put(C11), put(C21), put(C), put(C12), put(C22)};
}

void Switch(GLenum cap, bool on) {
  if (on) {
    glEnable(cap);
  } else {
    glDisable(cap);
  }
}

void SetAttribute(GLuint index, bool present, GLsizei stride, int offset, int size) {
  if (!present) {
    glDisableVertexAttribArray(index);
    return;
  }
  glEnableVertexAttribArray(index);
  glVertexAttribPointer(index, size, GL_FLOAT, GL_FALSE, stride * static_cast<GLsizei>(sizeof(float)),
                        reinterpret_cast<const void*>(static_cast<std::uintptr_t>(offset) * sizeof(float)));
}

// Positions and normals always; the rest where the layout has them, else
// the current value the draw sets.
void SetAttributes(const VertexLayout& layout, bool normals = true) {
  const GLsizei stride = layout.stride();
  SetAttribute(kPositionAttribute, true, stride, 0, 3);
  SetAttribute(kNormalAttribute, normals, stride, 3, 3);
  SetAttribute(kColourAttribute, layout.colours, stride, layout.colourOffset(), 4);
  SetAttribute(kUv0Attribute, layout.uv0, stride, layout.uv0Offset(), 2);
  SetAttribute(kUv1Attribute, layout.uv1, stride, layout.uv1Offset(), 2);
}

// Squares carry a position, room for a normal (the draw's current one is
// used) and unit 0 coordinates.
constexpr VertexLayout kSquareLayout{false, true, false};

void PutSquareCorner(std::vector<float>& out, float x, float y, float z, float s, float t) {
  out.insert(out.end(), {x, y, z, 0.0f, 0.0f, 1.0f, s, t});
}

RenderHandle Keep(std::vector<GLuint>& names, GLuint name) {
  names.push_back(name);
  return static_cast<RenderHandle>(names.size());
}

}  // namespace

ShaderRenderer::ShaderRenderer(GlProcLookup lookup, int width, int height, float aspect)
    : aspect_(aspect), framebuffer_(width, height, lookup) {
  glGenVertexArrays(1, &streamArray_);
  glGenBuffers(1, &streamBuffer_);
  glFrontFace(GL_CW);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glDepthFunc(GL_LEQUAL);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glClearColor(0, 0, 0, 0);
  ResizeViewport(aspect_, width, height);
}

ShaderRenderer::~ShaderRenderer() {
  for (const GpuMesh& mesh : meshes_) {
    glDeleteBuffers(1, &mesh.buffer);
    glDeleteVertexArrays(1, &mesh.array);
  }
  for (GLuint texture : textures_) {
    if (texture != 0) glDeleteTextures(1, &texture);
  }
  if (fontTexture_ != 0) glDeleteTextures(1, &fontTexture_);
  glDeleteBuffers(1, &streamBuffer_);
  glDeleteVertexArrays(1, &streamArray_);
}

void ShaderRenderer::PrepareTexture(Image& image) const { PrepareShaderTexture(image); }

RenderHandle ShaderRenderer::CreateTexture(const Texture&, const Image& image) {
  if (image.channels < 1 || image.channels > 4) throw LoadError("Unrecognized Image");
  std::vector<MipLevel> made;
  const std::vector<MipLevel>& levels = LevelsToUpload(image, MipLayout::Rgba, made);
  GLuint name = 0;
  glGenTextures(1, &name);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, name);
  bound_[0] = name;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  for (std::size_t i = 0; i < levels.size(); ++i) {
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), GL_RGBA8, levels[i].width, levels[i].height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, levels[i].pixels.data());
  }
  return Keep(textures_, name);
}

void ShaderRenderer::ReleaseTexture(RenderHandle texture) {
  if (texture == 0 || texture > textures_.size()) return;
  GLuint& name = textures_[texture - 1];
  if (name == 0) return;
  glDeleteTextures(1, &name);
  for (GLuint& unit : bound_) {
    if (unit == name) unit = 0;
  }
  name = 0;
}

RenderHandle ShaderRenderer::CreateMesh(const Mesh& mesh) {
  GpuMesh gpu;
  gpu.count = static_cast<GLsizei>(BuildMeshVertices(mesh, scratch_, QuadSplit::AcrossSecondCorner));
  glGenVertexArrays(1, &gpu.array);
  glGenBuffers(1, &gpu.buffer);
  glBindVertexArray(gpu.array);
  glBindBuffer(GL_ARRAY_BUFFER, gpu.buffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(scratch_.size() * sizeof(float)), scratch_.data(),
               GL_STATIC_DRAW);
  SetAttributes(LayoutOf(mesh));
  glBindVertexArray(0);
  meshes_.push_back(gpu);
  return static_cast<RenderHandle>(meshes_.size());
}

void ShaderRenderer::ReleaseMesh(RenderHandle mesh) {
  if (mesh == 0 || mesh > meshes_.size()) return;
  GpuMesh& gpu = meshes_[mesh - 1];
  glDeleteBuffers(1, &gpu.buffer);
  glDeleteVertexArrays(1, &gpu.array);
  gpu = GpuMesh{};
}

GLuint ShaderRenderer::TextureName(RenderHandle handle) const {
  return handle != 0 && handle <= textures_.size() ? textures_[handle - 1] : 0;
}

void ShaderRenderer::SetFrameUniforms(ShaderProgram& p) {
  if (p.frameStamp == frameStamp_) return;
  p.frameStamp = frameStamp_;
  glUniform4fv(p.ambient, 1, ambient_.data());
  glUniform1i(p.lightCount, lightCount_);
  glUniform4fv(p.lightPosition, 8, lightPosition_.data());
  glUniform4fv(p.lightDiffuse, 8, lightDiffuse_.data());
  glUniform4fv(p.lightSpot, 8, lightSpot_.data());
  glUniform4fv(p.fogColour, 1, fogColour_.data());
  glUniform2fv(p.fogRange, 1, fogRange_.data());
}

void ShaderRenderer::SetDepthWrite(bool on) {
  if (((bits_ & kDepthWrite) != 0) == on) return;
  glDepthMask(on ? GL_TRUE : GL_FALSE);
  bits_ ^= kDepthWrite;
}

ShaderProgram& ShaderRenderer::Apply(const Draw& draw, View view, const Matrix4& modelview) {
  const RenderState& state = draw.state;
  SetSwitches(state.bits);

  // A unit with no texture to sample is off, as an incomplete texture
  // switches a fixed-function unit off.
  uint32_t bits = state.bits;
  for (int u = 0; u < 2; ++u) {
    const std::size_t i = static_cast<std::size_t>(u);
    if (!state.UnitHas(u, kUnitTexture)) continue;
    const GLuint name = TextureName(state.units[i].texture);
    if (name == 0) {
      bits &= ~(0xFu << UnitShift(u));
      continue;
    }
    if (bound_[i] != name) {
      glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(u));
      glBindTexture(GL_TEXTURE_2D, name);
      bound_[i] = name;
    }
  }
  ShaderProgram& p = programs_.Get(ProgramKeyOf(bits));
  if (program_ != p.name) {
    glUseProgram(p.name);
    program_ = p.name;
  }
  SetFrameUniforms(p);
  Matrix4 mvp = view == View::Perspective ? perspective_ : Matrix4::Identity();
  mvp.Multiply(modelview);
  glUniformMatrix4fv(p.modelviewProjection, 1, GL_FALSE, mvp.m.data());
  glUniformMatrix4fv(p.modelview, 1, GL_FALSE, modelview.m.data());
  glUniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, NormalMatrix(modelview).data());
  glUniform1f(p.rgbScale0, state.units[0].rgbScale);
  glUniform1f(p.rgbScale1, state.units[1].rgbScale);
  // What GL holds as current for what the vertices do not give.
  glVertexAttrib4fv(kColourAttribute, state.colour.data());
  glVertexAttrib3fv(kNormalAttribute, draw.normal.data());
  glVertexAttrib2fv(kUv1Attribute, draw.unit1Coord.data());
  return p;
}

void ShaderRenderer::DrawStream(GLenum mode, const std::vector<float>& data, VertexLayout layout, GLsizei count,
                                bool normals) {
  glBindVertexArray(streamArray_);
  glBindBuffer(GL_ARRAY_BUFFER, streamBuffer_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(), GL_STREAM_DRAW);
  SetAttributes(layout, normals);
  glDrawArrays(mode, 0, count);
}

// A screen-facing square of half side s at the modelview's origin, texture
// coordinate t = 0 at its bottom edge; its normal is the draw's.
void ShaderRenderer::DrawSquare(float s) {
  scratch_.clear();
  PutSquareCorner(scratch_, -s, -s, 0, 0, 0);
  PutSquareCorner(scratch_, -s, s, 0, 0, 1);
  PutSquareCorner(scratch_, s, -s, 0, 1, 0);
  PutSquareCorner(scratch_, s, s, 0, 1, 1);
  DrawStream(GL_TRIANGLE_STRIP, scratch_, kSquareLayout, 4, false);
}

void ShaderRenderer::DrawFrame(const Frame& frame) {
  ++frameStamp_;
  if (frame.clearColour != clearColour_) {
    glClearColor(frame.clearColour[0], frame.clearColour[1], frame.clearColour[2], frame.clearColour[3]);
    clearColour_ = frame.clearColour;
  }
  projection_ = frame.projection;
  perspective_ = Perspective(frame.projection);
  ambient_ = frame.ambient;
  fogColour_ = frame.fogColour;
  fogRange_ = {frame.fogEnd, frame.fogEnd != frame.fogStart ? 1.0f / (frame.fogEnd - frame.fogStart) : 0.0f};
  lightCount_ = 0;
  for (const LightSlot& light : frame.lights) {
    if (!light.on) continue;
    const std::size_t at = 4 * static_cast<std::size_t>(lightCount_++);
    for (std::size_t i = 0; i < 4; ++i) {
      lightPosition_[at + i] = light.position[i];
      lightDiffuse_[at + i] = light.diffuse[i];
    }
    const bool cone = light.spotCutoff != 180.0f;
    for (std::size_t i = 0; i < 3; ++i) lightSpot_[at + i] = light.spotDirection[i];
    lightSpot_[at + 3] = cone ? std::cos(light.spotCutoff * 3.14159265f / 180.0f) : -2.0f;
  }

  for (const Draw& draw : frame.draws) {
    switch (draw.kind) {
      case DrawKind::ClearColour: glClear(GL_COLOR_BUFFER_BIT); break;
      case DrawKind::ClearDepth:
        SetDepthWrite(draw.state.Has(kDepthWrite));
        glClear(GL_DEPTH_BUFFER_BIT);
        break;
      case DrawKind::Picture:
        Apply(draw, View::Flat, Matrix4::Identity());
        DrawSquare(1.0f);
        break;
      case DrawKind::Mesh: {
        Apply(draw, View::Perspective, draw.modelview);
        const RenderHandle handle = draw.mesh->renderHandle;
        if (handle == 0 || handle > meshes_.size() || meshes_[handle - 1].array == 0) break;
        const GpuMesh& gpu = meshes_[handle - 1];
        glBindVertexArray(gpu.array);
        glDrawArrays(GL_TRIANGLES, 0, gpu.count);
        break;
      }
      case DrawKind::MorphedMesh: {
        Apply(draw, View::Perspective, draw.modelview);
        const GLsizei count = static_cast<GLsizei>(BuildMeshVertices(*draw.mesh, scratch_, QuadSplit::Fan));
        DrawStream(GL_TRIANGLES, scratch_, LayoutOf(*draw.mesh), count, true);
        break;
      }
      case DrawKind::Sprites: {
        Apply(draw, View::Perspective, Matrix4::Identity());
        scratch_.clear();
        const float* centres = &frame.points[std::size_t{3} * draw.first];
        const float size = draw.size;
        for (uint32_t i = 0; i < draw.count; ++i) {
          const float x = centres[3 * i], y = centres[3 * i + 1], z = centres[3 * i + 2];
          PutSquareCorner(scratch_, x - size, y - size, z, 0, 0);
          PutSquareCorner(scratch_, x - size, y + size, z, 0, 1);
          PutSquareCorner(scratch_, x + size, y - size, z, 1, 0);
          PutSquareCorner(scratch_, x + size, y - size, z, 1, 0);
          PutSquareCorner(scratch_, x - size, y + size, z, 0, 1);
          PutSquareCorner(scratch_, x + size, y + size, z, 1, 1);
        }
        DrawStream(GL_TRIANGLES, scratch_, kSquareLayout, static_cast<GLsizei>(6 * draw.count), false);
        break;
      }
      case DrawKind::Flare:
        Apply(draw, View::Perspective, draw.modelview);
        DrawSquare(draw.size);
        break;
    }
  }
  glBindVertexArray(0);
  glFlush();
}

void ShaderRenderer::DrawLoadingPicture(const Texture& picture) {
  PipelineState state;
  state.FlatPicture();
  state.EnableAndBind(0, picture.renderHandle);
  const Draw draw = state.Snapshot(DrawKind::Picture);
  Apply(draw, View::Flat, Matrix4::Identity());
  DrawSquare(1.0f);
  glBindVertexArray(0);
}

void ShaderRenderer::Resize(int width, int height) {
  framebuffer_.Resize(width, height);
  ResizeViewport(aspect_, width, height);
}

std::vector<unsigned char> ShaderRenderer::ReadPicture() const { return framebuffer_.ReadRgb(); }

void ShaderRenderer::StartReadPicture() { framebuffer_.StartRead(); }

std::vector<unsigned char> ShaderRenderer::TakePicture() { return framebuffer_.TakeRead(); }

void ShaderRenderer::KeepPicture() { framebuffer_.Keep(); }

void ShaderRenderer::RestorePicture() { framebuffer_.Restore(); }

void ShaderRenderer::PresentToWindow() { framebuffer_.BlitToWindow(); }

void ShaderRenderer::SetSwitches(uint32_t want) {
  const uint32_t changed = (want ^ bits_) & kDrawSwitches;
  if (changed & kDepthTest) Switch(GL_DEPTH_TEST, (want & kDepthTest) != 0);
  if (changed & kDepthWrite) glDepthMask((want & kDepthWrite) ? GL_TRUE : GL_FALSE);
  if (changed & kBlend) Switch(GL_BLEND, (want & kBlend) != 0);
  if (changed & (kBlendAlpha | kBlendAdditive)) {
    if (want & kBlendAdditive) {
      glBlendFunc(GL_ONE, GL_ONE);
    } else if (want & kBlendAlpha) {
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
      glBlendFunc(GL_ONE, GL_ZERO);
    }
  }
  bits_ = (bits_ & ~kDrawSwitches) | (want & kDrawSwitches);
}

// The font as one row of 8x8 cells, printable ASCII, glyph pixels opaque.
void ShaderRenderer::MakeFontTexture() {
  constexpr int kFirst = 32, kCount = 96;
  const int width = kCount * kGlyphSize;
  std::vector<uint8_t> rgba(std::size_t{4} * width * kGlyphSize, 0);
  for (int g = 0; g < kCount; ++g) {
    const auto& rows = Glyph(static_cast<char>(kFirst + g));
    for (int row = 0; row < kGlyphSize; ++row) {
      const int y = kGlyphSize - 1 - row;  // texture rows bottom first
      for (int bit = 0; bit < kGlyphSize; ++bit) {
        if (!(rows[static_cast<std::size_t>(row)] & (0x80 >> bit))) continue;
        uint8_t* p = &rgba[4 * (static_cast<std::size_t>(y) * width + static_cast<std::size_t>(g * kGlyphSize + bit))];
        p[0] = p[1] = p[2] = p[3] = 255;
      }
    }
  }
  glGenTextures(1, &fontTexture_);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, fontTexture_);
  bound_[0] = fontTexture_;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, kGlyphSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
}

void ShaderRenderer::DrawOverlay(const Overlay& overlay) {
  // Without an off-screen picture the window's buffer is the picture, and
  // an overlay drawn there would end up in the next motion-blur trail.
  if (!framebuffer_.offScreen()) return;
  const int width = framebuffer_.width(), height = framebuffer_.height();
  framebuffer_.BindWindow();
  glViewport(0, 0, width, height);
  glDisable(GL_CULL_FACE);
  SetSwitches(kBlend | kBlendAlpha | (bits_ & kDepthWrite));
  if (fontTexture_ == 0) MakeFontTexture();

  // Window pixels, the origin at the bottom left.
  Matrix4 ortho;
  ortho[0] = 2.0f / static_cast<float>(width);
  ortho[5] = 2.0f / static_cast<float>(height);
  ortho[10] = -1.0f;
  ortho[12] = -1.0f;
  ortho[13] = -1.0f;
  const OverlayLayout layout = LayOutOverlay(overlay, width, height);
  auto use = [&](uint32_t key) {
    ShaderProgram& p = programs_.Get(key);
    glUseProgram(p.name);
    program_ = p.name;
    glUniformMatrix4fv(p.modelviewProjection, 1, GL_FALSE, ortho.m.data());
  };
  use(kOverlayProgramKey);
  for (const OverlayRect& r : layout.rects) {
    scratch_.clear();
    PutSquareCorner(scratch_, r.x0, r.y0, 0, 0, 0);
    PutSquareCorner(scratch_, r.x0, r.y1, 0, 0, 0);
    PutSquareCorner(scratch_, r.x1, r.y0, 0, 0, 0);
    PutSquareCorner(scratch_, r.x1, r.y1, 0, 0, 0);
    glVertexAttrib4fv(kColourAttribute, r.colour.data());
    DrawStream(GL_TRIANGLE_STRIP, scratch_, kSquareLayout, 4, false);
  }
  use(kOverlayProgramKey | 1u);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, fontTexture_);
  bound_[0] = fontTexture_;
  scratch_.clear();
  const float cell = 1.0f / 96.0f;
  for (const OverlayText& text : layout.texts) {
    float x = static_cast<float>(text.x);
    const float y0 = static_cast<float>(text.y), y1 = y0 + kGlyphSize;
    for (char c : *text.line) {
      const int g = (c < 32 || c > 126) ? '?' - 32 : c - 32;
      const float s0 = static_cast<float>(g) * cell, s1 = s0 + cell;
      const float x1 = x + kGlyphSize;
      PutSquareCorner(scratch_, x, y0, 0, s0, 0);
      PutSquareCorner(scratch_, x, y1, 0, s0, 1);
      PutSquareCorner(scratch_, x1, y0, 0, s1, 0);
      PutSquareCorner(scratch_, x1, y0, 0, s1, 0);
      PutSquareCorner(scratch_, x, y1, 0, s0, 1);
      PutSquareCorner(scratch_, x1, y1, 0, s1, 1);
      x = x1;
    }
  }
  const float white[4] = {1, 1, 1, 1};
  glVertexAttrib4fv(kColourAttribute, white);
  DrawStream(GL_TRIANGLES, scratch_, kSquareLayout, static_cast<GLsizei>(scratch_.size() / 8), false);
  glBindVertexArray(0);

  glEnable(GL_CULL_FACE);
  const ViewportRect fitted = FitViewport(aspect_, width, height);
  glViewport(fitted.x, fitted.y, fitted.width, fitted.height);
  framebuffer_.BindPicture();
}

void ShaderRenderer::Finish() { glFinish(); }

void PrepareShaderTexture(Image& image) { PrepareMipmaps(image, MipLayout::Rgba); }

std::unique_ptr<Renderer> MakeShaderRenderer(GlProcLookup lookup, int width, int height, float aspect) {
  return std::make_unique<ShaderRenderer>(lookup, width, height, aspect);
}

}  // namespace stagwerk
