#pragma once
// A baseline JPEG of one grey component. stb's writer always stores three
// components (grey as YCbCr), which the player's decoder does not read as
// grey; opacity files need a true one-component picture.
#include <string>

namespace stagwerk::kq7 {

// samples: width x height bytes, the top row first; quality 1 to 100.
std::string EncodeGreyJpeg(const unsigned char* samples, int width, int height, int quality);

}  // namespace stagwerk::kq7
