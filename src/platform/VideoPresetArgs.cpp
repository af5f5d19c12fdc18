#include "platform/VideoPresetArgs.h"

#include <algorithm>
#include <cstdio>

namespace stagwerk {

namespace {

// yuv420p needs an even size; the odd row or column is padded in.
constexpr const char* kEvenPad = "-vf 'pad=ceil(iw/2)*2:ceil(ih/2)*2'";

}  // namespace

std::string VideoCodecArgs(VideoPreset preset, const FrameRate& fps) {
  switch (preset) {
    case VideoPreset::Web: {
      // A closed GOP of half a second with no extra key frames at scene
      // cuts: every segment starts on a key frame, so segments join by copy.
      const int64_t gop = std::max<int64_t>(1, (fps.num + fps.den) / (2 * fps.den));
      const std::string g = std::to_string(gop);
      return std::string("-c:v libx264 -profile:v high -pix_fmt yuv420p ") + kEvenPad +
             " -crf 18 -g " + g + " -keyint_min " + g + " -sc_threshold 0 -flags +cgop -bf 2";
    }
    case VideoPreset::Archive:
      // Planar RGB keeps every value as drawn; every frame a key frame.
      return "-c:v ffv1 -level 3 -g 1 -slicecrc 1 -pix_fmt bgr0";
    case VideoPreset::Plain:
      break;
  }
  return std::string("-pix_fmt yuv420p ") + kEvenPad;
}

std::string MuxerArgs(VideoPreset preset) { return preset == VideoPreset::Web ? "-movflags +faststart" : ""; }

std::string AudioCodecArgs(VideoPreset preset) {
  switch (preset) {
    case VideoPreset::Web:
      return "-c:a aac -profile:a aac_low -ar 48000 -b:a 320k";
    case VideoPreset::Archive:
      return "-c:a flac";
    case VideoPreset::Plain:
      break;
  }
  return "";
}

std::string AudioLengthArgs(std::optional<int64_t> frames, const FrameRate& fps) {
  if (!frames) return "-af apad -shortest";
  char seconds[40];
  std::snprintf(seconds, sizeof seconds, "%.6f", fps.Seconds(*frames));
  return std::string("-af apad=whole_dur=") + seconds + ",atrim=duration=" + seconds;
}

std::string PresetWarning(VideoPreset preset) {
  if (preset != VideoPreset::Archive) return "";
  return "--preset archive writes lossless FFV1 and FLAC: a file for keeping and editing, which most players, "
         "phones and video sites cannot play";
}

}  // namespace stagwerk
