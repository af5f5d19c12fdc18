#include "app/capture/FrameAccumulator.h"

#include <algorithm>
#include <stdexcept>

namespace stagwerk {

FrameAccumulator::FrameAccumulator(int width, int height, int scale)
    : width_(width), height_(height), scale_(scale),
      sums_(std::size_t(3) * static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0) {}

void FrameAccumulator::Add(const std::vector<unsigned char>& picture) {
  const std::size_t drawnRow = std::size_t(3) * static_cast<std::size_t>(width_) * static_cast<std::size_t>(scale_);
  if (picture.size() != drawnRow * static_cast<std::size_t>(height_) * static_cast<std::size_t>(scale_)) {
    throw std::logic_error("a sub-frame of the wrong size");
  }
  const std::size_t row = std::size_t(3) * static_cast<std::size_t>(width_);
  for (int y = 0; y < height_ * scale_; ++y) {
    uint32_t* sum = &sums_[row * static_cast<std::size_t>(y / scale_)];
    const unsigned char* in = &picture[drawnRow * static_cast<std::size_t>(y)];
    if (scale_ == 1) {
      for (std::size_t i = 0; i < row; ++i) sum[i] += in[i];
      continue;
    }
    for (int x = 0; x < width_; ++x, sum += 3) {
      uint32_t r = 0, g = 0, b = 0;
      for (int k = 0; k < scale_; ++k, in += 3) {
        r += in[0];
        g += in[1];
        b += in[2];
      }
      sum[0] += r;
      sum[1] += g;
      sum[2] += b;
    }
  }
  ++added_;
}

void FrameAccumulator::TakeMean(std::vector<unsigned char>& frame) {
  frame.resize(sums_.size());
  const uint32_t n = static_cast<uint32_t>(std::max(1, added_ * scale_ * scale_));
  // floor((sum + n/2) / n) through a float product: the extra half step
  // keeps the product clear of whole numbers, far wider than float error.
  const float inverse = 1.0f / static_cast<float>(n);
  const float half = static_cast<float>(n / 2) + 0.5f;
  for (std::size_t i = 0; i < sums_.size(); ++i) {
    frame[i] = static_cast<unsigned char>(std::min(255.0f, (static_cast<float>(sums_[i]) + half) * inverse));
    sums_[i] = 0;
  }
  added_ = 0;
}

}  // namespace stagwerk
