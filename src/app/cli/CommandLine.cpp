#include "app/cli/CommandLine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/FrameRate.h"
#include "base/LoadError.h"
#include "app/cli/ArgumentText.h"
#include "app/cli/CaptureArguments.h"
#include "app/capture/Capture.h"
#include "app/loading/Demo.h"
#include "app/modes/DemoReport.h"
#include "app/loading/InstalledDemo.h"
#include "app/modes/Player.h"
#include "app/loading/SceneHint.h"
#include "app/modes/StillRender.h"
#include "app/modes/Timedemo.h"
#include "platform/GlContext.h"

namespace stagwerk {

namespace {

const char kUsage[] =
    "Usage: stagwerk [options] [CONFIG]\n"
    "Plays the demo that the configuration file CONFIG describes\n"
    "(default: defaultdemoconfig.txt in the working directory; when there is\n"
    "none, the installed demo, stagwerk/demo/defaultdemoconfig.txt under\n"
    "$XDG_DATA_HOME or a folder of $XDG_DATA_DIRS).\n"
    "Escape or closing the window ends it.\n"
    "\n"
    "Keys while playing:\n"
    "  Space             pause and resume (the music too)\n"
    "  Left, Right       seek 1 s back or forward; with Shift, 10 s\n"
    "  PageUp, PageDown  the start of the previous or next script entry\n"
    "  Home              the start of the demo\n"
    "  [  ]  Backspace   half or double speed (1/8x to 4x), back to 1x;\n"
    "                    the music is silent at other speeds than 1x\n"
    "  L                 set the loop's in point, then its out point, then clear\n"
    "  ,  .              while paused, one frame of the scene back or forward\n"
    "  M                 set a marker at the music time, or remove the one there\n"
    "                    (kept in markers.txt beside the demo script)\n"
    "  Ctrl+Left, Ctrl+Right  the previous or next marker\n"
    "  F, Alt+Enter      window or full screen\n"
    "  Tab               show or hide the overlay (click or drag its bar to seek)\n"
    "\n"
    "Playing:\n"
    "      --start SECONDS  start at this music time, in the entry and scene\n"
    "                    time the demo would have reached by then\n"
    "      --watch       watch the demo's files (configuration, script, scenes,\n"
    "                    meshes, textures, music) and load the demo again when one\n"
    "                    is saved, going on at the same music time; a file that\n"
    "                    fails to load keeps the old content and is reported\n"
    "      --hold        at the demo's end, hold the last picture (paused)\n"
    "                    instead of ending; Escape still ends\n"
    "      --sync [HOST:]PORT  follow a sync editor (GNU Rocket protocol; default\n"
    "                    127.0.0.1:1338) for the tracks sync.txt beside the\n"
    "                    script lists: its seeks, pauses and key edits show at\n"
    "                    once, K keys the camera, and its save (or leaving while\n"
    "                    it is there) writes them to sync/ beside the script\n"
    "      --stats       at exit, print frames drawn, the frame rate, frame\n"
    "                    intervals (median, 99th percentile, maximum) and the\n"
    "                    CPU time used while playing\n"
    "\n"
    "Recording, with no window and no sound device:\n"
    "      --capture OUT  write what the screen would show: PNG files\n"
    "                    OUT/frame-000000.png ..., a video when OUT ends in\n"
    "                    .mp4, .mkv or .webm (needs ffmpeg; the music is muxed in,\n"
    "                    as long as the pictures), or raw RGB frames on standard\n"
    "                    output when OUT is -\n"
    "      --fps RATE    frames per second of the recording: N, N/D (60000/1001)\n"
    "                    or a decimal (29.97); default 30. Frame k shows music\n"
    "                    time k / RATE, and a video carries the rate exactly\n"
    "      --from SECONDS, --to SECONDS  the music times to record (default:\n"
    "                    from the start until the demo ends)\n"
    "      --size WxH    picture size (default: the display settings), up to\n"
    "                    what the GL draws, whatever the screen\n"
    "      --supersample N  draw at N times the size (1 to 4) and average each\n"
    "                    N x N block (a box filter)\n"
    "      --shutter DEGREES  motion blur: each frame the mean of sub-frames spread\n"
    "                    over this much of a frame's time (0 to 360), centred on it\n"
    "      --subframes N  sub-frames a shutter averages (1 to 256; default 8)\n"
    "      --preset web|youtube|archive  web: H.264 High 4:2:0, closed GOP of half\n"
    "                    a second, 2 B-frames, CRF 18, index in front, AAC-LC\n"
    "                    48 kHz 320 kb/s (.mp4); archive: lossless FFV1 and FLAC\n"
    "                    (.mkv); default: ffmpeg's H.264 at its own settings\n"
    "      --no-sound    a video without the music\n"
    "      --segment K/N  only the K-th of N equal shares of the frames, for\n"
    "                    spreading one capture over machines\n"
    "      --capture-jobs N  record N segments side by side, each in a process of\n"
    "                    its own, and join them (a video without encoding again)\n"
    "      --overlay     draw the overlay (Tab while playing) into every frame\n"
    "\n"
    "Stills:\n"
    "      --render SCENE  draw scene SCENE (named as in the script) at the\n"
    "                    scene time --at into the PNG file --out\n"
    "      --at SECONDS  the scene time to draw\n"
    "      --camera N    the scene's camera N (default 1)\n"
    "      --out FILE    the PNG file to write\n"
    "\n"
    "Benchmark, with no sound:\n"
    "      --timedemo    draw every frame of the demo as a recording steps\n"
    "                    through it, as fast as possible, then print the frames,\n"
    "                    the time, frames per second, frame time (median, 99th\n"
    "                    percentile, maximum) and the slowest script entry\n"
    "\n"
    "Checking:\n"
    "      --check       load the whole demo without opening a window, print\n"
    "                    one line per scene as it loads and then a summary\n"
    "      --dump        load the demo and print it as JSON on stdout; with\n"
    "                    --at SECONDS (repeatable) also each item's placement,\n"
    "                    the cameras' field of view and far plane, light\n"
    "                    colours and dissolves at that scene time\n"
    "\n"
    "Sync tracks (saved under sync/ beside the script; every mode plays them):\n"
    "      --sync-rows N  rows per second of music (default 8: 120 BPM at 4 rows\n"
    "                    a beat; triplets: 6 rows a beat is 12)\n"
    "\n"
    "Loading:\n"
    "      --jobs N      decode textures on N threads while scenes load\n"
    "                    (default: one per core; 1 loads on one thread, and\n"
    "                    captures and timedemo build their frames in line)\n"
    "\n"
    "Drawing:\n"
    "      --renderer fixed|shader  the fixed-function GL back end (default), or\n"
    "                    the GLSL one on an OpenGL 3.3 core context\n"
    "\n"
    "  -h, --help        show this help and exit\n"
    "      --version     show the version and exit\n"
    "\n"
    "Exit status: 0 when the demo ended, or Escape or closing the window ended\n"
    "it, or the other modes succeeded; 1 after a loading failure or when no\n"
    "window could be opened; 2 for a mistake on the command line.\n"
    "\n"
    "Display settings are kept in\n"
    "${XDG_CONFIG_HOME:-$HOME/.config}/Brelinth/Stagwerk/Ombrisalte.conf;\n"
    "once there they win over the configuration file. Only playing writes\n"
    "them; the other modes read them.\n";

int Usage(const std::string& problem) {
  std::cerr << "stagwerk: " << problem << "\n" << "Try 'stagwerk --help'.\n";
  return 2;
}

int LoadingError(const std::string& text) {
  std::cerr << "Loading Error: " << text << "\n";
  if (const std::string hint = SceneHint(text); !hint.empty()) std::cerr << hint << "\n";
  return 1;
}

// Runs a mode that loads with a GL context, reporting failures alike.
template <typename Run>
int WithLoadingErrors(Run run) {
  try {
    run();
  } catch (const GlContextError& error) {
    std::cerr << "Loading Error: " << error.what() << "\n" << "stagwerk: " << error.reason << "\n";
    return 1;
  } catch (const LoadError& error) {
    return LoadingError(error.what());
  } catch (const std::bad_alloc&) {
    return LoadingError("Out of memory");
  }
  return 0;
}

struct Arguments {
  bool check = false, dump = false, stats = false, timedemo = false, watch = false, hold = false;
  std::vector<float> times;
  std::optional<std::string> render, capture, out;
  std::optional<float> start;
  CaptureArguments recording;
  std::optional<int> camera, jobs;
  std::optional<RocketAddress> sync;
  double syncRows = kDefaultSyncRowsPerSecond;
  RendererKind renderer = RendererKind::FixedFunction;
  int width = 0, height = 0;
  std::string configPath = kDefaultConfigFile;
  bool haveConfig = false;
};

// Fills args, or returns the problem.
std::optional<std::string> Parse(int argc, char** argv, Arguments& a, bool* help, bool* version) {
  bool optionsDone = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool option = !optionsDone && arg.size() > 1 && arg[0] == '-';
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    const auto seconds = [&](std::optional<float>& into) -> bool {
      const auto text = value();
      float t = 0;
      if (!text || !ParseSeconds(*text, &t)) return false;
      into = t;
      return true;
    };
    std::string problem;
    if (option && ParseCaptureOption(arg, value, a.recording, &problem)) {
      if (!problem.empty()) return problem;
    } else if (!option) {
      if (a.haveConfig) return "more than one configuration file given";
      a.configPath = arg;
      a.haveConfig = true;
    } else if (arg == "--") {
      optionsDone = true;
    } else if (arg == "-h" || arg == "--help") {
      *help = true;
    } else if (arg == "--version") {
      *version = true;
    } else if (arg == "--check") {
      a.check = true;
    } else if (arg == "--dump") {
      a.dump = true;
    } else if (arg == "--watch") {
      a.watch = true;
    } else if (arg == "--hold") {
      a.hold = true;
    } else if (arg == "--timedemo") {
      a.timedemo = true;
    } else if (arg == "--stats") {
      a.stats = true;
    } else if (arg == "--at") {
      std::optional<float> t;
      if (!seconds(t)) return "--at needs a time in seconds";
      a.times.push_back(*t);
    } else if (arg == "--start") {
      if (!seconds(a.start) || *a.start < 0) return "--start needs a music time in seconds";
    } else if (arg == "--render" || arg == "--capture" || arg == "--out") {
      const auto text = value();
      if (!text || text->empty()) return arg + (arg == "--render" ? " needs a scene name" : " needs a file name");
      (arg == "--render" ? a.render : arg == "--capture" ? a.capture : a.out) = *text;
    } else if (arg == "--camera") {
      const auto text = value();
      int n = 0;
      if (!text || !ParseCount(*text, 1, 65535, &n)) return "--camera needs a camera number from 1";
      a.camera = n;
    } else if (arg == "--jobs") {
      const auto text = value();
      int n = 0;
      if (!text || !ParseCount(*text, 1, 256, &n)) return "--jobs needs a thread count from 1 to 256";
      a.jobs = n;
    } else if (arg == "--sync") {
      // The address is optional: taken only when the next word is one.
      a.sync = RocketAddress{};
      if (i + 1 < argc) {
        if (const auto address = ParseRocketAddress(argv[i + 1])) {
          a.sync = *address;
          ++i;
        }
      }
    } else if (arg == "--sync-rows") {
      const auto text = value();
      char* end = nullptr;
      const double rows = text ? std::strtod(text->c_str(), &end) : 0.0;
      if (!text || text->empty() || *end != '\0' || !(rows > 0.0 && rows <= 10000.0)) {
        return "--sync-rows needs rows per second, above 0 and up to 10000";
      }
      a.syncRows = rows;
    } else if (arg == "--renderer") {
      const auto text = value();
      const auto kind = text ? ParseRendererKind(*text) : std::nullopt;
      if (!kind) return "--renderer needs fixed or shader";
      a.renderer = *kind;
    } else if (arg == "--size") {
      const auto text = value();
      if (!text || !ParseSize(*text, &a.width, &a.height)) return "--size needs WIDTHxHEIGHT, for example 640x480";
    } else {
      return "unknown option " + arg;
    }
  }
  const int modes = (a.check || a.dump) + a.render.has_value() + a.capture.has_value() + a.timedemo;
  if (modes > 1 && !(a.check && a.dump && modes == 2)) return "choose one of --check/--dump, --render, --capture and --timedemo";
  if (a.render) {
    if (a.times.size() != 1) return "--render needs one --at SECONDS";
    if (!a.out) return "--render needs --out FILE.png";
  } else if (a.camera || a.out) {
    return "--camera and --out go with --render";
  }
  if (!a.times.empty() && !a.dump && !a.render) return "--at goes with --dump or --render";
  if (a.width > 0 && !a.render && !a.capture) return "--size goes with --render or --capture";
  if (a.recording.any() && !a.capture) return "--fps, --from, --to, --overlay and the other recording options go with --capture";
  if (a.capture) {
    if (auto wrong = CheckCaptureArguments(a.recording, *a.capture)) return wrong;
  }
  if ((a.start || a.stats || a.watch || a.hold || a.sync) && modes > 0) {
    return "--start, --stats, --watch, --hold and --sync go with playing";
  }
  return std::nullopt;
}

int Validate(const Arguments& a) {
  DemoOptions options;
  options.validationRun = true;
  options.jobs = static_cast<unsigned>(a.jobs.value_or(0));
  if (a.check) options.onSceneLoad = [](const std::string& name) { std::cout << "Loading scene " << name << std::endl; };
  std::unique_ptr<Demo> demo;
  try {
    demo = Demo::Load(a.configPath, options);
  } catch (const LoadError& error) {
    return LoadingError(error.what());
  } catch (const std::bad_alloc&) {
    return LoadingError("Out of memory");
  }
  if (a.dump) {
    std::cout << DumpDemo(*demo, a.times).dump(2) << "\n";
  } else {
    WriteDemoSummary(std::cout, *demo);
    std::cout << "Demo loads without errors.\n";
  }
  return 0;
}

// With no CONFIG and none in the working folder, the installed demo. Its
// paths are relative to its own folder, so the run moves there; files named
// on the command line keep meaning what they meant where the user stood.
// False when the move fails (said on stderr).
bool UseInstalledDemo(Arguments& a) {
  std::error_code error;
  if (a.haveConfig || std::filesystem::exists(kDefaultConfigFile, error)) return true;
  const std::optional<std::filesystem::path> config = FindInstalledDemo();
  if (!config) return true;  // the load says the file is missing, as it always has
  for (std::optional<std::string>* path : {&a.out, &a.capture}) {
    if (*path && **path != "-") **path = std::filesystem::absolute(**path, error).string();
  }
  std::filesystem::current_path(config->parent_path(), error);
  if (error) {
    std::cerr << "stagwerk: cannot enter the installed demo's folder " << config->parent_path().string() << ": "
              << error.message() << "\n";
    return false;
  }
  std::cerr << "stagwerk: no " << kDefaultConfigFile << " in the working folder; using the installed demo "
            << config->string() << "\n";
  return true;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
  Arguments a;
  bool help = false, version = false;
  const std::optional<std::string> problem = Parse(argc, argv, a, &help, &version);
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (version) {
    std::printf("stagwerk %s\n", STAGWERK_VERSION);
    return 0;
  }
  if (problem) return Usage(*problem);
  if (!UseInstalledDemo(a)) return 1;

  if (a.check || a.dump) return Validate(a);
  if (a.render) {
    StillOptions still;
    still.configPath = a.configPath;
    still.scene = *a.render;
    still.seconds = a.times.front();
    still.camera = a.camera.value_or(1);
    still.width = a.width;
    still.height = a.height;
    still.out = *a.out;
    still.jobs = static_cast<unsigned>(a.jobs.value_or(0));
    still.renderer = a.renderer;
    still.syncRows = a.syncRows;
    return WithLoadingErrors([&] { RenderStill(still); });
  }
  if (a.timedemo) {
    TimedemoOptions timedemo;
    timedemo.configPath = a.configPath;
    timedemo.progress = &std::cerr;
    timedemo.renderer = a.renderer;
    timedemo.syncRows = a.syncRows;
    timedemo.jobs = static_cast<unsigned>(a.jobs.value_or(0));
    return WithLoadingErrors([&] { WriteTimedemo(std::cout, RunTimedemo(timedemo)); });
  }
  if (a.capture) {
    CaptureOptions capture;
    capture.configPath = a.configPath;
    capture.out = *a.capture;
    ApplyCaptureArguments(a.recording, capture);
    capture.width = a.width;
    capture.height = a.height;
    capture.progress = &std::cerr;
    capture.jobs = static_cast<unsigned>(a.jobs.value_or(0));
    capture.renderer = a.renderer;
    capture.syncRows = a.syncRows;
    capture.arguments.assign(argv + 1, argv + argc);
    return WithLoadingErrors([&] { RunCapture(capture); });
  }
  PlayerOptions player;
  player.configPath = a.configPath;
  if (a.start) player.start = *a.start;
  player.stats = a.stats;
  player.watch = a.watch;
  player.hold = a.hold;
  player.sync = a.sync;
  player.syncRows = a.syncRows;
  player.jobs = static_cast<unsigned>(a.jobs.value_or(0));
  player.renderer = a.renderer;
  return RunPlayer(player);
}

}  // namespace stagwerk
