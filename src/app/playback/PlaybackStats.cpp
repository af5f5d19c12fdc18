#include "app/playback/PlaybackStats.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace stagwerk {

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

PlaybackStats::PlaybackStats(int64_t frequency) : frequency_(frequency) {
  intervals_.reserve(1 << 16);  // an hour at 25 fps without growing mid-play
}

void PlaybackStats::Start(int64_t counter) {
  start_ = counter;
  cpuStart_ = ProcessCpuSeconds();
}

void PlaybackStats::FrameShown(int64_t counter) {
  if (last_ >= 0) intervals_.push_back(counter - last_);
  last_ = counter;
  ++frames_;
}

void PlaybackStats::Stop(int64_t counter) {
  stop_ = counter;
  cpuUsed_ = ProcessCpuSeconds() - cpuStart_;
}

std::vector<double> PlaybackStats::SortedIntervals() const {
  std::vector<double> seconds;
  seconds.reserve(intervals_.size());
  for (int64_t ticks : intervals_) seconds.push_back(static_cast<double>(ticks) / static_cast<double>(frequency_));
  std::sort(seconds.begin(), seconds.end());
  return seconds;
}

void PlaybackStats::Write(std::ostream& out) const {
  const double played = static_cast<double>(stop_ - start_) / static_cast<double>(frequency_);
  char line[512];
  std::snprintf(line, sizeof line, "stagwerk: %lld frames in %.2f s (%.2f fps)\n", static_cast<long long>(frames_),
                played, played > 0 ? static_cast<double>(frames_) / played : 0.0);
  out << line;
  const std::vector<double> sorted = SortedIntervals();
  if (!sorted.empty()) {
    const auto at = [&](double q) {
      return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(std::ceil(q * sorted.size())) - 1)];
    };
    std::snprintf(line, sizeof line,
                  "stagwerk: frame interval median %.2f ms, 99th percentile %.2f ms, maximum %.2f ms\n",
                  at(0.5) * 1e3, at(0.99) * 1e3, sorted.back() * 1e3);
    out << line;
  }
  std::snprintf(line, sizeof line, "stagwerk: CPU time while playing %.2f s (%.1f%% of one core)\n", cpuUsed_,
                played > 0 ? 100.0 * cpuUsed_ / played : 0.0);
  out << line;
}

}  // namespace stagwerk
