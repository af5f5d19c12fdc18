// Decodes the same 2048 x 2048 files with our decoder and with libjpeg-turbo,
// one thread each, and prints our time as a multiple of theirs. The files are
// made with cjpeg from a synthetic photo-like picture when the benchmark
// starts; nothing large is kept in the repository.

#include "jpeg/JpegDecoder.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>

namespace {

namespace fs = std::filesystem;

constexpr int kSize = 2048;

struct Variant {
  const char* name;
  const char* options;
  bool grey;
};

const Variant kVariants[] = {
    {"baseline420", "-quality 85", false},
    {"baseline422", "-quality 85 -sample 2x1", false},
    {"baseline444", "-quality 85 -sample 1x1", false},
    {"grey", "-quality 85 -grayscale", true},
    {"progressive420", "-quality 85 -progressive", false},
    {"restart420", "-quality 85 -restart 8B", false},
    {"restart444", "-quality 85 -sample 1x1 -restart 1", false},
};

std::map<std::string, std::vector<uint8_t>> gFiles;

uint8_t Clamp8(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Smooth shading, soft colour, textured regions, hard edges and sensor noise.
void WritePicture(const fs::path& path) {
  std::vector<uint8_t> px(static_cast<size_t>(kSize) * kSize * 3);
  uint32_t seed = 99;
  size_t i = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      seed = seed * 1103515245u + 12345u;
      double noise = static_cast<int>((seed >> 16) % 13) - 6;
      double l = 110 + 70 * std::sin(x * 0.004 + y * 0.002) + 30 * std::cos(y * 0.011);
      if (((x / 256) + (y / 256)) % 3 == 0) l += 25 * std::sin(x * 0.35) * std::sin(y * 0.27);  // texture
      if ((x - 1200) * (x - 1200) + (y - 900) * (y - 900) < 300 * 300) l -= 60;                // an object
      l += noise;
      double cr = 35 * std::sin(x * 0.003 + 1.0) + 10 * std::sin(y * 0.02);
      double cb = 30 * std::cos(y * 0.0025) - 10 * std::cos(x * 0.017);
      px[i++] = Clamp8(l + 1.402 * cr);
      px[i++] = Clamp8(l - 0.344 * cb - 0.714 * cr);
      px[i++] = Clamp8(l + 1.772 * cb);
    }
  }
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << kSize << " " << kSize << "\n255\n";
  out.write(reinterpret_cast<const char*>(px.data()), static_cast<std::streamsize>(px.size()));
}

bool MakeFiles() {
  std::string tmpl = (fs::temp_directory_path() / "stagwerk-bench-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) return false;
  fs::path dir = buf.data();
  fs::path picture = dir / "picture.ppm";
  WritePicture(picture);
  bool ok = true;
  for (const Variant& v : kVariants) {
    fs::path out = dir / (std::string(v.name) + ".jpg");
    std::string cmd = std::string("cjpeg ") + v.options + " -outfile '" + out.string() + "' '" + picture.string() + "'";
    if (std::system(cmd.c_str()) != 0) {
      std::fprintf(stderr, "cjpeg failed for %s\n", v.name);
      ok = false;
      break;
    }
    std::ifstream in(out, std::ios::binary);
    gFiles[v.name] = std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return ok;
}

// The texture loader's sequence, from memory: parameters, then BGR or grey
// rows bottom-up.
void DecodeOurs(benchmark::State& state, const Variant& v) {
  const std::vector<uint8_t>& jpg = gFiles[v.name];
  const int ch = v.grey ? 1 : 3;
  std::vector<uint8_t> px(static_cast<size_t>(kSize) * kSize * static_cast<size_t>(ch));
  for (auto _ : state) {
    JPEG_PROPERTIES p;
    jpegInit(&p);
    p.jpgBytes = jpg.data();
    p.jpgSizeBytes = static_cast<uint32_t>(jpg.size());
    int rc = jpegRead(&p, READ_PARAMS_BUFFER);
    p.dibBytes = px.data();
    p.dibWidth = p.jpgWidth;
    p.dibHeight = -static_cast<int32_t>(p.jpgHeight);
    p.dibChannels = ch;
    p.dibColor = v.grey ? COLOR_GRAY : COLOR_BGR;
    p.jpgColor = v.grey ? COLOR_GRAY : COLOR_YCBCR;
    if (rc == 0) rc = jpegRead(&p, READ_IMAGE_BUFFER);
    jpegFree(&p);
    if (rc != 0) {
      state.SkipWithError(jpegErrorString(rc));
      break;
    }
    benchmark::DoNotOptimize(px.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize * kSize);
}

void DecodeTurbo(benchmark::State& state, const Variant& v) {
  const std::vector<uint8_t>& jpg = gFiles[v.name];
  const int ch = v.grey ? 1 : 3;
  std::vector<uint8_t> px(static_cast<size_t>(kSize) * kSize * static_cast<size_t>(ch));
  for (auto _ : state) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpg.data(), static_cast<unsigned long>(jpg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = v.grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const size_t stride = static_cast<size_t>(cinfo.output_width) * static_cast<size_t>(ch);
    while (cinfo.output_scanline < cinfo.output_height) {
      // Bottom-up like ours.
      JSAMPROW row = px.data() + (cinfo.output_height - 1 - cinfo.output_scanline) * stride;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(px.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize * kSize);
}

// Collects the CPU time per iteration of every run to print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred && r.iterations > 0 && r.run_type == Run::RT_Iteration) {
        // With repetitions the fastest one counts: the least disturbed by other load.
        double t = r.cpu_accumulated_time / static_cast<double>(r.iterations);
        auto it = times.find(r.run_name.function_name);
        if (it == times.end() || t < it->second) times[r.run_name.function_name] = t;
      }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!MakeFiles()) return 1;
  for (const Variant& v : kVariants) {
    benchmark::RegisterBenchmark((std::string("ours/") + v.name).c_str(), DecodeOurs, v)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("libjpeg-turbo/") + v.name).c_str(), DecodeTurbo, v)->Unit(benchmark::kMillisecond);
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-16s %10s %10s %8s\n", "file", "ours cpu ms", "turbo cpu ms", "ratio");
  for (const Variant& v : kVariants) {
    auto ours = reporter.times.find(std::string("ours/") + v.name);
    auto turbo = reporter.times.find(std::string("libjpeg-turbo/") + v.name);
    if (ours == reporter.times.end() || turbo == reporter.times.end()) continue;
    std::printf("%-16s %10.2f %10.2f %8.2f  (%zu bytes)\n", v.name, ours->second * 1e3, turbo->second * 1e3,
                ours->second / turbo->second, gFiles[v.name].size());
  }
  benchmark::Shutdown();
  return 0;
}
