#pragma once
// A capture's progress bar: frames, speed against real time, the time left,
// and at the end where the time went.
#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>

namespace stagwerk {

class CaptureProgress {
 public:
  enum Stage { kDrawing, kReadBack, kEncoding, kStages };

  // `due`: the frames to write, when known. `out` null: silent.
  CaptureProgress(std::ostream* out, std::optional<int64_t> due);

  // Redrawn at most four times a second on a terminal, every ten seconds
  // in a log, or every STAGWERK_PROGRESS_SECONDS when that is set (how
  // --capture-jobs follows its processes).
  void Update(int64_t done, double musicSeconds);
  // The last line, then where the time went.
  void Finish(int64_t done, double musicSeconds, int64_t builtAhead);
  // The last line alone.
  void Last(int64_t done, double musicSeconds) { Show(done, musicSeconds, true); }
  // Wall time spent in a stage; encoding is the time spent waiting for the
  // encoder to take frames.
  void Spent(Stage stage, double seconds) { spent_[stage] += seconds; }

 private:
  void Show(int64_t done, double musicSeconds, bool last);

  std::ostream* out_;
  std::optional<int64_t> due_;
  bool tty_;
  double every_;
  std::chrono::steady_clock::time_point begin_ = std::chrono::steady_clock::now();
  double shown_ = -1e9;
  double spent_[kStages] = {};
};

// Adds the wall time of its scope to a stage.
class StageTimer {
 public:
  StageTimer(CaptureProgress& progress, CaptureProgress::Stage stage) : progress_(progress), stage_(stage) {}
  ~StageTimer() {
    progress_.Spent(stage_, std::chrono::duration<double>(std::chrono::steady_clock::now() - begin_).count());
  }
  StageTimer(const StageTimer&) = delete;
  StageTimer& operator=(const StageTimer&) = delete;

 private:
  CaptureProgress& progress_;
  CaptureProgress::Stage stage_;
  std::chrono::steady_clock::time_point begin_ = std::chrono::steady_clock::now();
};

}  // namespace stagwerk
