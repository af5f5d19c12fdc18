#include "platform/FfmpegCommand.h"

#include <sys/wait.h>

#include <cstdlib>

#include "base/LoadError.h"

namespace stagwerk {

std::string ShellQuoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

void RequireFfmpeg(const std::string& out) {
  if (RunCommand("command -v ffmpeg >/dev/null 2>&1")) return;
  throw LoadError("Cannot write " + out +
                  ": a video needs the ffmpeg program, which is not installed (Debian: apt-get install ffmpeg); "
                  "capture to a folder for PNG frames instead");
}

bool RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace stagwerk
