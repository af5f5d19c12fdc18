#pragma once
// The one window and its GL context, on SDL2. With SDL_VIDEODRIVER=offscreen
// it needs no display at all, which stills, captures and tests rely on.
#include <functional>
#include <memory>
#include <string>

#include "base/LoadError.h"
#include "gl/ProcLookup.h"

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
  // An OpenGL 3.3 core context for the shader back end instead of a
  // compatibility one.
  bool coreProfile = false;
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
  // Opens the window and makes the context current. Throws GlContextError.
  static std::unique_ptr<GlContext> Open(const GlContextOptions& options);
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;

  // Shows the back buffer.
  void Swap();
  // Makes this context the current one again, where a process has several.
  void MakeCurrent();
  // Between window and full screen. Going full screen keeps the desktop's
  // mode; a window opened full screen gets its mode back on the way out.
  // False when the display refuses.
  bool SetFullscreen(bool fullscreen);
  // Finds the context's GL entry points.
  GlProcLookup procLookup() const;

  SDL_Window* window() const { return window_; }
  bool fullscreen() const { return fullscreen_; }
  // The client size the window opened with.
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  GlContext() = default;

  bool videoStarted_ = false;
  bool fullscreen_ = false;
  SDL_Window* window_ = nullptr;
  void* context_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace stagwerk
