#pragma once
// Frames out as a video: raw RGB through a pipe to the ffmpeg program, with
// the music muxed in from where the pictures start.
#include <cstdio>
#include <string>
#include <vector>

#include "base/FrameRate.h"

namespace stagwerk {

struct VideoOptions {
  std::string out;  // .mp4, .mkv or .webm
  int width = 0;
  int height = 0;
  FrameRate fps;  // carried into the video exactly
  std::string music;          // empty or missing: no sound track
  double musicStart = 0.0;    // seconds into the music of the first frame
};

// True when the name asks for a video rather than a folder of pictures.
bool IsVideoPath(const std::string& path);

class VideoEncoder {
 public:
  // Throws LoadError when ffmpeg is not installed or cannot be started.
  explicit VideoEncoder(const VideoOptions& options);
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // RGB rows, top row first. Throws LoadError when ffmpeg has gone.
  void Write(const std::vector<unsigned char>& rgb);
  // Waits for ffmpeg; throws LoadError when it failed.
  void Finish();

 private:
  std::string out_;
  FILE* pipe_ = nullptr;
};

}  // namespace stagwerk
