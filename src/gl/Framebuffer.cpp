#include "gl/Framebuffer.h"

#include <algorithm>
#include <cstring>

#include "gl/GlHeaders.h"

namespace stagwerk {

namespace {

struct FramebufferCalls {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;

  bool complete() const {
    return genFramebuffers && deleteFramebuffers && bindFramebuffer && genRenderbuffers && deleteRenderbuffers &&
           bindRenderbuffer && renderbufferStorage && framebufferRenderbuffer && checkFramebufferStatus &&
           blitFramebuffer;
  }
};

template <typename T>
void Find(T& call, GlProcLookup lookup, const char* name) {
  call = reinterpret_cast<T>(lookup(name));
}

FramebufferCalls Load(GlProcLookup lookup) {
  FramebufferCalls calls;
  Find(calls.genFramebuffers, lookup, "glGenFramebuffers");
  Find(calls.deleteFramebuffers, lookup, "glDeleteFramebuffers");
  Find(calls.bindFramebuffer, lookup, "glBindFramebuffer");
  Find(calls.genRenderbuffers, lookup, "glGenRenderbuffers");
  Find(calls.deleteRenderbuffers, lookup, "glDeleteRenderbuffers");
  Find(calls.bindRenderbuffer, lookup, "glBindRenderbuffer");
  Find(calls.renderbufferStorage, lookup, "glRenderbufferStorage");
  Find(calls.framebufferRenderbuffer, lookup, "glFramebufferRenderbuffer");
  Find(calls.checkFramebufferStatus, lookup, "glCheckFramebufferStatus");
  Find(calls.blitFramebuffer, lookup, "glBlitFramebuffer");
  return calls;
}

// Looked up with the first context that has them all; every context comes
// from one driver.
FramebufferCalls found;

const FramebufferCalls& Calls() { return found; }

}  // namespace

Framebuffer::Framebuffer(int width, int height, GlProcLookup lookup) : width_(width), height_(height) {
  if (!found.complete()) found = Load(lookup);
  Create();
}

Framebuffer::~Framebuffer() { Destroy(); }

void Framebuffer::Create() {
  const FramebufferCalls& gl = Calls();
  if (!gl.complete()) return;
  gl.genRenderbuffers(1, &colour_);
  gl.bindRenderbuffer(GL_RENDERBUFFER, colour_);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width_, height_);
  gl.genRenderbuffers(1, &depth_);
  gl.bindRenderbuffer(GL_RENDERBUFFER, depth_);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width_, height_);
  gl.genFramebuffers(1, &fbo_);
  gl.bindFramebuffer(GL_FRAMEBUFFER, fbo_);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
  if (gl.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    Destroy();  // the window's buffer it is, then
    return;
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Framebuffer::DestroyKept() {
  if (keptFbo_ == 0) return;
  const FramebufferCalls& gl = Calls();
  gl.deleteFramebuffers(1, &keptFbo_);
  gl.deleteRenderbuffers(1, &keptColour_);
  gl.deleteRenderbuffers(1, &keptDepth_);
  keptFbo_ = keptColour_ = keptDepth_ = 0;
}

void Framebuffer::Keep() {
  if (fbo_ == 0) return;
  const FramebufferCalls& gl = Calls();
  if (keptFbo_ == 0) {
    gl.genRenderbuffers(1, &keptColour_);
    gl.bindRenderbuffer(GL_RENDERBUFFER, keptColour_);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width_, height_);
    gl.genRenderbuffers(1, &keptDepth_);
    gl.bindRenderbuffer(GL_RENDERBUFFER, keptDepth_);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width_, height_);
    gl.genFramebuffers(1, &keptFbo_);
    gl.bindFramebuffer(GL_FRAMEBUFFER, keptFbo_);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, keptColour_);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, keptDepth_);
  }
  gl.bindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, keptFbo_);
  gl.blitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT,
                     GL_NEAREST);
  gl.bindFramebuffer(GL_FRAMEBUFFER, fbo_);
}

void Framebuffer::Restore() {
  if (fbo_ == 0 || keptFbo_ == 0) return;
  const FramebufferCalls& gl = Calls();
  gl.bindFramebuffer(GL_READ_FRAMEBUFFER, keptFbo_);
  gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo_);
  gl.blitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT,
                     GL_NEAREST);
  gl.bindFramebuffer(GL_FRAMEBUFFER, fbo_);
}

int MaxPictureSide() {
  GLint renderbuffer = 0;
  GLint viewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  return std::min({renderbuffer, viewport[0], viewport[1]});
}

void Framebuffer::Destroy() {
  DestroyKept();
  if (fbo_ == 0 && colour_ == 0 && depth_ == 0) return;
  const FramebufferCalls& gl = Calls();
  gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
  if (fbo_ != 0) gl.deleteFramebuffers(1, &fbo_);
  if (colour_ != 0) gl.deleteRenderbuffers(1, &colour_);
  if (depth_ != 0) gl.deleteRenderbuffers(1, &depth_);
  fbo_ = colour_ = depth_ = 0;
}

void Framebuffer::Resize(int width, int height) {
  if (width == width_ && height == height_) return;
  Destroy();
  width_ = width;
  height_ = height;
  Create();
}

void Framebuffer::BlitToWindow() {
  if (fbo_ == 0) return;
  const FramebufferCalls& gl = Calls();
  gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  gl.blitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  gl.bindFramebuffer(GL_FRAMEBUFFER, fbo_);
}

void Framebuffer::BindWindow() {
  if (fbo_ != 0) Calls().bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
}

void Framebuffer::BindPicture() {
  if (fbo_ != 0) Calls().bindFramebuffer(GL_FRAMEBUFFER, fbo_);
}

std::vector<unsigned char> Framebuffer::ReadWindowRgb() {
  if (fbo_ != 0) Calls().bindFramebuffer(GL_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  std::vector<unsigned char> rgb = ReadRgb();
  BindPicture();
  return rgb;
}

std::vector<unsigned char> Framebuffer::ReadRgb() const {
  const std::size_t row = std::size_t(3) * static_cast<std::size_t>(width_);
  std::vector<unsigned char> bottomUp(row * static_cast<std::size_t>(height_));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (fbo_ == 0) glReadBuffer(GL_BACK);
#if defined(__EMSCRIPTEN__)
  // WebGL 2 reads an RGBA8 buffer as RGBA bytes only.
  std::vector<unsigned char> rgba(bottomUp.size() / 3 * 4);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  for (std::size_t i = 0, j = 0; i < bottomUp.size(); i += 3, j += 4) std::memcpy(&bottomUp[i], &rgba[j], 3);
#else
  glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
#endif
  std::vector<unsigned char> topDown(bottomUp.size());
  for (int y = 0; y < height_; ++y) {
    std::memcpy(&topDown[row * static_cast<std::size_t>(y)],
                &bottomUp[row * static_cast<std::size_t>(height_ - 1 - y)], row);
  }
  return topDown;
}

}  // namespace stagwerk
