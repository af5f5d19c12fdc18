#pragma once
// What the window shows over the demo while an author works: lines of text
// in the top left corner and a seek bar along the bottom. Plain data; the
// renderer draws it over the window's picture only, never into the frame's
// picture that stills and recordings read (a recording that asks for the
// overlay paints it into its own copy).
#include <string>
#include <vector>

namespace stagwerk {

struct Overlay {
  std::vector<std::string> lines;
  float played = 0.0f;  // of the seek bar, 0 to 1
  // The loop's ends on the bar, 0 to 1; negative for none.
  float loopIn = -1.0f;
  float loopOut = -1.0f;
};

// Height of the seek bar in window pixels, counted from the bottom edge.
constexpr int kSeekBarHeight = 12;
// The played part is inset this far from the bar's top and bottom.
constexpr int kSeekBarInset = 3;

// The text: a panel from the top left corner, one line every
// kOverlayLineHeight pixels, kOverlayMargin inside the panel.
constexpr int kOverlayMargin = 4;
constexpr int kOverlayLineHeight = 10;
// Top row of line i, counted from the picture's top.
constexpr int OverlayTextTop(int line) { return kOverlayMargin + line * kOverlayLineHeight + 1; }

struct OverlayColour {
  float r, g, b, a;  // blended over the picture by a
};
constexpr OverlayColour kOverlayPanel{0.0f, 0.0f, 0.0f, 0.6f};
constexpr OverlayColour kOverlayLoop{0.2f, 0.4f, 1.0f, 0.7f};
constexpr OverlayColour kOverlayPlayed{1.0f, 0.6f, 0.1f, 0.9f};

}  // namespace stagwerk
