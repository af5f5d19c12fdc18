#include "app/modes/Capture.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/LoadError.h"
#include "app/loading/Demo.h"
#include "app/playback/FrameDrawer.h"
#include "app/modes/OffscreenDemo.h"
#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackOverlay.h"
#include "frame/OverlayPixels.h"
#include "script/DemoScript.h"
#include "platform/Clock.h"
#include "platform/GlContext.h"
#include "platform/MusicPlayer.h"
#include "platform/PngWriter.h"
#include "platform/VideoEncoder.h"
#include "scene/Scene.h"

namespace stagwerk {

namespace {

// Where the frames go: numbered PNG files in a folder, or the video encoder.
class FrameSink {
 public:
  FrameSink(const CaptureOptions& options, int width, int height, const std::string& music, double musicStart)
      : width_(width), height_(height), folder_(options.out) {
    if (IsVideoPath(options.out)) {
      video_ = std::make_unique<VideoEncoder>(VideoOptions{options.out, width, height, options.fps, music, musicStart});
    } else {
      std::error_code error;
      std::filesystem::create_directories(folder_, error);
      if (!std::filesystem::is_directory(folder_)) {
        throw LoadError("Cannot write " + folder_ + ": " + (error ? error.message() : "not a folder"));
      }
    }
  }
  void Write(int64_t index, const std::vector<unsigned char>& rgb) {
    if (video_) {
      video_->Write(rgb);
      return;
    }
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(index));
    WritePng((std::filesystem::path(folder_) / name).string(), width_, height_, rgb);
  }
  void Finish() {
    if (video_) video_->Finish();
  }

 private:
  int width_;
  int height_;
  std::string folder_;
  std::unique_ptr<VideoEncoder> video_;
};

class Progress {
 public:
  Progress(std::ostream* out, std::optional<int64_t> due) : out_(out), due_(due), tty_(isatty(STDERR_FILENO) != 0) {}

  void Update(int64_t done, double musicSeconds, bool last = false) {
    if (out_ == nullptr) return;
    const auto now = std::chrono::steady_clock::now();
    const double wall = std::chrono::duration<double>(now - begin_).count();
    // On a terminal the bar is redrawn in place; in a log, a line now and then.
    const double every = tty_ ? 0.25 : 10.0;
    if (!last && wall - shown_ < every) return;
    shown_ = wall;
    const double speed = wall > 0 ? musicSeconds / wall : 0.0;
    char line[160];
    if (due_ && *due_ > 0) {
      const double left = done > 0 ? wall * static_cast<double>(*due_ - done) / static_cast<double>(done) : 0.0;
      const int width = 30;
      const int filled = static_cast<int>(width * std::min<double>(1.0, static_cast<double>(done) / *due_));
      std::snprintf(line, sizeof line, "capture [%s%s] %lld/%lld frames, %.1fx real time, %d:%02d left",
                    std::string(static_cast<std::size_t>(filled), '#').c_str(),
                    std::string(static_cast<std::size_t>(width - filled), '.').c_str(), static_cast<long long>(done),
                    static_cast<long long>(*due_), speed, static_cast<int>(left) / 60, static_cast<int>(left) % 60);
    } else {
      std::snprintf(line, sizeof line, "capture: %lld frames, %.1fx real time", static_cast<long long>(done), speed);
    }
    *out_ << (tty_ ? "\r" : "") << line << (tty_ && !last ? "" : "\n") << std::flush;
  }

 private:
  std::ostream* out_;
  std::optional<int64_t> due_;
  bool tty_;
  std::chrono::steady_clock::time_point begin_ = std::chrono::steady_clock::now();
  double shown_ = -1e9;
};

}  // namespace

void RunCapture(const CaptureOptions& options) {
  OffscreenDemo loaded(options.configPath, options.settingsPath, options.width, options.height, options.jobs,
                       options.renderer);
  Demo* demo = loaded.demo.get();
  const Renderer& renderer = *loaded.renderer;
  const int width = loaded.width;
  const int height = loaded.height;

  // The whole demo plays on the ideal machine from its start, so that every
  // written picture (motion-blur trails included) is exactly what playback
  // shows; --from and --to only choose which frames are written.
  VirtualClock clock;
  SilentMusic music(clock);
  FrameDrawer target(*loaded.renderer, demo->aspect);
  PlaybackClock playback(demo->script, clock, music, target);
  playback.StartPlayback();
  const double frequency = static_cast<double>(clock.Frequency());
  // Frame g is the screen at music time g / fps. The music ran from where it
  // was sought (or its beginning), a moment before the scene clock started.
  const double musicRun = static_cast<double>(music.lastSeek()) * 1e-7 * (music.seekCount() > 0 ? 1 : 0);
  const double musicNow = static_cast<double>(music.Position()) * 1e-7;
  const int64_t runTick = clock.Now() - std::llround((musicNow - musicRun) * frequency);
  const auto tickOf = [&](int64_t g) {
    return runTick + std::llround((options.fps.Seconds(g) - musicRun) * frequency);
  };
  // 1.2 s at 10 fps is frame 12, rounding or not.
  const int64_t first = options.fps.FirstAtOrAfter(std::max(options.from.value_or(0.0), musicRun));
  std::optional<double> end = options.to;
  const std::optional<double> demoEnd = DemoEndMusicTime(demo->script);
  if (demoEnd && (!end || *demoEnd < *end)) end = demoEnd;
  std::optional<int64_t> last;
  if (end) last = options.fps.LastAtOrBefore(*end);
  std::optional<int64_t> due;
  if (last) due = std::max<int64_t>(0, *last - first + 1);
  // A picture is read back only near the frames written: no pass lasts
  // longer than a second plus the slowest scene's two frames.
  double longestFrame = 0.0;
  for (const ScriptEntry& entry : demo->script.entries) {
    longestFrame = std::max<double>(longestFrame, entry.scene->frameDuration);
  }
  const int64_t readAhead = std::llround((1.0 + 2.0 * longestFrame) * frequency);

  FrameSink sink(options, width, height, demo->config.musicFile.str(), options.fps.Seconds(first));
  Progress progress(options.progress, due);
  ControlsShown controls;
  controls.demoEnd = demoEnd;
  // The frame rate the overlay shows is the ideal machine's, on its clock.
  FrameRateMeter meter(clock.Frequency());
  // Before the first swap the screen shows the loading picture.
  std::vector<unsigned char> shown = renderer.ReadPicture();
  int64_t g = first;
  int64_t written = 0;
  const auto writeBefore = [&](int64_t tick) {
    while (tickOf(g) < tick && (!last || g <= *last)) {
      // Named by its place in the whole capture, so segments make it up.
      sink.Write(g++, shown);
      ++written;
      progress.Update(written, options.fps.Seconds(written));
    }
  };
  writeBefore(clock.Now());
  for (;;) {
    const int64_t drawnBefore = target.framesDrawn();
    const bool going = playback.AdvanceFrame();
    const int64_t swapped = clock.Now();
    // The last picture stays on screen at the very moment the demo ends.
    writeBefore(going ? swapped : swapped + 1);
    if (!going || (last && g > *last)) break;
    if (target.framesDrawn() == drawnBefore) continue;
    meter.FrameShown(swapped);
    if (swapped + readAhead >= tickOf(g)) {
      shown = renderer.ReadPicture();
      if (options.overlay) {
        PaintOverlay(DescribePlayback(playback, controls, meter.Fps(swapped), meter.MeanFrameSeconds(swapped), ""),
                     width, height, shown);
      }
    }
  }
  progress.Update(written, options.fps.Seconds(written), true);
  sink.Finish();
}

}  // namespace stagwerk
