#pragma once
// The options that only a capture takes, read from the command line.
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "app/capture/Capture.h"
#include "base/FrameRate.h"

namespace stagwerk {

struct CaptureArguments {
  std::optional<FrameRate> fps;
  std::optional<double> from, to;
  std::optional<int> supersample, subframes, jobs;
  std::optional<double> shutter;
  std::optional<VideoPreset> preset;
  std::optional<std::pair<int, int>> segment;  // K of N
  bool overlay = false;
  bool noSound = false;

  bool any() const;
};

// False when `arg` is no capture option. Otherwise reads it (and its value,
// through `value`) into `into`, and sets `problem` when it is wrong.
bool ParseCaptureOption(const std::string& arg, const std::function<std::optional<std::string>()>& value,
                        CaptureArguments& into, std::string* problem);
// What is wrong with the options taken together, if anything.
std::optional<std::string> CheckCaptureArguments(const CaptureArguments& a, const std::string& out);
void ApplyCaptureArguments(const CaptureArguments& a, CaptureOptions& into);

}  // namespace stagwerk
