#include "platform/VideoPresetArgs.h"

namespace stagwerk {

std::string VideoCodecArgs(VideoPreset preset, const FrameRate&) {
  switch (preset) {
    case VideoPreset::Plain:
    case VideoPreset::Web:
    case VideoPreset::Archive:
      break;
  }
  // yuv420p plays everywhere; the even size it needs is padded in.
  return "-pix_fmt yuv420p -vf 'pad=ceil(iw/2)*2:ceil(ih/2)*2'";
}

std::string AudioCodecArgs(VideoPreset) { return ""; }

std::string PresetWarning(VideoPreset) { return ""; }

}  // namespace stagwerk
