#pragma once
// A demo loaded as the player loads it, loading picture included, into a
// hidden window's GL context: what stills and recordings draw from.
#include <memory>
#include <string>

#include "app/loading/Demo.h"
#include "app/modes/RendererChoice.h"
#include "frame/Renderer.h"
#include "platform/GlContext.h"

namespace stagwerk {

class OffscreenDemo {
 public:
  // width or height 0: the display settings. Pictures are drawn at `scale`
  // times that size, whatever the display. Never writes the settings.
  // Throws LoadError (GlContextError when no context can be made, and when
  // the GL cannot draw pictures that large).
  OffscreenDemo(const std::string& configPath, const std::string& settingsPath, int width, int height,
                unsigned jobs = 0, RendererKind kind = RendererKind::FixedFunction, int scale = 1);
  OffscreenDemo(const OffscreenDemo&) = delete;
  OffscreenDemo& operator=(const OffscreenDemo&) = delete;

  // In this order, so the demo's textures and meshes go while the renderer
  // and its context are still there, also when loading fails.
  std::unique_ptr<GlContext> gl;
  std::unique_ptr<Renderer> renderer;
  std::unique_ptr<Demo> demo;
  int width = 0;  // the size asked for
  int height = 0;
  int drawWidth = 0;  // scale times that
  int drawHeight = 0;
};

}  // namespace stagwerk
