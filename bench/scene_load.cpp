// Loading speed: a scene of 1,000 animated objects sharing one mesh, a mesh
// of 65,535 vertices, and 64 JPEG textures of 1024 x 1024 decoded on 1, 2 and
// all cores (the time per thread count shows the scaling).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "objects/Kq7Writer.h"
#include "objects/MeshCache.h"
#include "scene/SceneLoader.h"
#include "textures/TextureCache.h"

namespace {

std::string Envelope(float value) {
  return "{ Envelope\n  2\n  Key " + std::to_string(value) + " 0 0 0 0 0 0 0 0\n  Key " + std::to_string(value + 1) +
         " 2 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\n";
}

const std::string& DataDirectory() {
  static const std::string root = [] {
    char pattern[] = "/tmp/stagwerk-bench-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    std::filesystem::create_directories(dir + "/Objects");
    std::filesystem::create_directories(dir + "/scenes");
    stagwerk::Kq7Description small;
    small.flags = stagwerk::HasPolygons | stagwerk::AllTriangles;
    small.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    small.polygons = {{0, 1, 2}};
    stagwerk::WriteKq7File(dir + "/Objects/Small.kq7", small);

    stagwerk::Kq7Description big;
    big.flags = stagwerk::HasPolygons | stagwerk::AllTriangles | stagwerk::HasColours;
    const int side = 255;  // 255 x 257 = 65,535 vertices
    for (int y = 0; y < 257; ++y) {
      for (int x = 0; x < side; ++x) big.positions.push_back({static_cast<float>(x), static_cast<float>(y), 0.0f});
    }
    big.colours = {{1, 1, 1, 1}};
    for (int y = 0; y + 1 < 257 && big.polygons.size() < 65000; ++y) {
      for (int x = 0; x + 1 < side && big.polygons.size() < 65000; ++x) {
        const auto a = static_cast<uint16_t>(y * side + x);
        const auto b = static_cast<uint16_t>(a + 1), c = static_cast<uint16_t>(a + side);
        big.polygons.push_back({a, b, c});
        for (int k = 0; k < 3; ++k) big.colourIndices.push_back(0);
      }
    }
    stagwerk::WriteKq7File(dir + "/Objects/Big.kq7", big);

    std::string scene = "LWSC\n3\nFirstFrame 1\nLastFrame 300\nFramesPerSecond 30\n";
    for (int i = 0; i < 1000; ++i) {
      scene += "LoadObjectLayer 1 Objects/Small.lwo\nShowObject 6 3\nObjectMotion\nNumChannels 9\n";
      for (int c = 0; c < 9; ++c) scene += "Channel " + std::to_string(c) + "\n" + Envelope(static_cast<float>(i + c));
      if (i > 0) scene += "ParentItem 1000" + std::to_string(1000 + i - 1).substr(1) + "\n";
      scene += "ObjectDissolve 0.1\nShadowOptions 7\n";
    }
    std::ofstream(dir + "/scenes/Thousand.lws") << scene;

    // A picture with detail in it, so the decoder has real work; cjpeg
    // makes the files, as for the tests.
    std::filesystem::create_directories(dir + "/textures");
    {
      std::ofstream ppm(dir + "/picture.ppm", std::ios::binary);
      ppm << "P6\n1024 1024\n255\n";
      for (int y = 0; y < 1024; ++y) {
        for (int x = 0; x < 1024; ++x) {
          const unsigned v = static_cast<unsigned>(x * 7 + y * 13) ^ static_cast<unsigned>(x * y);
          ppm.put(static_cast<char>(v)).put(static_cast<char>(v >> 3)).put(static_cast<char>(x ^ y));
        }
      }
    }
    const std::string first = dir + "/textures/Tex0.jpg";
    const std::string make = "cjpeg -quality 90 -outfile '" + first + "' '" + dir + "/picture.ppm'";
    if (std::system(make.c_str()) != 0) std::abort();
    for (int i = 1; i < 64; ++i) std::filesystem::copy_file(first, dir + "/textures/Tex" + std::to_string(i) + ".jpg");
    return dir;
  }();
  return root;
}

void BM_LoadSceneOf1000Objects(benchmark::State& state) {
  const stagwerk::DataDirectories dirs{DataDirectory(), "textures", "scenes"};
  for (auto _ : state) {
    stagwerk::TextureCache textures(dirs, false);
    stagwerk::MeshCache meshes(dirs, textures);
    auto scene = stagwerk::LoadScene("Thousand", dirs, meshes, textures);
    benchmark::DoNotOptimize(scene->objects.count());
  }
}

void BM_LoadMeshOf65535Vertices(benchmark::State& state) {
  const stagwerk::DataDirectories dirs{DataDirectory(), "textures", "scenes"};
  for (auto _ : state) {
    stagwerk::TextureCache textures(dirs, false);
    stagwerk::MeshCache meshes(dirs, textures);
    benchmark::DoNotOptimize(meshes.FindOrLoad("Objects/Big.lwo").vertexCount());
  }
}

void BM_Load64Textures(benchmark::State& state) {
  const stagwerk::DataDirectories dirs{DataDirectory(), "textures", "scenes"};
  for (auto _ : state) {
    stagwerk::TextureCache textures(dirs, false);
    textures.StartWorkers(static_cast<unsigned>(state.range(0)));
    for (int i = 0; i < 64; ++i) textures.FindOrLoad("Tex" + std::to_string(i));
    textures.Finish();
    benchmark::DoNotOptimize(textures.textures().count());
  }
}

BENCHMARK(BM_LoadSceneOf1000Objects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMeshOf65535Vertices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load64Textures)
    ->ArgName("jobs")
    ->Apply([](benchmark::internal::Benchmark* b) {
      b->Arg(1)->Arg(2);
      if (std::thread::hardware_concurrency() > 2) b->Arg(static_cast<int64_t>(std::thread::hardware_concurrency()));
    })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
