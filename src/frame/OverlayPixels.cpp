#include "frame/OverlayPixels.h"

#include <algorithm>
#include <cmath>

#include "frame/BitmapFont.h"

namespace stagwerk {

namespace {

class Canvas {
 public:
  Canvas(int width, int height, std::vector<unsigned char>& rgb) : width_(width), height_(height), rgb_(rgb) {}

  // Pixels whose centres lie in [x0, x1) x [y0, y1), rows counted from the
  // top, blended as the window blends them.
  void Fill(float x0, float y0, float x1, float y1, OverlayColour c) {
    const int left = std::max(0, static_cast<int>(std::ceil(x0 - 0.5f)));
    const int right = std::min(width_, static_cast<int>(std::ceil(x1 - 0.5f)));
    const int top = std::max(0, static_cast<int>(std::ceil(y0 - 0.5f)));
    const int bottom = std::min(height_, static_cast<int>(std::ceil(y1 - 0.5f)));
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) Blend(x, y, c);
    }
  }

  void Text(const std::string& line, int x, int top) {
    for (char ch : line) {
      const auto& rows = Glyph(ch);
      for (int row = 0; row < kGlyphSize; ++row) {
        for (int bit = 0; bit < kGlyphSize; ++bit) {
          if ((rows[static_cast<std::size_t>(row)] & (0x80 >> bit)) == 0) continue;
          const int px = x + bit, py = top + row;
          if (px >= 0 && px < width_ && py >= 0 && py < height_) Blend(px, py, {1, 1, 1, 1});
        }
      }
      x += kGlyphSize;
    }
  }

 private:
  void Blend(int x, int y, OverlayColour c) {
    unsigned char* p = &rgb_[3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x))];
    for (int i = 0; i < 3; ++i) {
      const float src = i == 0 ? c.r : i == 1 ? c.g : c.b;
      const float mixed = src * c.a * 255.0f + static_cast<float>(p[i]) * (1.0f - c.a);
      p[i] = static_cast<unsigned char>(std::clamp(std::lround(mixed), 0L, 255L));
    }
  }

  int width_;
  int height_;
  std::vector<unsigned char>& rgb_;
};

}  // namespace

void PaintOverlay(const Overlay& overlay, int width, int height, std::vector<unsigned char>& rgb) {
  if (width <= 0 || height <= 0 || rgb.size() < std::size_t{3} * static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return;
  Canvas canvas(width, height, rgb);
  const int lines = static_cast<int>(overlay.lines.size());
  std::size_t longest = 0;
  for (const std::string& line : overlay.lines) longest = std::max(longest, line.size());
  if (lines > 0) {
    canvas.Fill(0, 0, static_cast<float>(2 * kOverlayMargin + static_cast<int>(longest) * kGlyphSize),
                static_cast<float>(2 * kOverlayMargin + lines * kOverlayLineHeight), kOverlayPanel);
  }
  for (int i = 0; i < lines; ++i) {
    canvas.Text(overlay.lines[static_cast<std::size_t>(i)], kOverlayMargin, OverlayTextTop(i));
  }
  const float w = static_cast<float>(width);
  const float bottom = static_cast<float>(height);
  const float bar = bottom - static_cast<float>(kSeekBarHeight);
  canvas.Fill(0, bar, w, bottom, kOverlayPanel);
  if (overlay.loopIn >= 0 && overlay.loopOut >= 0) {
    canvas.Fill(overlay.loopIn * w, bar, overlay.loopOut * w, bottom, kOverlayLoop);
  }
  canvas.Fill(0, bar + kSeekBarInset, std::clamp(overlay.played, 0.0f, 1.0f) * w, bottom - kSeekBarInset,
              kOverlayPlayed);
}

}  // namespace stagwerk
