#pragma once
// A recorded frame made of several pictures: sub-frames over an open
// shutter, each drawn at `scale` times the frame's size. The frame is the
// plain mean of every sample that falls in each of its pixels, a box filter
// in space and time, summed in 32 bits a channel.
#include <cstdint>
#include <vector>

namespace stagwerk {

class FrameAccumulator {
 public:
  // width x height is the frame; pictures added are scale times each side.
  FrameAccumulator(int width, int height, int scale);

  // RGB rows, top row first, (width * scale) x (height * scale).
  void Add(const std::vector<unsigned char>& picture);
  // The mean of what was added since the last call, rounded to nearest,
  // into `frame` (width x height RGB); then starts again.
  void TakeMean(std::vector<unsigned char>& frame);
  int added() const { return added_; }

 private:
  int width_;
  int height_;
  int scale_;
  int added_ = 0;
  std::vector<uint32_t> sums_;
};

}  // namespace stagwerk
