#pragma once
// The off-screen picture every frame is drawn into. Unlike a window's back
// buffer after a swap, it keeps the previous frame, which the motion-blur
// trail is made of; the window shows it by a blit, and stills read it back.
#include <cstdint>
#include <vector>

#include "gl/ProcLookup.h"

namespace stagwerk {

class Framebuffer {
 public:
  // Needs a current context. Without framebuffer objects in the driver it
  // draws into the window's own buffer, as the player always did.
  Framebuffer(int width, int height, GlProcLookup lookup);
  ~Framebuffer();
  Framebuffer(const Framebuffer&) = delete;
  Framebuffer& operator=(const Framebuffer&) = delete;

  // A new size loses the content; the caller clears it with the viewport.
  void Resize(int width, int height);
  // Copies the picture into the window's back buffer, ready for the swap.
  void BlitToWindow();
  // The picture as RGB rows, top row first.
  std::vector<unsigned char> ReadRgb() const;
  // The same in two halves: the copy starts into a pixel buffer, and the
  // drawing of the next picture goes on while the GL makes it; Take waits
  // for it. Without pixel buffers Start reads at once.
  void StartRead();
  std::vector<unsigned char> TakeRead();
  // A copy of the picture, colour and depth, to come back to with Restore:
  // for drawing a picture that must not stay in the motion-blur trail.
  // Without an off-screen picture both do nothing.
  void Keep();
  void Restore();
  // Drawing goes to the window's back buffer until BindPicture. Only with
  // an off-screen picture.
  void BindWindow();
  void BindPicture();
  // The window's back buffer as RGB rows, top row first; for tests of what
  // is drawn over the picture.
  std::vector<unsigned char> ReadWindowRgb();

  int width() const { return width_; }
  int height() const { return height_; }
  bool offScreen() const { return fbo_ != 0; }

 private:
  void Create();
  void Destroy();
  void DestroyKept();

  int width_;
  int height_;
  uint32_t fbo_ = 0;
  uint32_t colour_ = 0;
  uint32_t depth_ = 0;
  uint32_t keptFbo_ = 0;
  uint32_t keptColour_ = 0;
  uint32_t keptDepth_ = 0;
  uint32_t pack_ = 0;  // the pixel buffer a read goes into
  bool reading_ = false;
  int readWidth_ = 0;  // the size when the read started
  int readHeight_ = 0;
  std::vector<unsigned char> read_;  // a read made at once
};

// The largest picture side this GL draws (needs a current context).
int MaxPictureSide();

}  // namespace stagwerk
