#pragma once
// The overlay's font: our own 8x8 cells, each a 5x7 glyph in its top left
// corner, for printable ASCII. Eight rows of eight bits is what a
// fixed-function bitmap draw takes as it stands, and it needs no file or
// library at run time.
#include <array>
#include <cstdint>

namespace stagwerk {

constexpr int kGlyphSize = 8;

// Rows top first, the leftmost pixel in the high bit. Characters outside
// printable ASCII come out as '?'.
const std::array<uint8_t, kGlyphSize>& Glyph(char c);

}  // namespace stagwerk
