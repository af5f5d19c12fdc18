#pragma once
// A capture split into segments recorded side by side, each by a process of
// its own (this program again, with --segment K/N), then joined: a video by
// ffmpeg without encoding again, PNG files by being named by their place.
#include "app/capture/Capture.h"

namespace stagwerk {

// Throws LoadError.
void RunCaptureJobs(const CaptureOptions& options);

}  // namespace stagwerk
