#include "app/capture/CaptureProgress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace stagwerk {

namespace {

double Interval(bool tty) {
  const char* asked = std::getenv("STAGWERK_PROGRESS_SECONDS");
  const double seconds = asked ? std::atof(asked) : 0.0;
  // On a terminal the bar is redrawn in place; in a log, a line now and then.
  return seconds > 0 ? seconds : tty ? 0.25 : 10.0;
}

}  // namespace

CaptureProgress::CaptureProgress(std::ostream* out, std::optional<int64_t> due)
    : out_(out), due_(due), tty_(isatty(STDERR_FILENO) != 0), every_(Interval(tty_)) {}

void CaptureProgress::Update(int64_t done, double musicSeconds) { Show(done, musicSeconds, false); }

void CaptureProgress::Finish(int64_t done, double musicSeconds, int64_t builtAhead) {
  Show(done, musicSeconds, true);
  if (out_ == nullptr) return;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin_).count();
  char line[240];
  std::snprintf(line, sizeof line,
                "capture: %.1f s in all: drawing %.1f s (%lld frames built ahead, beside it), read-back %.1f s, "
                "waiting for the encoder %.1f s\n",
                wall, spent_[kDrawing], static_cast<long long>(builtAhead), spent_[kReadBack], spent_[kEncoding]);
  *out_ << line << std::flush;
}

void CaptureProgress::Show(int64_t done, double musicSeconds, bool last) {
  if (out_ == nullptr) return;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin_).count();
  if (!last && wall - shown_ < every_) return;
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

}  // namespace stagwerk
