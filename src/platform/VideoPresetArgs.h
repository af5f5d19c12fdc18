#pragma once
// The ffmpeg arguments each preset encodes with, shared by a capture and by
// the join of its segments, so segments and whole files match.
#include <cstdint>
#include <optional>
#include <string>

#include "base/FrameRate.h"
#include "platform/VideoEncoder.h"

namespace stagwerk {

// Video codec arguments, from -pix_fmt on, for pictures at `fps`.
std::string VideoCodecArgs(VideoPreset preset, const FrameRate& fps);
// Muxer arguments: the web preset's index in front.
std::string MuxerArgs(VideoPreset preset);
// Audio codec arguments for the music track.
std::string AudioCodecArgs(VideoPreset preset);
// The music padded with silence and cut to `frames` frames at `fps`, or,
// when the count is not known, cut where the pictures end.
std::string AudioLengthArgs(std::optional<int64_t> frames, const FrameRate& fps);
// A warning for a file most players cannot play, or "" for none.
std::string PresetWarning(VideoPreset preset);

}  // namespace stagwerk
