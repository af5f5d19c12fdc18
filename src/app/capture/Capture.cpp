#include "app/capture/Capture.h"

#include <algorithm>
#include <cmath>

#include "app/loading/Demo.h"
#include "app/capture/CaptureJobs.h"
#include "app/capture/CaptureLead.h"
#include "app/capture/CapturePlan.h"
#include "app/capture/CaptureProgress.h"
#include "app/capture/CaptureSink.h"
#include "app/capture/FrameAccumulator.h"
#include "app/modes/OffscreenDemo.h"
#include "app/playback/FrameDrawer.h"
#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackOverlay.h"
#include "base/LoadError.h"
#include "frame/OverlayPixels.h"
#include "platform/Clock.h"
#include "platform/MusicPlayer.h"
#include "scene/Scene.h"
#include "script/DemoScript.h"

namespace stagwerk {

namespace {

// The demo on the ideal machine (a virtual clock, drawing that takes no
// time, music that starts the instant it is run) and the frames a
// recording takes from it. Frame g is the screen at music time g / fps;
// under a shutter it is the mean of sub-frames over the open shutter, each
// the scene drawn as the player would draw that moment.
class Recorder {
 public:
  Recorder(const CaptureOptions& options, OffscreenDemo& loaded);
  void Run();

 private:
  int64_t TickAt(double musicSeconds) const {
    return runTick_ + std::llround((musicSeconds - musicRun_) * frequency_);
  }
  bool Wanted(int64_t g) const { return !last_ || g <= *last_; }
  double SubframeTime(int64_t g, int i) const {
    return options_.fps.Seconds(g) + shutter_ * ((i + 0.5) / options_.subframes - 0.5);
  }
  void ChooseFrames();
  // The picture as drawn, filtered down to the frame's size into shown_;
  // at its own size the copy is only started, and taken before shown_ is
  // next written, so the next picture is drawn meanwhile.
  void ReadShown();
  void TakeShown();
  void AddPicture();
  void Overlay(std::vector<unsigned char>& frame);
  std::optional<stagwerk::Overlay> DescribeNow();
  void Write(const std::vector<unsigned char>& frame);
  // Every frame due before `tick`, from the picture on screen.
  void WriteShownBefore(int64_t tick);
  // Every frame whose sub-frames all fall before `tick`; `drawing` says
  // whether the scene may be drawn at them (not once the demo has ended).
  void WriteSubframesBefore(int64_t tick, bool drawing);
  void DrawSubframe(int64_t tick);

  const CaptureOptions& options_;
  Demo& demo_;
  Renderer& renderer_;
  VirtualClock clock_;
  SilentMusic music_;
  FrameDrawer target_;
  PlaybackClock playback_;
  double frequency_ = 0.0;
  double musicRun_ = 0.0;
  int64_t runTick_ = 0;
  double shutter_ = 0.0;  // seconds open
  bool blending_ = false;
  int64_t first_ = 0;
  std::optional<int64_t> last_;
  std::optional<double> demoEnd_;
  int width_;
  int height_;
  int scale_;
  std::optional<CaptureSink> sink_;
  std::optional<CaptureProgress> progress_;
  FrameAccumulator accumulator_;
  ControlsShown controls_;
  FrameRateMeter meter_;
  std::vector<unsigned char> picture_;
  std::vector<unsigned char> shown_;
  std::vector<unsigned char> frame_;
  int64_t g_ = 0;     // the next frame to write
  int sub_ = 0;       // its next sub-frame
  int64_t written_ = 0;
  bool drawnYet_ = false;  // the overlay is over the frames, not the loading picture
  bool reading_ = false;   // a read of shown_ started, not yet taken
  std::optional<stagwerk::Overlay> readOverlay_;  // as it was when that read started
};

// The virtual clock reads where the last pass's pacing ended, so the next
// frame is known while this one is read back and written. Sub-frames fall
// between passes.
bool BuildsAhead(const CaptureOptions& options) {
  const bool blending = options.subframes > 1 && options.shutter > 0;
  return !blending && BuildAheadWanted(options.jobs);
}

Recorder::Recorder(const CaptureOptions& options, OffscreenDemo& loaded)
    : options_(options),
      demo_(*loaded.demo),
      renderer_(*loaded.renderer),
      music_(clock_),
      target_(*loaded.renderer, loaded.demo->aspect, BuildsAhead(options)),
      playback_(loaded.demo->script, clock_, music_, target_),
      shutter_(options.shutter / 360.0 / options.fps.PerSecond()),
      blending_(options.subframes > 1 && options.shutter > 0),
      width_(loaded.width),
      height_(loaded.height),
      scale_(loaded.drawWidth / loaded.width),
      accumulator_(loaded.width, loaded.height, loaded.drawWidth / loaded.width),
      meter_(clock_.Frequency()) {
  demo_.sync.rowsPerSecond = options.syncRows;
  target_.UseSync(SyncFeed::Saved(demo_.sync));
}

void Recorder::ChooseFrames() {
  frequency_ = static_cast<double>(clock_.Frequency());
  // The music ran from where it was sought (or its beginning), a moment
  // before the scene clock started.
  musicRun_ = static_cast<double>(music_.lastSeek()) * 1e-7 * (music_.seekCount() > 0 ? 1 : 0);
  const double musicNow = static_cast<double>(music_.Position()) * 1e-7;
  runTick_ = clock_.Now() - std::llround((musicNow - musicRun_) * frequency_);
  const CaptureFrames frames = ChooseCaptureFrames(demo_.script, options_, musicRun_);
  first_ = frames.first;
  last_ = frames.last;
  demoEnd_ = frames.demoEnd;
  g_ = first_;
}

void Recorder::AddPicture() {
  StageTimer timer(*progress_, CaptureProgress::kReadBack);
  picture_ = renderer_.ReadPicture();
  accumulator_.Add(picture_);
}

void Recorder::ReadShown() {
  if (scale_ == 1) {
    StageTimer timer(*progress_, CaptureProgress::kReadBack);
    renderer_.StartReadPicture();
    reading_ = true;
    readOverlay_ = DescribeNow();
    return;
  }
  AddPicture();
  accumulator_.TakeMean(shown_);
  Overlay(shown_);
}

void Recorder::TakeShown() {
  if (!reading_) return;
  reading_ = false;
  {
    StageTimer timer(*progress_, CaptureProgress::kReadBack);
    shown_ = renderer_.TakePicture();
  }
  if (readOverlay_) PaintOverlay(*readOverlay_, width_, height_, shown_);
}

std::optional<stagwerk::Overlay> Recorder::DescribeNow() {
  if (!options_.overlay || !drawnYet_) return std::nullopt;
  const int64_t now = clock_.Now();
  return DescribePlayback(playback_, controls_, meter_.Fps(now), meter_.MeanFrameSeconds(now), "");
}

void Recorder::Overlay(std::vector<unsigned char>& frame) {
  if (const auto overlay = DescribeNow()) PaintOverlay(*overlay, width_, height_, frame);
}

void Recorder::Write(const std::vector<unsigned char>& frame) {
  {
    StageTimer timer(*progress_, CaptureProgress::kEncoding);
    // Named by its place in the whole capture, so segments make it up.
    sink_->Write(g_++, frame);
  }
  ++written_;
  progress_->Update(written_, options_.fps.Seconds(written_));
}

void Recorder::WriteShownBefore(int64_t tick) {
  TakeShown();
  while (TickAt(options_.fps.Seconds(g_)) < tick && Wanted(g_)) Write(shown_);
}

void Recorder::DrawSubframe(int64_t tick) {
  const ScriptEntry& entry = *playback_.currentEntry();
  const float sceneTime = playback_.SceneTimeAt(tick);
  // A blurred camera's trail is the player's, so the moment drawn between
  // its frames must not stay in it.
  const bool trail = entry.camera->blurLength != nullptr;
  if (trail) renderer_.KeepPicture();
  {
    StageTimer timer(*progress_, CaptureProgress::kDrawing);
    target_.RenderFrame(*entry.scene, sceneTime, *entry.camera, EntryMusicTime(entry, sceneTime));
  }
  AddPicture();
  if (trail) renderer_.RestorePicture();
}

void Recorder::WriteSubframesBefore(int64_t tick, bool drawing) {
  while (Wanted(g_)) {
    const int64_t at = TickAt(SubframeTime(g_, sub_));
    if (at >= tick) return;
    const ScriptEntry* entry = playback_.currentEntry();
    const float sceneTime = playback_.SceneTimeAt(at);
    if (drawing && sceneTime >= entry->sceneStart && sceneTime < entry->sceneEnd) {
      DrawSubframe(at);
    } else {
      AddPicture();  // before the first frame or after the last: what is on screen
    }
    if (++sub_ < options_.subframes) continue;
    sub_ = 0;
    accumulator_.TakeMean(frame_);
    Overlay(frame_);
    Write(frame_);
  }
}

void Recorder::Run() {
  playback_.StartPlayback();
  ChooseFrames();
  std::optional<int64_t> due;
  if (last_) due = std::max<int64_t>(0, *last_ - first_ + 1);
  if (due == 0) {
    // A share of fewer frames than segments, or a range the demo never reaches.
    if (options_.progress) *options_.progress << "capture: no frames in the range asked for; nothing written\n";
    return;
  }
  sink_.emplace(options_, width_, height_, demo_.config.musicFile.str(), options_.fps.Seconds(first_), due);
  progress_.emplace(options_.progress, due);
  controls_.demoEnd = demoEnd_;
  // Only the blur trails that the first frames show are drawn before them;
  // up to there the clock runs and frames are built, not drawn.
  const int64_t drawFrom = CaptureDrawFrom(demo_.script, TickAt(options_.fps.Seconds(first_) - shutter_ / 2));
  // A picture is read back only near the frames written: no pass lasts
  // longer than a second plus the slowest scene's two frames.
  double longestFrame = 0.0;
  for (const ScriptEntry& entry : demo_.script.entries) {
    longestFrame = std::max<double>(longestFrame, entry.scene->frameDuration);
  }
  const int64_t readAhead = std::llround((1.0 + 2.0 * longestFrame) * frequency_);

  // Before the first swap the screen shows the loading picture.
  if (!blending_) ReadShown();
  const auto writeBefore = [&](int64_t tick, bool drawing) {
    if (blending_) {
      WriteSubframesBefore(tick, drawing);
    } else {
      WriteShownBefore(tick);
    }
  };
  writeBefore(clock_.Now(), false);
  for (;;) {
    target_.SetDrawing(clock_.Now() >= drawFrom);
    const int64_t drawnBefore = target_.framesDrawn();
    bool going = false;
    {
      StageTimer timer(*progress_, CaptureProgress::kDrawing);
      going = playback_.AdvanceFrame();
    }
    const int64_t swapped = clock_.Now();
    // The picture drawn in a pass is on screen from its end. The last one
    // stays there at the very moment the demo ends.
    writeBefore(going ? swapped : swapped + 1, going);
    if (!going || !Wanted(g_)) break;
    if (target_.framesDrawn() == drawnBefore) continue;
    meter_.FrameShown(swapped);
    drawnYet_ = true;
    if (!blending_ && swapped + readAhead >= TickAt(options_.fps.Seconds(g_))) ReadShown();
  }
  // The last frame's later sub-frames fall after the demo's end, where no
  // pass reaches them: without this the frame is never written and the
  // recording is a frame short. They take the picture left on screen.
  if (blending_ && last_) WriteSubframesBefore(TickAt(SubframeTime(*last_, options_.subframes - 1)) + 1, false);
  progress_->Finish(written_, options_.fps.Seconds(written_), target_.buildAhead().hits());
  sink_->Finish();
}

}  // namespace

void RunCapture(const CaptureOptions& options) {
  if (options.captureJobs > 1) {
    RunCaptureJobs(options);
    return;
  }
  OffscreenDemo loaded(options.configPath, options.settingsPath, options.width, options.height, options.jobs,
                       options.renderer, std::clamp(options.supersample, 1, 4));
  Recorder recorder(options, loaded);
  recorder.Run();
}

}  // namespace stagwerk
