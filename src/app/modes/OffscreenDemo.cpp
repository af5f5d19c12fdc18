#include "app/modes/OffscreenDemo.h"

#include <algorithm>
#include <string>

#include "app/modes/OpenAndLoad.h"
#include "gl/Framebuffer.h"

namespace stagwerk {

namespace {

constexpr int kLargestWindow = 2048;

}  // namespace

OffscreenDemo::OffscreenDemo(const std::string& configPath, const std::string& settingsPath, int w, int h,
                             unsigned jobs, RendererKind kind, int scale) {
  DemoOptions options;
  options.validationRun = true;  // only playing writes the user's settings
  options.settingsPath = settingsPath;
  options.jobs = jobs;
  options.onLoadingPicture = [this](const Texture& picture) { renderer->DrawLoadingPicture(picture); };
  demo = Demo::Create(configPath, options);
  width = w > 0 ? w : static_cast<int>(demo->display.width);
  height = h > 0 ? h : static_cast<int>(demo->display.height);
  drawWidth = width * scale;
  drawHeight = height * scale;
  // The pictures are off-screen, so the hidden window need not be as large
  // as they are, nor fit on any display.
  GlContextOptions window;
  window.width = std::min(drawWidth, kLargestWindow);
  window.height = std::min(drawHeight, kLargestWindow);
  window.depth = static_cast<int>(demo->display.depth);
  window.visible = false;
  window.coreProfile = kind == RendererKind::Shader;
  OpenAndLoad(*demo, kind, [&]() -> Renderer& {
    gl = GlContext::Open(window);
    const int most = MaxPictureSide();
    if (drawWidth > most || drawHeight > most) {
      throw LoadError("Cannot draw " + std::to_string(drawWidth) + "x" + std::to_string(drawHeight) +
                      " pictures: this OpenGL draws at most " + std::to_string(most) + "x" + std::to_string(most));
    }
    renderer = MakeRenderer(kind, gl->procLookup(), drawWidth, drawHeight, demo->aspect);
    return *renderer;
  });
}

}  // namespace stagwerk
