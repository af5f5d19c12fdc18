#pragma once
// The overlay painted into a picture read back as RGB rows, for recordings
// that ask for it: the same panel, text and seek bar the window shows,
// without a graphics API, so every back end records the same pixels.
#include <vector>

#include "frame/Overlay.h"

namespace stagwerk {

// rgb: width * height * 3 bytes, top row first.
void PaintOverlay(const Overlay& overlay, int width, int height, std::vector<unsigned char>& rgb);

}  // namespace stagwerk
