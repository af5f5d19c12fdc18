#include "platform/VideoJoin.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/LoadError.h"
#include "platform/FfmpegCommand.h"
#include "platform/VideoPresetArgs.h"

namespace stagwerk {

void JoinVideoSegments(const std::vector<std::string>& segments, const std::string& listFile,
                       const VideoOptions& options) {
  RequireFfmpeg(options.out);
  {
    std::ofstream list(listFile);
    for (const std::string& segment : segments) {
      // The concat list quotes as the shell does.
      list << "file " << ShellQuoted(std::filesystem::absolute(segment).string()) << "\n";
    }
    if (!list) throw LoadError("Cannot write " + listFile);
  }
  std::string command = "ffmpeg -hide_banner -loglevel error -y -f concat -safe 0 -i " + ShellQuoted(listFile);
  const bool sound = !options.music.empty() && std::filesystem::is_regular_file(options.music);
  if (sound) {
    char start[32];
    std::snprintf(start, sizeof start, "%.4f", options.musicStart);
    command += std::string(" -ss ") + start + " -i " + ShellQuoted(options.music) + " -map 0:v:0 -map 1:a:0 " +
               AudioLengthArgs(options.frames, options.fps) + " " + AudioCodecArgs(options.preset);
  }
  command += " -c:v copy " + MuxerArgs(options.preset) + " " + ShellQuoted(options.out);
  if (!RunCommand(command)) {
    throw LoadError("Cannot write " + options.out + ": ffmpeg could not join the segments (see its message above)");
  }
}

}  // namespace stagwerk
