#pragma once
// Where a capture's frames go: numbered PNG files in a folder, or the video
// encoder.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/modes/Capture.h"
#include "platform/VideoEncoder.h"

namespace stagwerk {

class CaptureSink {
 public:
  // Throws LoadError when the folder cannot be made or ffmpeg not started.
  CaptureSink(const CaptureOptions& options, int width, int height, const std::string& music, double musicStart);
  // Frame `index` counted from the demo's start; RGB rows, top row first.
  void Write(int64_t index, const std::vector<unsigned char>& rgb);
  void Finish();

 private:
  int width_;
  int height_;
  std::string folder_;
  std::unique_ptr<VideoEncoder> video_;
};

}  // namespace stagwerk
