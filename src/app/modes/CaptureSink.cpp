#include "app/modes/CaptureSink.h"

#include <cstdio>
#include <filesystem>

#include "base/LoadError.h"
#include "platform/PngWriter.h"

namespace stagwerk {

CaptureSink::CaptureSink(const CaptureOptions& options, int width, int height, const std::string& music,
                         double musicStart)
    : width_(width), height_(height), folder_(options.out) {
  if (IsVideoPath(options.out)) {
    VideoOptions video{options.out, width, height, options.fps, options.sound ? music : "", musicStart};
    video.preset = options.preset;
    video_ = std::make_unique<VideoEncoder>(video);
    return;
  }
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  if (!std::filesystem::is_directory(folder_)) {
    throw LoadError("Cannot write " + folder_ + ": " + (error ? error.message() : "not a folder"));
  }
}

void CaptureSink::Write(int64_t index, const std::vector<unsigned char>& rgb) {
  if (video_) {
    video_->Write(rgb);
    return;
  }
  char name[32];
  std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(index));
  WritePng((std::filesystem::path(folder_) / name).string(), width_, height_, rgb);
}

void CaptureSink::Finish() {
  if (video_) video_->Finish();
}

}  // namespace stagwerk
