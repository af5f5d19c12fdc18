// Capture throughput against its two parts, measured in one run on the
// bundled demo: drawing alone (the frames read back and thrown away, as
// `--capture -` into nothing), encoding alone (the same raw frames, from a
// file in memory, through the same ffmpeg arguments), and the whole capture
// to a video. A capture whose parts overlap takes about the longer of the
// two; the ratio says how close it comes.
//   bench_capture_throughput [WxH] [FPS] [FROM] [TO] [web|plain|archive]
// Defaults: 1920x1080, 60, 20, 30, web.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/FrameRate.h"
#include "platform/VideoPresetArgs.h"

namespace {

double Seconds(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string size = argc > 1 ? argv[1] : "1920x1080";
  const std::string fps = argc > 2 ? argv[2] : "60";
  const std::string from = argc > 3 ? argv[3] : "20";
  const std::string to = argc > 4 ? argv[4] : "30";
  const std::string preset = argc > 5 ? argv[5] : "web";
  const auto rate = stagwerk::FrameRate::Parse(fps);
  if (!rate || size.find('x') == std::string::npos) {
    std::fprintf(stderr, "usage: bench_capture_throughput [WxH] [FPS] [FROM] [TO] [web|plain|archive]\n");
    return 2;
  }
  const stagwerk::VideoPreset kind = preset == "archive" ? stagwerk::VideoPreset::Archive
                                     : preset == "plain" ? stagwerk::VideoPreset::Plain
                                                         : stagwerk::VideoPreset::Web;
  const std::string demo = std::string(STAGWERK_SOURCE_DIR) + "/demo";
  const std::filesystem::path work = std::filesystem::temp_directory_path() / "stagwerk-capture-bench";
  std::filesystem::create_directories(work);
  // Frames in memory where the machine has it, so reading them costs little.
  const std::string frames = std::filesystem::exists("/dev/shm") ? "/dev/shm/stagwerk-bench.rgb"
                                                                 : (work / "frames.rgb").string();
  const std::string video = (work / (preset == "archive" ? "capture.mkv" : "capture.mp4")).string();
  const std::string player = "cd '" + demo + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME='" +
                             work.string() + "' '" STAGWERK_BINARY "' --size " + size + " --fps " + fps +
                             " --from " + from + " --to " + to;

  std::printf("capture of the bundled demo, %s at %s fps, music %s s to %s s, preset %s\n", size.c_str(),
              fps.c_str(), from.c_str(), to.c_str(), preset.c_str());
  const double drawing = Seconds(player + " --capture - 2>/dev/null > /dev/null");
  Seconds(player + " --capture - 2>/dev/null > '" + frames + "'");
  const auto bytes = std::filesystem::file_size(frames);
  const std::string encoder = "ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " + size +
                              " -framerate " + rate->Text() + " -i '" + frames + "' " +
                              stagwerk::VideoCodecArgs(kind, *rate) + " " + stagwerk::MuxerArgs(kind) + " '" +
                              (work / "encoded").string() + std::filesystem::path(video).extension().string() + "'";
  const double encoding = Seconds(encoder);
  std::filesystem::remove(frames);
  const double capture =
      Seconds(player + " --capture '" + video + "'" + (preset == "plain" ? "" : " --preset " + preset) + " 2>/dev/null");
  const int w = std::atoi(size.c_str());
  const int h = std::atoi(size.c_str() + size.find('x') + 1);
  const double count = static_cast<double>(bytes) / (3.0 * w * h);
  const double longer = drawing > encoding ? drawing : encoding;
  std::printf("%-28s %8s %8s\n", "", "seconds", "fps");
  std::printf("%-28s %8.1f %8.1f\n", "drawing and read-back alone", drawing, count / drawing);
  std::printf("%-28s %8.1f %8.1f\n", "encoding alone", encoding, count / encoding);
  std::printf("%-28s %8.1f %8.1f\n", "capture", capture, count / capture);
  std::printf("%.0f frames; capture / longer part = %.2f (1.00: the parts overlap fully; "
              "drawing + encoding would be %.2f)\n",
              count, capture / longer, (drawing + encoding) / longer);
  std::filesystem::remove_all(work);
  return 0;
}
