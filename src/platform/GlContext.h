#pragma once
// The one window and its GL context, on SDL2. With SDL_VIDEODRIVER=offscreen
// it needs no display at all, which stills, captures and tests rely on.
#include <functional>
#include <memory>
#include <string>

#include "anim/LoadError.h"
#include "platform/Framebuffer.h"

struct SDL_Window;

namespace stagwerk {

struct GlContextOptions {
  std::string title = "Dorthax{Ombrisalte}";
  int width = 640;
  int height = 480;
  int depth = 32;  // colour bits per pixel
  bool fullscreen = false;
  bool visible = true;
  // A window someone can see: SDL's offscreen and dummy drivers do not count
  // unless SDL_VIDEODRIVER names them.
  bool requireDisplay = false;
  // Asked when the display cannot take the full-screen mode: true plays in a
  // window instead. Without it the mode is refused.
  std::function<bool()> acceptWindowed;
};

// The player's own text (e.g. "Window Creation Error.") and SDL's reason.
class GlContextError : public LoadError {
 public:
  GlContextError(const std::string& text, std::string reason) : LoadError(text), reason(std::move(reason)) {}
  std::string reason;
};

// The user chose not to play in a window when full screen was impossible.
class WindowDeclined : public GlContextError {
 public:
  WindowDeclined() : GlContextError("Program Will Now Close.", "full-screen mode declined") {}
};

class GlContext {
 public:
  // Opens the window, makes the context current, sets the fixed GL state and
  // binds the frame's off-screen picture. Throws GlContextError, or the
  // LoadError of a missing multitexture entry point.
  static std::unique_ptr<GlContext> Open(const GlContextOptions& options);
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;

  // The window's client size changed: the frame's picture follows it.
  void Resize(int width, int height);
  // Shows the frame: blit into the back buffer, then swap.
  void Present();

  Framebuffer& framebuffer() { return *framebuffer_; }
  SDL_Window* window() const { return window_; }
  bool fullscreen() const { return fullscreen_; }
  int width() const { return framebuffer_->width(); }
  int height() const { return framebuffer_->height(); }

 private:
  GlContext() = default;

  bool videoStarted_ = false;
  bool fullscreen_ = false;
  SDL_Window* window_ = nullptr;
  void* context_ = nullptr;
  std::unique_ptr<Framebuffer> framebuffer_;
};

}  // namespace stagwerk
