#include "app/capture/CaptureSink.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/LoadError.h"
#include "platform/PngWriter.h"

namespace stagwerk {

namespace {

// PNG compression is the slow part of a folder capture: two threads beside
// the drawing. A video is one stream, so one thread keeps it in order.
constexpr int kPngThreads = 2;
constexpr std::size_t kQueued = 3;

}  // namespace

CaptureSink::CaptureSink(const CaptureOptions& options, int width, int height, const std::string& music,
                         double musicStart, std::optional<int64_t> frames)
    : width_(width), height_(height), folder_(options.out) {
  if (IsVideoPath(options.out)) {
    VideoOptions video;
    video.out = options.out;
    video.width = width;
    video.height = height;
    video.fps = options.fps;
    video.music = options.sound ? music : "";
    video.musicStart = musicStart;
    video.preset = options.preset;
    video.frames = frames;
    video_ = std::make_unique<VideoEncoder>(video);
    writers_ = std::make_unique<FrameWriters>(
        1, kQueued, [this](int64_t, const std::vector<unsigned char>& rgb) { video_->Write(rgb); });
    return;
  }
  if (options.out == "-") {
    // Raw frames for an encoder of the user's own, in order; a reader that
    // goes is an error here, not a killed player.
    std::signal(SIGPIPE, SIG_IGN);
    writers_ = std::make_unique<FrameWriters>(1, kQueued, [this](int64_t, const std::vector<unsigned char>& rgb) {
      if (std::fwrite(rgb.data(), 1, rgb.size(), stdout) != rgb.size() || std::fflush(stdout) != 0) {
        throw LoadError("Cannot write the frames to standard output: " + std::string(std::strerror(errno)));
      }
    });
    return;
  }
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  if (!std::filesystem::is_directory(folder_)) {
    throw LoadError("Cannot write " + folder_ + ": " + (error ? error.message() : "not a folder"));
  }
  writers_ = std::make_unique<FrameWriters>(
      kPngThreads, kQueued, [this](int64_t index, const std::vector<unsigned char>& rgb) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(index));
        WritePng((std::filesystem::path(folder_) / name).string(), width_, height_, rgb);
      });
}

void CaptureSink::Write(int64_t index, const std::vector<unsigned char>& rgb) { writers_->Push(index, rgb); }

void CaptureSink::Finish() {
  writers_->Finish();
  if (video_) video_->Finish();
}

}  // namespace stagwerk
