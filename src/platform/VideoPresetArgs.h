#pragma once
// The ffmpeg arguments each preset encodes with, shared by a capture and by
// the join of its segments, so segments and whole files match.
#include <string>

#include "base/FrameRate.h"
#include "platform/VideoEncoder.h"

namespace stagwerk {

// Video codec arguments, from -pix_fmt on, for pictures at `fps`.
std::string VideoCodecArgs(VideoPreset preset, const FrameRate& fps);
// Audio codec arguments for the music track.
std::string AudioCodecArgs(VideoPreset preset);
// A warning for a file most players cannot play, or "" for none.
std::string PresetWarning(VideoPreset preset);

}  // namespace stagwerk
