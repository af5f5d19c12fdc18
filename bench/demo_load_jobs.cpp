// Loading a whole demo on one job and on two: a scene of 64 quads, each with
// its own 1024 x 1024 JPEG, drawn once by `stagwerk --render` as a whole
// process (context, decoding, mipmaps, uploads). Runs `--jobs 1` and
// `--jobs 2` in turn, pair by pair, so drift on a shared machine hits both,
// and prints each one's median wall time and the median of the ratios.
//   bench_demo_load_jobs [PAIRS] [fixed|shader]
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "objects/Kq7Writer.h"

namespace {

constexpr int kTextures = 64;

std::string Constant(float value) {
  return "{ Envelope\n  1\n  Key " + std::to_string(value) + " 0 3 0 0 0 0 0 0\n  Behaviors 1 1\n}\n";
}

std::string Motion(float x, float y, float z) {
  const float values[] = {x, y, z, 0, 0, 0, 1, 1, 1};
  std::string text = "NumChannels 9\n";
  for (int i = 0; i < 9; ++i) text += "Channel " + std::to_string(i) + "\n" + Constant(values[i]);
  return text;
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "bench_demo_load_jobs: failed: %s\n", command.c_str());
    std::exit(1);
  }
}

std::string MakeDemo() {
  char pattern[] = "/tmp/stagwerk-load-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  for (const char* sub : {"/data/Objects", "/data/textures", "/data/scenes"}) std::filesystem::create_directories(dir + sub);
  std::ofstream(dir + "/defaultdemoconfig.txt") << "window 320 240 32 1 1 none.ogg data textures scenes show\n";
  std::ofstream(dir + "/data/show.txt") << "wall 1 00:00:00:000\n";

  // Pictures with detail in them, so the decoder has real work; each its
  // own file, so nothing is shared between them.
  const std::string ppm = dir + "/picture.ppm";
  for (int i = 0; i < kTextures; ++i) {
    {
      std::ofstream out(ppm, std::ios::binary);
      out << "P6\n1024 1024\n255\n";
      for (int y = 0; y < 1024; ++y) {
        for (int x = 0; x < 1024; ++x) {
          const unsigned v = static_cast<unsigned>(x * 7 + y * 13 + i * 31) ^ static_cast<unsigned>(x * y);
          out.put(static_cast<char>(v)).put(static_cast<char>(v >> 3)).put(static_cast<char>(x ^ y ^ i));
        }
      }
    }
    Run("cjpeg -quality 90 -outfile '" + dir + "/data/textures/Tex" + std::to_string(i) + ".jpg' '" + ppm + "'");
  }
  Run("cjpeg -outfile '" + dir + "/data/textures/PleaseWaitLoading.jpg' '" + ppm + "'");

  std::string scene =
      "LWSC\n3\n\nFirstFrame 0\nLastFrame 30\nFramesPerSecond 30\n\n"
      "AddCamera\nCameraName Camera\nShowCamera 1 2\nCameraMotion\n" +
      Motion(0, 0, 0) +
      "ZoomFactor 1\nResolutionMultiplier 1.0\nFrameSize 640 480\nPixelAspect 1\nMaskPosition 0 0 640 480\n"
      "MotionBlur 0\nFieldRendering 0\nDepthOfField 0\n\n";
  for (int i = 0; i < kTextures; ++i) {
    stagwerk::Kq7Description quad;
    quad.flags = stagwerk::HasPolygons | stagwerk::HasTexture;
    quad.textureName = "Tex" + std::to_string(i);
    quad.positions = {{-0.5f, -0.5f, 0}, {-0.5f, 0.5f, 0}, {0.5f, 0.5f, 0}, {0.5f, -0.5f, 0}};
    quad.polygons = {{0, 1, 2, 3}};
    quad.uvs = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    quad.uvIndices = {0, 1, 2, 3};
    stagwerk::WriteKq7File(dir + "/data/Objects/Quad" + std::to_string(i) + ".kq7", quad);
    scene += "LoadObjectLayer 1 Objects/Quad" + std::to_string(i) + ".lwo\nShowObject 6 3\nObjectMotion\n" +
             Motion(static_cast<float>(i % 8) - 3.5f, static_cast<float>(i / 8) - 3.5f, 5) + "ShadowOptions 7\n\n";
  }
  std::ofstream(dir + "/data/scenes/wall.lws") << scene;
  return dir;
}

double Seconds(const std::string& command) {
  const auto begin = std::chrono::steady_clock::now();
  Run(command);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const std::string renderer = argc > 2 ? argv[2] : "fixed";
  const std::string dir = MakeDemo();
  const std::string command = "cd '" + dir + "' && SDL_VIDEODRIVER=offscreen '" STAGWERK_BINARY "' --renderer " +
                              renderer + " --render wall --at 0 --out still.png --jobs ";
  Seconds(command + "2");  // warm the file cache and the driver's
  std::vector<double> one, two, ratio;
  for (int i = 0; i < pairs; ++i) {
    one.push_back(Seconds(command + "1"));
    two.push_back(Seconds(command + "2"));
    ratio.push_back(two.back() / one.back());
  }
  std::printf("64 textures of 1024 x 1024, %s back end, %d pairs\n", renderer.c_str(), pairs);
  std::printf("--jobs 1: median %.3f s\n--jobs 2: median %.3f s\nratio 2/1: median %.3f (min %.3f, max %.3f)\n",
              Median(one), Median(two), Median(ratio), *std::min_element(ratio.begin(), ratio.end()),
              *std::max_element(ratio.begin(), ratio.end()));
  // STAGWERK_KEEP=1 keeps the demo, to look at its still.
  if (const char* keep = std::getenv("STAGWERK_KEEP"); keep && *keep == '1') {
    std::printf("the demo: %s\n", dir.c_str());
  } else {
    std::filesystem::remove_all(dir);
  }
  return 0;
}
