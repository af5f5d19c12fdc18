#include "platform/VideoEncoder.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "base/LoadError.h"
#include "platform/FfmpegCommand.h"
#include "platform/VideoPresetArgs.h"

namespace stagwerk {

namespace {

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

bool IsVideoPath(const std::string& path) {
  return EndsWith(path, ".mp4") || EndsWith(path, ".mkv") || EndsWith(path, ".webm");
}

VideoEncoder::VideoEncoder(const VideoOptions& options) : out_(options.out) {
  RequireFfmpeg(options.out);
  std::string command = "ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " +
                        std::to_string(options.width) + "x" + std::to_string(options.height) + " -framerate " +
                        options.fps.Text() + " -i -";
  const bool sound = !options.music.empty() && std::filesystem::is_regular_file(options.music);
  if (sound) {
    char start[32];
    std::snprintf(start, sizeof start, "%.4f", options.musicStart);
    command += std::string(" -ss ") + start + " -i " + ShellQuoted(options.music) + " -map 0:v:0 -map 1:a:0 " +
               AudioLengthArgs(options.frames, options.fps);
  }
  command += " " + VideoCodecArgs(options.preset, options.fps);
  if (sound) command += " " + AudioCodecArgs(options.preset);
  command += " " + MuxerArgs(options.preset);
  command += " " + ShellQuoted(options.out);
  const std::string warning = PresetWarning(options.preset);
  if (!warning.empty()) std::fprintf(stderr, "stagwerk: %s\n", warning.c_str());
  // A pipe whose reader is gone must be an error here, not a killed player.
  std::signal(SIGPIPE, SIG_IGN);
  pipe_ = popen(command.c_str(), "w");
  if (pipe_ == nullptr) throw LoadError("Cannot write " + options.out + ": ffmpeg could not be started");
}

VideoEncoder::~VideoEncoder() {
  if (pipe_ != nullptr) pclose(pipe_);
}

void VideoEncoder::Write(const std::vector<unsigned char>& rgb) {
  if (std::fwrite(rgb.data(), 1, rgb.size(), pipe_) != rgb.size()) {
    throw LoadError("Cannot write " + out_ + ": ffmpeg stopped taking frames");
  }
}

void VideoEncoder::Finish() {
  const int status = pclose(pipe_);
  pipe_ = nullptr;
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw LoadError("Cannot write " + out_ + ": ffmpeg failed (see its message above)");
  }
}

}  // namespace stagwerk
