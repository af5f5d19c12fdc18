#include "app/capture/CaptureJobs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/loading/Demo.h"
#include "app/capture/CapturePlan.h"
#include "base/LoadError.h"
#include "platform/VideoJoin.h"

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

std::string Tail(const std::string& log) {
  std::ifstream in(log);
  std::string line, last;
  std::vector<std::string> lines;
  while (std::getline(in, line)) {
    // A progress bar's redrawn line keeps only its last state.
    const std::size_t cr = line.rfind('\r');
    lines.push_back(cr == std::string::npos ? line : line.substr(cr + 1));
  }
  std::string text;
  for (std::size_t i = lines.size() > 6 ? lines.size() - 6 : 0; i < lines.size(); ++i) text += "  " + lines[i] + "\n";
  return text;
}

std::string Range(const CaptureFrames& f) {
  return "frames " + std::to_string(f.first) + " to " + std::to_string(f.last.value_or(f.first));
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
  std::ostream* say = options.progress;
  if (say) *say << "capture: " << Range(whole) << " in " << count << " segments, each in a process of its own\n";
  for (Segment& s : segments) {
    s.pid = Start(SegmentArguments(options, s, count, video), s.log);
    if (s.pid < 0) {
      for (const Segment& other : segments) {
        if (other.pid > 0) kill(other.pid, SIGTERM);
      }
      throw LoadError("Cannot write " + options.out + ": could not start a process for segment " +
                      std::to_string(s.index));
    }
  }
  std::string failure;
  for (int left = count; left > 0; --left) {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, 0);
    if (pid < 0) break;
    const auto s = std::find_if(segments.begin(), segments.end(), [&](const Segment& x) { return x.pid == pid; });
    if (s == segments.end()) {
      ++left;
      continue;
    }
    s->pid = -1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      if (say) {
        char line[160];
        std::snprintf(line, sizeof line, "capture: segment %d of %d (%s) done after %.1f s\n", s->index, count,
                      Range(s->frames).c_str(), seconds);
        *say << line;
      }
      continue;
    }
    if (failure.empty()) {
      failure = "Cannot write " + options.out + ": segment " + std::to_string(s->index) + " of " +
                std::to_string(count) + " (" + Range(s->frames) + ") failed; its messages, kept in " + s->log +
                ":\n" + Tail(s->log);
      // The rest could only be thrown away.
      for (const Segment& other : segments) {
        if (other.pid > 0) kill(other.pid, SIGTERM);
      }
    }
  }
  if (!failure.empty()) throw LoadError(failure);
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
  if (say) {
    char line[120];
    std::snprintf(line, sizeof line, "capture: %lld frames in %.1f s\n", static_cast<long long>(total),
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
    *say << line;
  }
}

}  // namespace stagwerk
