#include "music/ProTrackerModule.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace stagwerk::music {

namespace {

constexpr int kChannels = 4;
constexpr int kRowsPerPattern = 64;
constexpr int kSampleBytes = 4096;

struct Cell {
  int period = 0;  // 0: no note
  int sample = 0;  // 1-based, 0: none
  int effect = 0;
  int param = 0;
};

using Pattern = std::array<std::array<Cell, kChannels>, kRowsPerPattern>;

void Put16(std::vector<uint8_t>& out, int value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void PutText(std::vector<uint8_t>& out, const char* text, std::size_t size) {
  std::size_t i = 0;
  for (; text[i] != '\0' && i < size; ++i) out.push_back(static_cast<uint8_t>(text[i]));
  for (; i < size; ++i) out.push_back(0);
}

// ProTracker periods, octaves 1 to 3; a different note per row keeps every
// stretch of the song unlike the others, so a misplaced seek shows.
constexpr int kPeriods[] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                            428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                            214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

Pattern LoopAndJump() {
  Pattern p{};
  p[0][0] = {kPeriods[12], 1, 0xF, 3};  // speed 3
  for (int row = 1; row <= 8; ++row) p[row][row % kChannels] = {kPeriods[12 + row * 2], 1, 0, 0};
  p[1][3].effect = 0xE, p[1][3].param = 0x60;  // loop start
  p[4][3].effect = 0xE, p[4][3].param = 0x62;  // back to row 1, twice (same channel)
  p[8][1].effect = 0xB, p[8][1].param = 2;     // on to order 2
  return p;
}

Pattern NeverHeard() {
  Pattern p{};
  for (int row = 0; row < kRowsPerPattern; row += 2) p[row][0] = {kPeriods[0], 1, 0, 0};
  return p;
}

Pattern Tail() {
  Pattern p{};
  for (int row = 0; row < 32; ++row) {
    p[row][row % kChannels] = {kPeriods[(row * 7) % 36], 1, 0xC, 20 + row};  // Cxx: volume
  }
  p[31][3].effect = 0xD, p[31][3].param = 0;  // break; no order follows: the end
  return p;
}

void PutPattern(std::vector<uint8_t>& out, const Pattern& pattern) {
  for (const auto& row : pattern) {
    for (const Cell& c : row) {
      out.push_back(static_cast<uint8_t>((c.sample & 0xF0) | ((c.period >> 8) & 0x0F)));
      out.push_back(static_cast<uint8_t>(c.period));
      out.push_back(static_cast<uint8_t>(((c.sample & 0x0F) << 4) | c.effect));
      out.push_back(static_cast<uint8_t>(c.param));
    }
  }
}

// A decaying noise burst from a fixed generator: the same bytes every time.
std::vector<uint8_t> NoiseBurst() {
  std::vector<uint8_t> data(kSampleBytes);
  uint32_t state = 12345;
  for (int i = 0; i < kSampleBytes; ++i) {
    state = state * 1664525u + 1013904223u;
    const double noise = static_cast<double>(static_cast<int>(state >> 24) - 128);
    const double envelope = std::exp(-3.0 * i / kSampleBytes);
    data[i] = static_cast<uint8_t>(static_cast<int8_t>(std::lround(noise * envelope)));
  }
  data[0] = data[1] = 0;  // ProTracker's convention: the first word is silent
  return data;
}

}  // namespace

std::vector<uint8_t> MakeTestModule() {
  std::vector<uint8_t> out;
  PutText(out, "stagwerk test", 20);
  const std::vector<uint8_t> sample = NoiseBurst();
  for (int s = 0; s < 31; ++s) {
    PutText(out, s == 0 ? "noise" : "", 22);
    Put16(out, s == 0 ? kSampleBytes / 2 : 0);  // length in words
    out.push_back(0);                           // finetune
    out.push_back(s == 0 ? 64 : 0);             // volume
    Put16(out, 0);                              // loop start
    Put16(out, 1);                              // loop length 1: none
  }
  const std::array<uint8_t, 3> orders = {0, 1, 2};
  out.push_back(static_cast<uint8_t>(orders.size()));
  out.push_back(127);
  for (int i = 0; i < 128; ++i) out.push_back(i < static_cast<int>(orders.size()) ? orders[i] : 0);
  PutText(out, "M.K.", 4);
  PutPattern(out, LoopAndJump());
  PutPattern(out, NeverHeard());
  PutPattern(out, Tail());
  out.insert(out.end(), sample.begin(), sample.end());
  return out;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  const bool ok = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file != nullptr && std::fclose(file) != 0) throw std::runtime_error("cannot write " + path);
  if (!ok) throw std::runtime_error("cannot write " + path);
}

}  // namespace stagwerk::music
