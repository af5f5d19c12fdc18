#pragma once
// Pictures, PNM files, the cjpeg/djpeg oracle and decoding helpers for the
// JPEG decoder tests. The corpus is made at test time; nothing is checked in.

#include "jpeg/JpegDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#if !defined(__EMSCRIPTEN__)
#include <spawn.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace jpegtest {

namespace fs = std::filesystem;

struct Picture {
  int w = 0, h = 0, ch = 0;  // ch 1 (grey) or 3 (RGB)
  std::vector<uint8_t> px;
};

inline uint8_t Clamp8(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Photo-like: smooth colour, textured and noisy luminance, a dark disc.
inline Picture MakePhoto(int w, int h, int ch) {
  Picture p{w, h, ch, {}};
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      double l = 128 + 60 * std::sin(x * 0.3) * std::cos(y * 0.21) + static_cast<int>((seed >> 16) % 21) - 10;
      double dx = x - w / 2.0, dy = y - h / 2.0;
      if (dx * dx + dy * dy < (std::min(w, h) / 4.0) * (std::min(w, h) / 4.0)) l -= 70;
      if (ch == 1) {
        p.px.push_back(Clamp8(l));
        continue;
      }
      double cr = 40 * std::sin(x * 0.05 + y * 0.03), cb = 40 * std::cos(y * 0.04);
      p.px.push_back(Clamp8(l + 1.4 * cr));
      p.px.push_back(Clamp8(l - 0.34 * cb - 0.71 * cr));
      p.px.push_back(Clamp8(l + 1.77 * cb));
    }
  }
  return p;
}

// Hard colour edges: saturated squares on gradients.
inline Picture MakeBlocks(int w, int h) {
  Picture p{w, h, 3, {}};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      bool square = ((x / 6 + y / 5) % 3) == 0;
      p.px.push_back(square ? 240 : Clamp8(x * 255.0 / std::max(1, w - 1)));
      p.px.push_back(square ? 20 : Clamp8(128 + 100 * std::sin(y * 0.2)));
      p.px.push_back(square ? 60 : Clamp8(y * 255.0 / std::max(1, h - 1)));
    }
  }
  return p;
}

inline std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WritePnm(const fs::path& path, const Picture& p) {
  std::ofstream out(path, std::ios::binary);
  out << (p.ch == 1 ? "P5" : "P6") << "\n" << p.w << " " << p.h << "\n255\n";
  out.write(reinterpret_cast<const char*>(p.px.data()), static_cast<std::streamsize>(p.px.size()));
}

inline bool ReadPnm(const fs::path& path, Picture& p) {
  std::vector<uint8_t> b = ReadBytes(path);
  size_t i = 0;
  auto field = [&]() {
    while (i < b.size() && std::isspace(b[i])) ++i;
    std::string s;
    while (i < b.size() && !std::isspace(b[i])) s += static_cast<char>(b[i++]);
    return s;
  };
  std::string magic = field();
  if (magic != "P5" && magic != "P6") return false;
  p.ch = magic == "P5" ? 1 : 3;
  p.w = std::atoi(field().c_str());
  p.h = std::atoi(field().c_str());
  field();
  ++i;
  size_t n = static_cast<size_t>(p.w) * static_cast<size_t>(p.h) * static_cast<size_t>(p.ch);
  if (b.size() < i + n) return false;
  p.px.assign(b.begin() + static_cast<ptrdiff_t>(i), b.begin() + static_cast<ptrdiff_t>(i + n));
  return true;
}

inline bool ToolAvailable(const char* tool) {
  std::string cmd = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

// A scratch directory for one test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "stagwerk-jpeg-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()) != nullptr) path_ = buf.data();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Runs a tool found on PATH with the given words, stderr silenced; true
// when it exits with 0. Spawned directly: a shell per call made the oracle
// tests several times slower.
inline bool RunTool(const std::vector<std::string>& words) {
#if defined(__EMSCRIPTEN__)
  // Under node there is no posix_spawn; system() runs a host shell.
  std::string command;
  for (const std::string& w : words) command += "'" + w + "' ";
  return std::system((command + "2>/dev/null").c_str()) == 0;
#else
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

inline std::vector<std::string> Words(const std::string& tool, const std::string& options) {
  std::vector<std::string> words{tool};
  size_t i = 0;
  while (i < options.size()) {
    size_t j = options.find(' ', i);
    if (j == std::string::npos) j = options.size();
    if (j > i) words.push_back(options.substr(i, j - i));
    i = j + 1;
  }
  return words;
}

// Encodes a picture with cjpeg; empty on failure.
inline std::vector<uint8_t> Encode(const TempDir& dir, const Picture& p, const std::string& options) {
  fs::path in = dir.path() / (p.ch == 1 ? "in.pgm" : "in.ppm");
  fs::path out = dir.path() / "out.jpg";
  WritePnm(in, p);
  std::vector<std::string> words = Words("cjpeg", options);
  words.insert(words.end(), {"-outfile", out.string(), in.string()});
  if (!RunTool(words)) return {};
  return ReadBytes(out);
}

// djpeg's decoding of jpg; false when djpeg fails.
inline bool Reference(const TempDir& dir, const std::vector<uint8_t>& jpg, const std::string& options, Picture& ref) {
  fs::path in = dir.path() / "ref.jpg";
  fs::path out = dir.path() / "ref.pnm";
  std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(jpg.data()), static_cast<std::streamsize>(jpg.size()));
  std::vector<std::string> words = Words("djpeg", options);
  words.insert(words.end(), {"-pnm", "-outfile", out.string(), in.string()});
  return RunTool(words) && ReadPnm(out, ref);
}

// Our decoding through the buffer types: a parameter read, then an image
// read into a buffer sized from it (RGB, or grey for one component).
inline int Decode(const std::vector<uint8_t>& jpg, Picture& out) {
  JPEG_PROPERTIES p;
  int rc = jpegInit(&p);
  if (rc != 0) return rc;
  p.jpgBytes = jpg.data();
  p.jpgSizeBytes = static_cast<uint32_t>(jpg.size());
  rc = jpegRead(&p, READ_PARAMS_BUFFER);
  if (rc == 0) {
    out.w = static_cast<int>(p.jpgWidth);
    out.h = static_cast<int>(p.jpgHeight);
    out.ch = p.jpgChannels == 1 ? 1 : 3;
    out.px.assign(static_cast<size_t>(out.w) * static_cast<size_t>(out.h) * static_cast<size_t>(out.ch), 0);
    p.dibBytes = out.px.data();
    p.dibWidth = p.jpgWidth;
    p.dibHeight = static_cast<int32_t>(p.jpgHeight);
    p.dibChannels = out.ch;
    p.dibColor = out.ch == 1 ? COLOR_GRAY : COLOR_RGB;
    rc = jpegRead(&p, READ_IMAGE_BUFFER);
  }
  jpegFree(&p);
  return rc;
}

inline int MaxDiff(const Picture& a, const Picture& b) {
  int m = 0;
  for (size_t i = 0; i < a.px.size() && i < b.px.size(); ++i) m = std::max(m, std::abs(a.px[i] - b.px[i]));
  return m;
}

inline double Psnr(const Picture& a, const Picture& b) {
  double se = 0;
  for (size_t i = 0; i < a.px.size() && i < b.px.size(); ++i) se += (a.px[i] - b.px[i]) * (a.px[i] - b.px[i]);
  if (se == 0) return 99.0;
  return 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.px.size()) / se);
}

// Offset of the first marker 0xFF code at or after from, or npos.
inline size_t FindMarker(const std::vector<uint8_t>& b, uint8_t code, size_t from = 2) {
  for (size_t i = from; i + 1 < b.size(); ++i)
    if (b[i] == 0xFF && b[i + 1] == code) return i;
  return std::string::npos;
}

}  // namespace jpegtest
