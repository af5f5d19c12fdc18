#include "frame/OverlayLayout.h"

#include <algorithm>
#include <cmath>

#include "frame/BitmapFont.h"

namespace stagwerk {

namespace {

constexpr int kMargin = 4;
constexpr int kLineHeight = 10;

}  // namespace

OverlayLayout LayOutOverlay(const Overlay& overlay, int width, int height) {
  OverlayLayout layout;
  // A dark panel behind the text keeps it readable over any picture.
  const int lines = static_cast<int>(overlay.lines.size());
  std::size_t longest = 0;
  for (const std::string& line : overlay.lines) longest = std::max(longest, line.size());
  const float top = static_cast<float>(height);
  if (lines > 0) {
    layout.rects.push_back({0, top - static_cast<float>(2 * kMargin + lines * kLineHeight),
                            static_cast<float>(2 * kMargin + static_cast<int>(longest) * kGlyphSize), top,
                            {0, 0, 0, 0.6f}});
  }
  // The seek bar: the whole demo, the loop, the part played, the markers.
  const float w = static_cast<float>(width);
  const float bar = static_cast<float>(kSeekBarHeight);
  layout.rects.push_back({0, 0, w, bar, {0, 0, 0, 0.6f}});
  if (overlay.loopIn >= 0 && overlay.loopOut >= 0) {
    layout.rects.push_back({overlay.loopIn * w, 0, overlay.loopOut * w, bar, {0.2f, 0.4f, 1.0f, 0.7f}});
  }
  layout.rects.push_back({0, 3, std::clamp(overlay.played, 0.0f, 1.0f) * w, bar - 3, {1.0f, 0.6f, 0.1f, 0.9f}});
  // Markers over the played part, the full height of the bar, two pixels
  // wide so that one at either end still shows.
  for (float marker : overlay.markers) {
    const float x = std::clamp(std::round(marker * w) - 1.0f, 0.0f, std::max(0.0f, w - 2.0f));
    layout.rects.push_back({x, 0, x + 2.0f, bar, {1.0f, 1.0f, 1.0f, 0.9f}});
  }
  for (int i = 0; i < lines; ++i) {
    layout.texts.push_back({kMargin, height - kMargin - (i + 1) * kLineHeight + 1, &overlay.lines[static_cast<std::size_t>(i)]});
  }
  return layout;
}

}  // namespace stagwerk
