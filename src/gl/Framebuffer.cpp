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
  // Pixel buffers, for reading back without waiting (GL 2.1).
  PFNGLGENBUFFERSPROC genBuffers = nullptr;
  PFNGLDELETEBUFFERSPROC deleteBuffers = nullptr;
  PFNGLBINDBUFFERPROC bindBuffer = nullptr;
  PFNGLBUFFERDATAPROC bufferData = nullptr;
  PFNGLMAPBUFFERPROC mapBuffer = nullptr;
  PFNGLUNMAPBUFFERPROC unmapBuffer = nullptr;

  bool pixelBuffers() const { return genBuffers && deleteBuffers && bindBuffer && bufferData && mapBuffer && unmapBuffer; }

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
  Find(calls.genBuffers, lookup, "glGenBuffers");
  Find(calls.deleteBuffers, lookup, "glDeleteBuffers");
  Find(calls.bindBuffer, lookup, "glBindBuffer");
  Find(calls.bufferData, lookup, "glBufferData");
  Find(calls.mapBuffer, lookup, "glMapBuffer");
  Find(calls.unmapBuffer, lookup, "glUnmapBuffer");
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

Framebuffer::~Framebuffer() {
  Destroy();
  if (pack_ != 0) Calls().deleteBuffers(1, &pack_);
}

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

namespace {

// Rows bottom-up as GL reads them, `channels` bytes a pixel, to RGB top-down.
std::vector<unsigned char> TopDownRgb(const unsigned char* bottomUp, int width, int height, int channels) {
  const std::size_t row = std::size_t(3) * static_cast<std::size_t>(width);
  std::vector<unsigned char> topDown(row * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    const unsigned char* from = bottomUp + static_cast<std::size_t>(channels) * static_cast<std::size_t>(width) *
                                               static_cast<std::size_t>(height - 1 - y);
    unsigned char* to = &topDown[row * static_cast<std::size_t>(y)];
    if (channels == 3) {
      std::memcpy(to, from, row);
      continue;
    }
    for (int x = 0; x < width; ++x, to += 3, from += channels) std::memcpy(to, from, 3);
  }
  return topDown;
}

}  // namespace

void Framebuffer::StartRead() {
  const FramebufferCalls& gl = Calls();
  if (!gl.pixelBuffers()) {
    read_ = ReadRgb();
    return;
  }
  const std::size_t bytes = std::size_t(4) * static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  if (pack_ == 0) gl.genBuffers(1, &pack_);
  gl.bindBuffer(GL_PIXEL_PACK_BUFFER, pack_);
  // Fresh storage each time: the GL need not wait for the last read's map.
  gl.bufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STREAM_READ);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  if (fbo_ == 0) glReadBuffer(GL_BACK);
  // RGBA: the format every GL copies without converting.
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  gl.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  reading_ = true;
  readWidth_ = width_;
  readHeight_ = height_;
}

std::vector<unsigned char> Framebuffer::TakeRead() {
  if (!reading_) return std::move(read_);
  reading_ = false;
  const FramebufferCalls& gl = Calls();
  gl.bindBuffer(GL_PIXEL_PACK_BUFFER, pack_);
  std::vector<unsigned char> rgb;
  if (const auto* rgba = static_cast<const unsigned char*>(gl.mapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY))) {
    rgb = TopDownRgb(rgba, readWidth_, readHeight_, 4);
    gl.unmapBuffer(GL_PIXEL_PACK_BUFFER);
  }
  gl.bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  if (rgb.empty()) rgb = ReadRgb();  // a map refused: the picture is still there
  return rgb;
}

std::vector<unsigned char> Framebuffer::ReadRgb() const {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (fbo_ == 0) glReadBuffer(GL_BACK);
#if defined(__EMSCRIPTEN__)
  // WebGL 2 reads an RGBA8 buffer as RGBA bytes only.
  constexpr int kChannels = 4;
  constexpr GLenum kFormat = GL_RGBA;
#else
  constexpr int kChannels = 3;
  constexpr GLenum kFormat = GL_RGB;
#endif
  std::vector<unsigned char> bottomUp(std::size_t(kChannels) * static_cast<std::size_t>(width_) *
                                      static_cast<std::size_t>(height_));
  glReadPixels(0, 0, width_, height_, kFormat, GL_UNSIGNED_BYTE, bottomUp.data());
  return TopDownRgb(bottomUp.data(), width_, height_, kChannels);
}

}  // namespace stagwerk
