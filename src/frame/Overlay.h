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
  std::vector<float> markers;  // on the bar, 0 to 1
};

// Height of the seek bar in window pixels, counted from the bottom edge.
constexpr int kSeekBarHeight = 12;

}  // namespace stagwerk
