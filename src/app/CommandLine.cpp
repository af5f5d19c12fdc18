#include "app/CommandLine.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace stagwerk {

namespace {

const char kUsage[] =
    "Usage: stagwerk [options] [CONFIG]\n"
    "Plays the demo that the configuration file CONFIG describes\n"
    "(default: defaultdemoconfig.txt in the working directory).\n"
    "\n"
    "Options:\n"
    "  -h, --help      show this help and exit\n"
    "      --version   show the version and exit\n";

}  // namespace

int RunCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("stagwerk %s\n", STAGWERK_VERSION);
      return 0;
    }
  }
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace stagwerk
