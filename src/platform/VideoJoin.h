#pragma once
// Video segments made with the same preset joined into one file without
// encoding the pictures again (ffmpeg's concat demuxer), the music muxed in
// once over the whole.
#include <string>
#include <vector>

#include "platform/VideoEncoder.h"

namespace stagwerk {

// `segments` in order; `options` as for the whole capture (its size unused).
// `listFile` is written with the segments' names. Throws LoadError.
void JoinVideoSegments(const std::vector<std::string>& segments, const std::string& listFile,
                       const VideoOptions& options);

}  // namespace stagwerk
