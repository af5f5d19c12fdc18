#pragma once
// The page's canvas and the WebGL 2 context on it. Its drawing buffer is
// sized by the program: the window's inner size while playing, the still's
// size for a still.
#include <stdexcept>
#include <string>

namespace stagwerk {

// No WebGL 2 context could be made on the canvas.
struct WebGlUnavailable : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class WebCanvas {
 public:
  // A context on the canvas `selector`; `keepPicture` keeps the drawing
  // buffer after it is shown, so the page can read it back (stills).
  // Throws WebGlUnavailable.
  WebCanvas(const char* selector, bool keepPicture);
  ~WebCanvas();
  WebCanvas(const WebCanvas&) = delete;
  WebCanvas& operator=(const WebCanvas&) = delete;

  void SetSize(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  std::string selector_;
  int context_ = 0;
  int width_ = 0;
  int height_ = 0;
};

// GL entry points by name for the back end (the off-screen picture's
// framebuffer calls): Emscripten's WebGL 2 functions.
void* WebGlProcAddress(const char* name);

// The browser window's inner size in CSS pixels, at least 1 by 1.
void WindowSize(int& width, int& height);

}  // namespace stagwerk
