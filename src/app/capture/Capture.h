#pragma once
// Records the demo as the screen would show it, on an ideal machine: a
// virtual clock, drawing that takes no time, music that starts the instant
// it is run. No window and no sound device are needed.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/loading/DemoSync.h"
#include "app/modes/RendererChoice.h"
#include "base/FrameRate.h"
#include "platform/VideoEncoder.h"

namespace stagwerk {

struct CaptureOptions {
  std::string configPath;
  std::string settingsPath;  // empty: the per-user default (read, never written)
  double syncRows = kDefaultSyncRowsPerSecond;  // sync track rows per second of music
  unsigned jobs = 0;         // texture decoding threads; 0: one per core
  RendererKind renderer = RendererKind::FixedFunction;
  // A folder for frame-NNNNNN.png, N the frame's place counted from the
  // demo's start at the rate (so segments fill one folder), a .mp4, .mkv
  // or .webm video, or "-": raw RGB frames on standard output.
  std::string out;
  FrameRate fps;
  int width = 0;  // 0: the display settings
  int height = 0;
  std::optional<double> from;  // music times written
  std::optional<double> to;
  std::ostream* progress = nullptr;  // a progress bar; null for none
  // The overlay the window shows on Tab, over every frame written after the
  // loading picture.
  bool overlay = false;
  // Each frame drawn at this many times the size and filtered down (1-4).
  int supersample = 1;
  // Motion blur: the shutter's opening in degrees of a frame (0: none), and
  // the sub-frames averaged over it.
  double shutter = 0.0;
  int subframes = 1;
  VideoPreset preset = VideoPreset::Plain;
  bool sound = true;  // the music muxed into a video
  // Segments recorded side by side by this many processes, then joined.
  int captureJobs = 1;
  // Only segment segmentIndex (from 1) of segmentCount equal shares of the
  // frames: one machine's part of a capture spread over many.
  int segmentIndex = 1;
  int segmentCount = 1;
  // The command line this capture came from (without the program), which
  // the processes of --capture-jobs are started with.
  std::vector<std::string> arguments;
};

// Throws LoadError.
void RunCapture(const CaptureOptions& options);


}  // namespace stagwerk
