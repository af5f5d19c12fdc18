#include "platform/GlContext.h"

#include <SDL2/SDL.h>

#include "gl/GlState.h"

namespace stagwerk {

namespace {

void* LookUp(const char* name) { return SDL_GL_GetProcAddress(name); }

[[noreturn]] void Fail(const char* text) { throw GlContextError(text, SDL_GetError()); }

}  // namespace

std::unique_ptr<GlContext> GlContext::Open(const GlContextOptions& options) {
  std::unique_ptr<GlContext> gl(new GlContext());
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) Fail("Window Creation Error.");
  gl->videoStarted_ = true;

  // RGBA with the requested colour depth, double buffered, 16-bit depth.
  const int channelBits = options.depth <= 16 ? 5 : 8;
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channelBits);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, options.depth <= 16 ? 6 : 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channelBits);

  Uint32 flags = SDL_WINDOW_OPENGL | (options.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
  if (options.fullscreen) flags |= SDL_WINDOW_FULLSCREEN;
  gl->window_ = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 options.width, options.height, flags);
  if (gl->window_ == nullptr) Fail("Window Creation Error.");
  gl->context_ = SDL_GL_CreateContext(gl->window_);
  if (gl->context_ == nullptr) Fail("Can't Create A GL Rendering Context.");
  if (SDL_GL_MakeCurrent(gl->window_, gl->context_) != 0) Fail("Can't Activate The GL Rendering Context.");

  SetupGlState(&LookUp);
  gl->framebuffer_ = std::make_unique<Framebuffer>(options.width, options.height);
  return gl;
}

GlContext::~GlContext() {
  framebuffer_.reset();
  if (context_ != nullptr) {
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(context_);
  }
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void GlContext::Resize(int width, int height) { framebuffer_->Resize(width, height); }

void GlContext::Present() {
  framebuffer_->BlitToWindow();
  SDL_GL_SwapWindow(window_);
}

}  // namespace stagwerk
