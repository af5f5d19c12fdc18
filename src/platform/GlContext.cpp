#include "platform/GlContext.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

#include "gl/ProcLookup.h"

namespace stagwerk {

namespace {

void* LookUp(const char* name) { return SDL_GL_GetProcAddress(name); }

[[noreturn]] void Fail(const char* text) { throw GlContextError(text, SDL_GetError()); }

// A display mode of exactly this size on the first display.
bool FindMode(int width, int height, SDL_DisplayMode* mode) {
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    if (SDL_GetDisplayMode(0, i, mode) == 0 && mode->w == width && mode->h == height) return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<GlContext> GlContext::Open(const GlContextOptions& options) {
  std::unique_ptr<GlContext> gl(new GlContext());
  const char* chosen = std::getenv("SDL_VIDEODRIVER");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (options.requireDisplay && chosen == nullptr && (wayland == nullptr || *wayland == '\0')) {
    // Only the drivers that show something, and no Wayland probe that has
    // nothing to find.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,kmsdrm");
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) Fail("Window Creation Error.");
  gl->videoStarted_ = true;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (options.requireDisplay && chosen == nullptr && driver != nullptr &&
      (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
    throw GlContextError("Window Creation Error.", "no display: SDL found only its " + std::string(driver) + " driver");
  }

  // RGBA with the requested colour depth, double buffered, 16-bit depth.
  const int channelBits = options.depth <= 16 ? 5 : 8;
  SDL_GL_ResetAttributes();
  if (options.coreProfile) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  } else {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  }
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channelBits);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, options.depth <= 16 ? 6 : 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channelBits);

  SDL_DisplayMode mode{};
  gl->fullscreen_ = options.fullscreen;
  if (gl->fullscreen_ && !FindMode(options.width, options.height, &mode)) {
    if (!options.acceptWindowed || !options.acceptWindowed()) throw WindowDeclined();
    gl->fullscreen_ = false;
  }
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | (options.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
  if (gl->fullscreen_) flags |= SDL_WINDOW_FULLSCREEN;
  gl->window_ = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 options.width, options.height, flags);
  if (gl->window_ == nullptr) Fail("Window Creation Error.");
  if (gl->fullscreen_) {
    // The mode is restored to the desktop's when the window goes.
    if (SDL_SetWindowDisplayMode(gl->window_, &mode) != 0) Fail("Window Creation Error.");
    SDL_ShowCursor(SDL_DISABLE);
  }
  SDL_DisableScreenSaver();
  gl->context_ = SDL_GL_CreateContext(gl->window_);
  if (gl->context_ == nullptr) Fail("Can't Create A GL Rendering Context.");
  if (SDL_GL_MakeCurrent(gl->window_, gl->context_) != 0) Fail("Can't Activate The GL Rendering Context.");

  // The playback clock paces the frames; a swap that waits for the display
  // would move them.
  SDL_GL_SetSwapInterval(0);
  gl->width_ = options.width;
  gl->height_ = options.height;
  return gl;
}

GlContext::~GlContext() {
  if (context_ != nullptr) {
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(context_);
  }
  if (fullscreen_) SDL_ShowCursor(SDL_ENABLE);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

GlProcLookup GlContext::procLookup() const { return &LookUp; }

void GlContext::Swap() { SDL_GL_SwapWindow(window_); }

void GlContext::MakeCurrent() { SDL_GL_MakeCurrent(window_, context_); }

bool GlContext::SetFullscreen(bool fullscreen) {
  if (fullscreen == fullscreen_) return true;
  if (SDL_SetWindowFullscreen(window_, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
  SDL_ShowCursor(fullscreen ? SDL_DISABLE : SDL_ENABLE);
  fullscreen_ = fullscreen;
  return true;
}

}  // namespace stagwerk
