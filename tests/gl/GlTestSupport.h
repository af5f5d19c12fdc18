#pragma once
// A real GL context and a renderer (the fixed-function one unless a test
// asks for the shader one) for drawing tests
// (Mesa's software renderer through SDL's offscreen driver: no display
// needed), pixel read-back, and small demos whose textures and meshes the
// renderer holds. A test fails, never skips, without a context.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "SceneFixtures.h"
#include "frame/FrameBuilder.h"
#include "app/modes/RendererChoice.h"
#include "gl/FixedFunctionRenderer.h"
#include "platform/GlContext.h"
#include "textures/Image.h"

namespace stagwerk::testing {

using Rgba = std::array<int, 4>;

// Keeps the GL driver's libraries loaded to the end of the process, so that
// what the driver itself never frees is reported under its library's name
// (and suppressed as not ours) instead of as an unknown module.
inline void PinGlDriver() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void*) {
        const std::string name = info->dlpi_name;
        for (const char* part : {"_dri.so", "libgallium", "libLLVM", "libEGL", "libGLX", "libglapi", "libGL"}) {
          if (name.find(part) != std::string::npos) {
            dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            break;
          }
        }
        return 0;
      },
      nullptr);
}

class GlTest : public ::testing::Test {
 protected:
  // aspect 0: the window's own, so the viewport fills it.
  explicit GlTest(int width = 64, int height = 64, float aspect = 0.0f, RendererKind kind = RendererKind::FixedFunction)
      : width_(width), height_(height), aspect_(aspect > 0 ? aspect : static_cast<float>(width) / height), kind_(kind) {}

  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlContextOptions options;
    options.width = width_;
    options.height = height_;
    options.visible = false;
    options.coreProfile = kind_ == RendererKind::Shader;
    try {
      gl_ = GlContext::Open(options);
      renderer_ = MakeRenderer(kind_, gl_->procLookup(), width_, height_, aspect_);
    } catch (const GlContextError& e) {
      FAIL() << "no GL context: " << e.what() << " " << e.reason;
    } catch (const std::exception& e) {
      FAIL() << "no GL context: " << e.what();
    }
    PinGlDriver();
  }

  // Bottom-left origin, as GL counts.
  static Rgba Pixel(int x, int y) {
    unsigned char p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
  }

  // A texture the renderer holds, from bytes (rows bottom-up, samples as the
  // cache keeps them).
  std::unique_ptr<Texture> MakeTexture(int width, int height, int channels, std::vector<unsigned char> pixels) {
    auto texture = std::make_unique<Texture>();
    texture->width = static_cast<uint16_t>(width);
    texture->height = static_cast<uint16_t>(height);
    texture->channels = static_cast<uint8_t>(channels);
    Image image;
    image.width = texture->width;
    image.height = texture->height;
    image.channels = texture->channels;
    image.pixels = std::move(pixels);
    texture->renderHandle = renderer_->CreateTexture(*texture, image);
    return texture;
  }

  int width_;
  int height_;
  float aspect_;
  RendererKind kind_;
  std::unique_ptr<GlContext> gl_;
  std::unique_ptr<Renderer> renderer_;
};

// Each channel within tolerance.
inline ::testing::AssertionResult Near(const Rgba& got, const Rgba& want, int tolerance = 3) {
  for (std::size_t i = 0; i < 4; ++i) {
    if (want[i] >= 0 && std::abs(got[i] - want[i]) > tolerance) {
      return ::testing::AssertionFailure() << "got (" << got[0] << ", " << got[1] << ", " << got[2] << ", "
                                           << got[3] << "), want (" << want[0] << ", " << want[1] << ", "
                                           << want[2] << ", " << want[3] << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

// A demo folder whose textures and meshes the renderer makes as they load.
// Keep it alive only while the renderer is.
class GlScenes : public SceneFolder {
 public:
  explicit GlScenes(Renderer& renderer) {
    textures().SetHooks({[&renderer](Texture& t, const Image& image) { t.renderHandle = renderer.CreateTexture(t, image); },
                         [&renderer](Texture& t) { renderer.ReleaseTexture(t.renderHandle); },
                         [&renderer](Image& image) { renderer.PrepareTexture(image); }});
    meshes().SetHooks({[&renderer](Mesh& m) {
                         if (m.Has(HasPolygons) || m.Has(AllTriangles)) m.renderHandle = renderer.CreateMesh(m);
                       },
                       [&renderer](Mesh& m) { renderer.ReleaseMesh(m.renderHandle); }});
  }
};

}  // namespace stagwerk::testing
