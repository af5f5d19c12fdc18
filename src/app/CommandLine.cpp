#include "app/CommandLine.h"

#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "anim/LoadError.h"
#include "app/Demo.h"
#include "app/DemoReport.h"
#include "app/StillRender.h"
#include "platform/GlContext.h"

namespace stagwerk {

namespace {

const char kUsage[] =
    "Usage: stagwerk [options] [CONFIG]\n"
    "Plays the demo that the configuration file CONFIG describes\n"
    "(default: defaultdemoconfig.txt in the working directory).\n"
    "\n"
    "Options:\n"
    "      --check       load the whole demo without opening a window, print\n"
    "                    one line per scene as it loads and then a summary;\n"
    "                    exit status 1 if anything fails to load\n"
    "      --dump        load the demo and print it as JSON on stdout\n"
    "      --at SECONDS  with --dump: also give each item's placement, the\n"
    "                    camera's field of view and far plane, light colours\n"
    "                    and dissolves at this scene time (repeatable);\n"
    "                    with --render: the scene time to draw\n"
    "      --render SCENE  draw scene SCENE (named as in the script) at the\n"
    "                    time --at into the PNG file --out; needs no display\n"
    "      --camera N    with --render: the scene's camera N (default 1)\n"
    "      --size WxH    with --render: the picture size (default: the\n"
    "                    display settings)\n"
    "      --out FILE    with --render: the PNG file to write\n"
    "  -h, --help        show this help and exit\n"
    "      --version     show the version and exit\n"
    "\n"
    "Display settings are kept in\n"
    "${XDG_CONFIG_HOME:-$HOME/.config}/Brelinth/Stagwerk/Ombrisalte.conf;\n"
    "once there they win over the configuration file. Validation runs\n"
    "(--check, --dump) read them but never write them.\n";

int Usage(const std::string& problem) {
  std::cerr << "stagwerk: " << problem << "\n" << "Try 'stagwerk --help'.\n";
  return 2;
}

int LoadingError(const std::string& text) {
  std::cerr << "Loading Error: " << text << "\n";
  return 1;
}

bool ParseSize(const std::string& text, int* width, int* height) {
  char* end = nullptr;
  const long w = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || (*end != 'x' && *end != 'X')) return false;
  const char* rest = end + 1;
  const long h = std::strtol(rest, &end, 10);
  if (end == rest || *end != '\0' || w < 1 || h < 1 || w > 16384 || h > 16384) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

bool ParseSeconds(const std::string& text, float* out) {
  char* end = nullptr;
  const float value = std::strtof(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value)) return false;
  *out = value;
  return true;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
  bool check = false;
  bool dump = false;
  bool render = false;
  bool haveCamera = false;
  bool haveSize = false;
  StillOptions still;
  std::vector<float> times;
  std::string configPath;
  bool haveConfig = false;
  bool optionsDone = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsDone && arg == "--") {
      optionsDone = true;
    } else if (!optionsDone && (arg == "-h" || arg == "--help")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!optionsDone && arg == "--version") {
      std::printf("stagwerk %s\n", STAGWERK_VERSION);
      return 0;
    } else if (!optionsDone && arg == "--check") {
      check = true;
    } else if (!optionsDone && arg == "--dump") {
      dump = true;
    } else if (!optionsDone && arg == "--at") {
      float t = 0.0f;
      if (i + 1 >= argc || !ParseSeconds(argv[i + 1], &t)) return Usage("--at needs a time in seconds");
      times.push_back(t);
      ++i;
    } else if (!optionsDone && arg == "--render") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') return Usage("--render needs a scene name");
      render = true;
      still.scene = argv[++i];
    } else if (!optionsDone && arg == "--camera") {
      char* end = nullptr;
      const long n = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : 0;
      if (i + 1 >= argc || *end != '\0' || n < 1 || n > 65535) return Usage("--camera needs a camera number from 1");
      still.camera = static_cast<int>(n);
      haveCamera = true;
      ++i;
    } else if (!optionsDone && arg == "--size") {
      if (i + 1 >= argc || !ParseSize(argv[i + 1], &still.width, &still.height)) {
        return Usage("--size needs WIDTHxHEIGHT, for example 640x480");
      }
      haveSize = true;
      ++i;
    } else if (!optionsDone && arg == "--out") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') return Usage("--out needs a file name");
      still.out = argv[++i];
    } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (haveConfig) {
      return Usage("more than one configuration file given");
    } else {
      configPath = arg;
      haveConfig = true;
    }
  }
  if (render) {
    if (check || dump) return Usage("--render goes with neither --check nor --dump");
    if (times.size() != 1) return Usage("--render needs one --at SECONDS");
    if (still.out.empty()) return Usage("--render needs --out FILE.png");
  } else if (haveCamera || haveSize || !still.out.empty()) {
    return Usage("--camera, --size and --out go with --render");
  }
  if (!times.empty() && !dump && !render) return Usage("--at needs --dump or --render");
  if (!haveConfig) configPath = kDefaultConfigFile;

  if (render) {
    still.configPath = configPath;
    still.seconds = times.front();
    try {
      RenderStill(still);
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

  DemoOptions options;
  options.validationRun = check || dump;
  if (check) options.onSceneLoad = [](const std::string& name) { std::cout << "Loading scene " << name << std::endl; };
  std::unique_ptr<Demo> demo;
  try {
    demo = Demo::Load(configPath, options);
  } catch (const LoadError& error) {
    return LoadingError(error.what());
  } catch (const std::bad_alloc&) {
    return LoadingError("Out of memory");
  }

  if (dump) {
    std::cout << DumpDemo(*demo, times).dump(2) << "\n";
    return 0;
  }
  if (check) {
    WriteDemoSummary(std::cout, *demo);
    std::cout << "Demo loads without errors.\n";
    return 0;
  }
  std::cerr << "stagwerk: the demo loads, but this build has no OpenGL player yet; "
               "use --check or --dump to inspect it.\n";
  return 3;
}

}  // namespace stagwerk
