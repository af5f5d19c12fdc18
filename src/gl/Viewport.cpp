#include "gl/Viewport.h"

#include "gl/GlHeaders.h"

namespace stagwerk {

ViewportRect FitViewport(float aspect, int width, int height) {
  if (height == 0) height = 1;
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  const float fitted = h * aspect;
  ViewportRect r;
  if (w < fitted) {
    // Bars above and below. The height is truncated from the double quotient,
    // never rounded to a float first: 1024 / (16/9) gives 575, not 576.
    const double barred = static_cast<double>(w) / static_cast<double>(aspect);
    const float y = static_cast<float>((static_cast<double>(h) - barred) * 0.5);
    r = {0, static_cast<int>(y), width, static_cast<int>(barred)};
  } else {
    const float x = (w - fitted) * 0.5f;
    r = {static_cast<int>(x), 0, static_cast<int>(fitted), height};
  }
  return r;
}

void ResizeViewport(float aspect, int width, int height) {
  const ViewportRect r = FitViewport(aspect, width, height);
  glViewport(r.x, r.y, r.width, r.height);
  glClear(GL_COLOR_BUFFER_BIT);
}

}  // namespace stagwerk
