#pragma once
// Amiga IFF pictures: ILBM (bit planes: palette, EHB, HAM6, HAM8, 24- and
// 32-bit deep; plain or ByteRun1; a mask plane or a transparent colour) and
// PBM (one byte per pixel, as Deluxe Paint on the PC wrote them).
#include <cstddef>
#include <string>

#include "kq7/formats/pictures/Picture.h"

namespace stagwerk::kq7 {

bool IsIffPicture(const unsigned char* data, std::size_t size);

Picture ReadIffPicture(const unsigned char* data, std::size_t size, const std::string& name);

}  // namespace stagwerk::kq7
