#include "app/capture/CaptureJobs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/loading/Demo.h"
#include "app/capture/CapturePlan.h"
#include "app/capture/CaptureProgress.h"
#include "base/LoadError.h"
#include "platform/VideoJoin.h"
#include "platform/VideoPresetArgs.h"

extern char** environ;

namespace stagwerk {

namespace {

struct Segment {
  int index = 0;  // from 1
  CaptureFrames frames;
  std::string out;
  std::string log;
  pid_t pid = -1;
};

struct Whole {
  CaptureFrames frames;
  std::string music;
};

// The frames the whole capture writes, from a load that keeps no pixels.
Whole PlanWhole(const CaptureOptions& options) {
  DemoOptions load;
  load.validationRun = true;
  load.settingsPath = options.settingsPath;
  const std::unique_ptr<Demo> demo = Demo::Load(options.configPath, load);
  CaptureOptions whole = options;
  whole.segmentCount = 1;
  return {ChooseCaptureFrames(demo->script, whole, MusicRunStart(demo->script)), demo->config.musicFile.str()};
}

// This program's command line again, with the segment's own options after
// the user's (a later option wins), before any "--".
std::vector<std::string> SegmentArguments(const CaptureOptions& options, const Segment& s, int count, bool video) {
  std::vector<std::string> args = options.arguments;
  std::vector<std::string> own = {"--capture", s.out, "--capture-jobs", "1",
                                  "--segment", std::to_string(s.index) + "/" + std::to_string(count)};
  if (video) own.push_back("--no-sound");
  const auto end = std::find(args.begin(), args.end(), "--");
  args.insert(end, own.begin(), own.end());
  return args;
}

pid_t Start(const std::vector<std::string>& args, const std::string& log) {
  std::error_code error;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe", error).string();
  std::vector<std::string> all = {self};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&files, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, self.c_str(), &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  return failed == 0 ? pid : -1;
}

// The log's lines, a progress bar's redrawn line as its last state.
std::vector<std::string> Lines(const std::string& log) {
  std::ifstream in(log);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) {
    const std::size_t cr = line.rfind('\r');
    lines.push_back(cr == std::string::npos ? line : line.substr(cr + 1));
  }
  return lines;
}

std::string Tail(const std::string& log) {
  const std::vector<std::string> lines = Lines(log);
  std::string text;
  for (std::size_t i = lines.size() > 6 ? lines.size() - 6 : 0; i < lines.size(); ++i) text += "  " + lines[i] + "\n";
  return text;
}

// Frames a running segment has written, from its last progress line
// ("capture [###...] 12/300 frames, ...").
int64_t FramesDone(const std::string& log) {
  const std::vector<std::string> lines = Lines(log);
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    const std::size_t bar = line->find("] ");
    const std::size_t slash = line->find('/', bar);
    if (line->rfind("capture [", 0) == 0 && bar != std::string::npos && slash != std::string::npos) {
      return std::atoll(line->c_str() + bar + 2);
    }
  }
  return 0;
}

// Adds a finished segment's "where the time went" to `spent`.
void AddSpent(const std::string& log, double spent[3]) {
  for (const std::string& line : Lines(log)) {
    double all = 0, d = 0, r = 0, w = 0;
    if (std::sscanf(line.c_str(), "capture: %lf s in all: drawing %lf s, read-back %lf s, waiting for the encoder %lf",
                    &all, &d, &r, &w) == 4) {
      spent[0] += d;
      spent[1] += r;
      spent[2] += w;
    }
  }
}

std::string Range(const CaptureFrames& f) {
  return "frames " + std::to_string(f.first) + " to " + std::to_string(f.last.value_or(f.first));
}

void StopAll(const std::vector<Segment>& segments) {
  for (const Segment& s : segments) {
    if (s.pid > 0) kill(s.pid, SIGTERM);
  }
}

// Waits for every segment, the progress bar over all of them; "" when all
// succeeded, else what failed first (the others are stopped then).
std::string FollowAll(std::vector<Segment>& segments, const CaptureOptions& options, int64_t total, double spent[3]) {
  CaptureProgress progress(options.progress, total);
  const int count = static_cast<int>(segments.size());
  std::string failure;
  for (int running = count; running > 0;) {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, WNOHANG);
    if (pid < 0) break;
    if (pid == 0) {
      int64_t done = 0;
      for (const Segment& s : segments) done += s.pid > 0 ? FramesDone(s.log) : s.frames.Count().value_or(0);
      progress.Update(done, options.fps.Seconds(done));
      usleep(200 * 1000);
      continue;
    }
    const auto s = std::find_if(segments.begin(), segments.end(), [&](const Segment& x) { return x.pid == pid; });
    if (s == segments.end()) continue;
    s->pid = -1;
    --running;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      AddSpent(s->log, spent);
    } else if (failure.empty()) {
      failure = "segment " + std::to_string(s->index) + " of " + std::to_string(count) + " (" + Range(s->frames) +
                ") failed; its messages, kept in " + s->log + ":\n" + Tail(s->log);
      StopAll(segments);  // the rest could only be thrown away
    }
  }
  if (failure.empty()) progress.Last(total, options.fps.Seconds(total));
  return failure;
}

std::vector<Segment> PlanSegments(const CaptureFrames& whole, int count, const CaptureOptions& options,
                                  const std::filesystem::path& work, bool video) {
  const std::string extension = std::filesystem::path(options.out).extension().string();
  std::vector<Segment> segments(static_cast<std::size_t>(count));
  for (int k = 1; k <= count; ++k) {
    Segment& s = segments[static_cast<std::size_t>(k - 1)];
    s.index = k;
    s.frames = whole;
    NarrowToSegment(s.frames, k, count);
    s.out = video ? (work / ("segment-" + std::to_string(k) + extension)).string()
                  : std::filesystem::absolute(options.out).string();
    s.log = (work / ("segment-" + std::to_string(k) + ".log")).string();
  }
  return segments;
}

}  // namespace

void RunCaptureJobs(const CaptureOptions& options) {
  const auto began = std::chrono::steady_clock::now();
  const Whole plan = PlanWhole(options);
  const CaptureFrames& whole = plan.frames;
  if (!whole.last) {
    throw LoadError("Cannot split the capture of " + options.configPath +
                    " into segments: the demo never ends; give --to");
  }
  const int64_t total = *whole.Count();
  const int count = static_cast<int>(std::min<int64_t>(options.captureJobs, std::max<int64_t>(total, 1)));
  const bool video = IsVideoPath(options.out);
  // Segments and their messages go beside the video, or into the frames'
  // folder, and are removed once joined.
  const std::filesystem::path work = video ? options.out + ".segments" : options.out + "/.segments";
  std::error_code error;
  std::filesystem::create_directories(work, error);
  if (!std::filesystem::is_directory(work)) {
    throw LoadError("Cannot write " + work.string() + ": " + (error ? error.message() : "not a folder"));
  }
  std::vector<Segment> segments = PlanSegments(whole, count, options, work, video);
  // The segments' own messages go to their logs.
  if (const std::string warning = PresetWarning(options.preset); video && !warning.empty()) {
    std::fprintf(stderr, "stagwerk: %s\n", warning.c_str());
  }
  if (options.progress) {
    *options.progress << "capture: " << Range(whole) << " in " << count << " segments, each in a process of its own\n";
  }
  // The segments' progress lines, often enough to follow.
  setenv("STAGWERK_PROGRESS_SECONDS", "0.5", 1);
  for (Segment& s : segments) {
    s.pid = Start(SegmentArguments(options, s, count, video), s.log);
    if (s.pid < 0) {
      StopAll(segments);
      throw LoadError("Cannot write " + options.out + ": could not start a process for segment " +
                      std::to_string(s.index));
    }
  }
  double spent[3] = {};
  const std::string failure = FollowAll(segments, options, total, spent);
  if (!failure.empty()) throw LoadError("Cannot write " + options.out + ": " + failure);
  const auto joining = std::chrono::steady_clock::now();
  if (video) {
    VideoOptions join;
    join.out = options.out;
    join.fps = options.fps;
    join.music = options.sound ? plan.music : "";
    join.musicStart = options.fps.Seconds(whole.first);
    join.preset = options.preset;
    join.frames = total;
    std::vector<std::string> parts;
    for (const Segment& s : segments) parts.push_back(s.out);
    JoinVideoSegments(parts, (work / "segments.txt").string(), join);
  }
  std::filesystem::remove_all(work, error);
  if (options.progress) {
    const auto now = std::chrono::steady_clock::now();
    char line[240];
    std::snprintf(line, sizeof line,
                  "capture: %.1f s in all, %d processes: drawing %.1f s, read-back %.1f s, waiting for the encoder "
                  "%.1f s (added over the processes); joining %.1f s\n",
                  std::chrono::duration<double>(now - began).count(), count, spent[0], spent[1], spent[2],
                  std::chrono::duration<double>(now - joining).count());
    *options.progress << line << std::flush;
  }
}

}  // namespace stagwerk
