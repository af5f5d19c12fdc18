#pragma once
// The YCbCr to RGB factors in 14-bit fixed point, shared by every path.

namespace jpeg {

constexpr int kCrR = 22970, kCbB = 29032, kCbG = -5638, kCrG = -11700, kHalf = 8192;

}  // namespace jpeg
