#include "frame/OverlayPixels.h"

#include <algorithm>
#include <cmath>

#include "frame/BitmapFont.h"
#include "frame/OverlayLayout.h"

namespace stagwerk {

namespace {

// Rows top first in memory, positions counted from the bottom as the layout
// counts them.
class Canvas {
 public:
  Canvas(int width, int height, std::vector<unsigned char>& rgb) : width_(width), height_(height), rgb_(rgb) {}

  // Pixels whose centres lie in the rectangle, as a rasteriser fills it.
  void Fill(const OverlayRect& r) {
    const auto first = [](float edge) { return static_cast<int>(std::ceil(edge - 0.5f)); };
    const int x0 = std::max(0, first(r.x0)), x1 = std::min(width_, first(r.x1));
    const int y0 = std::max(0, first(r.y0)), y1 = std::min(height_, first(r.y1));
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) Blend(x, y, r.colour);
    }
  }

  void Text(const OverlayText& text) {
    int x = text.x;
    for (char ch : *text.line) {
      const auto& rows = Glyph(ch);
      for (int row = 0; row < kGlyphSize; ++row) {
        for (int bit = 0; bit < kGlyphSize; ++bit) {
          if ((rows[static_cast<std::size_t>(row)] & (0x80 >> bit)) == 0) continue;
          const int px = x + bit, py = text.y + kGlyphSize - 1 - row;
          if (px >= 0 && px < width_ && py >= 0 && py < height_) Blend(px, py, {1, 1, 1, 1});
        }
      }
      x += kGlyphSize;
    }
  }

 private:
  void Blend(int x, int y, const std::array<float, 4>& c) {
    const std::size_t row = static_cast<std::size_t>(height_ - 1 - y);
    unsigned char* p = &rgb_[3 * (row * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x))];
    for (std::size_t i = 0; i < 3; ++i) {
      const float mixed = c[i] * c[3] * 255.0f + static_cast<float>(p[i]) * (1.0f - c[3]);
      p[i] = static_cast<unsigned char>(std::clamp(std::lround(mixed), 0L, 255L));
    }
  }

  int width_;
  int height_;
  std::vector<unsigned char>& rgb_;
};

}  // namespace

void PaintOverlay(const Overlay& overlay, int width, int height, std::vector<unsigned char>& rgb) {
  if (width <= 0 || height <= 0 ||
      rgb.size() < std::size_t{3} * static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return;
  }
  Canvas canvas(width, height, rgb);
  const OverlayLayout layout = LayOutOverlay(overlay, width, height);
  for (const OverlayRect& rect : layout.rects) canvas.Fill(rect);
  for (const OverlayText& text : layout.texts) canvas.Text(text);
}

}  // namespace stagwerk
