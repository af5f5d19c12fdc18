#pragma once
// Frames out as a video: raw RGB through a pipe to the ffmpeg program, with
// the music muxed in from where the pictures start.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/FrameRate.h"

namespace stagwerk {

// How the pictures and the sound are encoded.
// Plain: H.264 at ffmpeg's defaults, yuv420p, AAC (what capture always did).
// Web: H.264 High yuv420p, closed GOP of half a second, 2 B-frames, CRF 18,
//   the index at the front, AAC-LC 48 kHz 320 kb/s; what video sites ask for.
// Archive: lossless FFV1 with FLAC, in Matroska.
enum class VideoPreset { Plain, Web, Archive };

struct VideoOptions {
  std::string out;  // .mp4, .mkv or .webm
  int width = 0;
  int height = 0;
  FrameRate fps;  // carried into the video exactly
  std::string music;          // empty or missing: no sound track
  double musicStart = 0.0;    // seconds into the music of the first frame
  VideoPreset preset = VideoPreset::Plain;
  // The frames the video will get, when known: the sound is padded with
  // silence or cut to exactly their length. Otherwise it ends with them.
  std::optional<int64_t> frames;
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
