#pragma once
// Where the overlay's parts go in a window of a given size, for any back
// end: translucent rectangles, then lines of text, in window pixels with
// the origin at the bottom left.
#include <array>
#include <string>
#include <vector>

#include "frame/Overlay.h"

namespace stagwerk {

struct OverlayRect {
  float x0, y0, x1, y1;
  std::array<float, 4> colour;
};

struct OverlayText {
  int x, y;  // the bottom left of the first glyph's cell
  const std::string* line;
};

struct OverlayLayout {
  std::vector<OverlayRect> rects;  // drawn first, in order
  std::vector<OverlayText> texts;  // white, over the rectangles
};

// The layout refers to overlay's lines: keep the overlay alive while drawing.
OverlayLayout LayOutOverlay(const Overlay& overlay, int width, int height);

}  // namespace stagwerk
