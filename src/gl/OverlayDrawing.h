#pragma once
// The author's overlay in fixed-function calls: text as bitmaps, the seek
// bar as quads, in window pixels.
#include "frame/Overlay.h"

namespace stagwerk {

// Draws into whatever framebuffer is bound, over a window of that size,
// and leaves every piece of GL state as it found it.
void DrawOverlayCalls(const Overlay& overlay, int width, int height);

}  // namespace stagwerk
