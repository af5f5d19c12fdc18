// Renders a tracker module as the desktop player plays it (ModuleRenderer,
// from the start to the song's end) into a 32-bit float stereo WAV, e.g.
// for holding the page's module rendering against the desktop's.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "music/ProTrackerModule.h"
#include "platform/ModuleRenderer.h"

namespace {

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Put(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: render_module IN RATE OUT.wav\n");
    return 2;
  }
  const int rate = std::atoi(argv[2]);
  if (rate < 8000 || rate > 192000) {
    std::fprintf(stderr, "render_module: rate %s is not 8000 to 192000\n", argv[2]);
    return 2;
  }
  try {
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) throw std::runtime_error(std::string(argv[1]) + ": cannot be read");
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    stagwerk::ModuleRenderer module(bytes);
    std::vector<float> samples;
    std::vector<float> block(2 * 1024);
    for (std::size_t done; (done = module.Render(block.data(), 1024, rate)) > 0;) {
      samples.insert(samples.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(2 * done));
    }
    const auto data = static_cast<uint32_t>(samples.size() * sizeof(float));
    std::vector<uint8_t> wav;
    Put(wav, "RIFF");
    Put(wav, 36 + data, 4);
    Put(wav, "WAVE");
    Put(wav, "fmt ");
    Put(wav, 16, 4);
    Put(wav, 3, 2);  // IEEE float
    Put(wav, 2, 2);
    Put(wav, static_cast<uint32_t>(rate), 4);
    Put(wav, static_cast<uint32_t>(rate) * 8, 4);
    Put(wav, 8, 2);
    Put(wav, 32, 2);
    Put(wav, "data");
    Put(wav, data, 4);
    const auto* raw = reinterpret_cast<const uint8_t*>(samples.data());
    wav.insert(wav.end(), raw, raw + data);
    stagwerk::music::WriteBytes(argv[3], wav);
    std::printf("%s: %zu frames at %d Hz\n", argv[3], samples.size() / 2, rate);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "render_module: %s\n", error.what());
    return 1;
  }
  return 0;
}
