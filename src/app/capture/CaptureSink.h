#pragma once
// Where a capture's frames go: numbered PNG files in a folder, or the video
// encoder; written on threads of their own.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/capture/Capture.h"
#include "app/capture/FrameWriters.h"
#include "platform/VideoEncoder.h"

namespace stagwerk {

class CaptureSink {
 public:
  // Throws LoadError when the folder cannot be made or ffmpeg not started.
  // `frames`, when known, is how many the video gets: its sound is made as long.
  CaptureSink(const CaptureOptions& options, int width, int height, const std::string& music, double musicStart,
              std::optional<int64_t> frames);
  // Frame `index` counted from the demo's start; RGB rows, top row first.
  // Throws LoadError once an earlier frame could not be written.
  void Write(int64_t index, const std::vector<unsigned char>& rgb);
  void Finish();

 private:
  int width_;
  int height_;
  std::string folder_;
  std::unique_ptr<VideoEncoder> video_;
  std::unique_ptr<FrameWriters> writers_;  // last: its threads stop before the rest goes
};

}  // namespace stagwerk
