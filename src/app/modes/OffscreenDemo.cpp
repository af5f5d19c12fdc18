#include "app/modes/OffscreenDemo.h"

#include "app/modes/OpenAndLoad.h"

namespace stagwerk {

OffscreenDemo::OffscreenDemo(const std::string& configPath, const std::string& settingsPath, int w, int h,
                             unsigned jobs, RendererKind kind) {
  DemoOptions options;
  options.validationRun = true;  // only playing writes the user's settings
  options.settingsPath = settingsPath;
  options.jobs = jobs;
  options.onLoadingPicture = [this](const Texture& picture) { renderer->DrawLoadingPicture(picture); };
  demo = Demo::Create(configPath, options);
  width = w > 0 ? w : static_cast<int>(demo->display.width);
  height = h > 0 ? h : static_cast<int>(demo->display.height);
  GlContextOptions window;
  window.width = width;
  window.height = height;
  window.depth = static_cast<int>(demo->display.depth);
  window.visible = false;
  window.coreProfile = kind == RendererKind::Shader;
  OpenAndLoad(*demo, kind, [&]() -> Renderer& {
    gl = GlContext::Open(window);
    renderer = MakeRenderer(kind, gl->procLookup(), width, height, demo->aspect);
    return *renderer;
  });
}

}  // namespace stagwerk
