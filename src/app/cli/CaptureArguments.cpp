#include "app/cli/CaptureArguments.h"

#include <tuple>

#include "app/cli/ArgumentText.h"

namespace stagwerk {

namespace {

// Sub-frames a shutter gets when --subframes does not say.
constexpr int kDefaultSubframes = 8;

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

std::optional<VideoPreset> ParsePreset(const std::string& text) {
  if (text == "web" || text == "youtube") return VideoPreset::Web;
  if (text == "archive") return VideoPreset::Archive;
  return std::nullopt;
}

}  // namespace

bool CaptureArguments::any() const {
  return fps || from || to || supersample || subframes || jobs || shutter || preset || segment || overlay || noSound;
}

bool ParseCaptureOption(const std::string& arg, const std::function<std::optional<std::string>()>& value,
                        CaptureArguments& a, std::string* problem) {
  const auto fail = [&](const std::string& text) {
    *problem = text;
    return true;
  };
  if (arg == "--overlay") {
    a.overlay = true;
  } else if (arg == "--no-sound") {
    a.noSound = true;
  } else if (arg == "--from" || arg == "--to") {
    const auto text = value();
    double t = 0;
    if (!text || !ParseSeconds(*text, &t) || t < 0) return fail(arg + " needs a music time in seconds");
    (arg == "--from" ? a.from : a.to) = t;
  } else if (arg == "--fps") {
    const auto text = value();
    const auto rate = text ? FrameRate::Parse(*text) : std::nullopt;
    if (!rate) return fail("--fps needs a frame rate from 1 to 1000: N, N/D (60000/1001) or a decimal (29.97)");
    a.fps = rate;
  } else if (arg == "--supersample") {
    const auto text = value();
    int n = 0;
    if (!text || !ParseCount(*text, 1, 4, &n)) return fail("--supersample needs a factor from 1 to 4");
    a.supersample = n;
  } else if (arg == "--shutter") {
    const auto text = value();
    double degrees = 0;
    if (!text || !ParseNumber(*text, 0, 360, &degrees)) return fail("--shutter needs an angle from 0 to 360 degrees");
    a.shutter = degrees;
  } else if (arg == "--subframes") {
    const auto text = value();
    int n = 0;
    if (!text || !ParseCount(*text, 1, 256, &n)) return fail("--subframes needs a count from 1 to 256");
    a.subframes = n;
  } else if (arg == "--capture-jobs") {
    const auto text = value();
    int n = 0;
    if (!text || !ParseCount(*text, 1, 64, &n)) return fail("--capture-jobs needs a process count from 1 to 64");
    a.jobs = n;
  } else if (arg == "--segment") {
    const auto text = value();
    const std::size_t slash = text ? text->find('/') : std::string::npos;
    int k = 0, n = 0;
    if (slash == std::string::npos || !ParseCount(text->substr(slash + 1), 1, 100000, &n) ||
        !ParseCount(text->substr(0, slash), 1, n, &k)) {
      return fail("--segment needs K/N: the K-th of N equal shares of the frames, K from 1 to N");
    }
    a.segment = std::make_pair(k, n);
  } else if (arg == "--preset") {
    const auto text = value();
    const auto preset = text ? ParsePreset(*text) : std::nullopt;
    if (!preset) return fail("--preset needs web, youtube or archive");
    a.preset = preset;
  } else {
    return false;
  }
  return true;
}

std::optional<std::string> CheckCaptureArguments(const CaptureArguments& a, const std::string& out) {
  if (a.from && a.to && *a.to < *a.from) return "--to comes before --from";
  if (a.subframes && !(a.shutter && *a.shutter > 0)) return "--subframes goes with --shutter";
  if (a.jobs && *a.jobs > 1 && a.segment && a.segment->second > 1) return "choose one of --capture-jobs and --segment";
  const bool video = IsVideoPath(out);
  if (a.jobs && *a.jobs > 1 && out == "-") return "--capture-jobs writes a folder or a video, not standard output";
  if ((a.preset || a.noSound) && !video) return "--preset and --no-sound go with a video (OUT ending in .mp4, .mkv or .webm)";
  if (a.preset == VideoPreset::Web && EndsWith(out, ".webm")) return "--preset web makes H.264, which a .webm cannot hold: use .mp4";
  if (a.preset == VideoPreset::Archive && !EndsWith(out, ".mkv")) return "--preset archive writes FFV1 and FLAC, which need a .mkv";
  return std::nullopt;
}

void ApplyCaptureArguments(const CaptureArguments& a, CaptureOptions& into) {
  into.fps = a.fps.value_or(FrameRate{});
  if (a.from) into.from = *a.from;
  if (a.to) into.to = *a.to;
  into.overlay = a.overlay;
  into.supersample = a.supersample.value_or(1);
  into.shutter = a.shutter.value_or(0.0);
  into.subframes = into.shutter > 0 ? a.subframes.value_or(kDefaultSubframes) : 1;
  into.preset = a.preset.value_or(VideoPreset::Plain);
  into.sound = !a.noSound;
  into.captureJobs = a.jobs.value_or(1);
  if (a.segment) std::tie(into.segmentIndex, into.segmentCount) = *a.segment;
}

}  // namespace stagwerk
