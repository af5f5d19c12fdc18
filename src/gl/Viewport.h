#pragma once
// The largest rectangle of the demo's aspect that fits the window, centred.
namespace stagwerk {

struct ViewportRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const ViewportRect&) const = default;
};

// A height of 0 counts as 1 (a minimised window).
ViewportRect FitViewport(float aspect, int width, int height);
// glViewport with the fitted rectangle, then a colour clear of the whole window.
void ResizeViewport(float aspect, int width, int height);

}  // namespace stagwerk
