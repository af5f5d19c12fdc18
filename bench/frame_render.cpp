// Frame cost: a generated scene of 1,000 animated objects (9 channels each,
// parented in chains of 10) sharing one small mesh, on the offscreen GL
// context at 640 x 480.
//   - our work per frame: item matrices on our own Matrix4, envelopes, the
//     per-object state decisions, without the GL calls;
//   - the same placements done the way fixed-function players do them: on
//     the GL matrix stack, read back with glGetFloatv for the cache;
//   - the whole frame, RenderFrame and glFinish;
//   - blending a 65,535-vertex morphing mesh and its normals.
// Prints the ratio of the two ways of placing items at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "anim/EnvelopeEvaluation.h"
#include "gl/GlState.h"
#include "objects/Kq7Writer.h"
#include "objects/MeshCache.h"
#include "objects/MeshDrawing.h"
#include "platform/GlContext.h"
#include "scene/FrameRenderer.h"
#include "scene/SceneLoader.h"
#include "textures/TextureCache.h"
#include "textures/TextureUpload.h"

namespace {

using namespace stagwerk;

std::string Envelope(float value) {
  return "{ Envelope\n  3\n  Key " + std::to_string(value) + " 0 0 0 0 0 0 0 0\n  Key " +
         std::to_string(value + 1) + " 2 0 0 0 0 0 0 0\n  Key " + std::to_string(value * 0.5f) +
         " 4 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\n";
}

struct World {
  std::unique_ptr<GlContext> gl;
  std::string dir;
  std::unique_ptr<TextureCache> textures;
  std::unique_ptr<MeshCache> meshes;
  std::unique_ptr<Scene> scene;
};

World& TheWorld() {
  static World world = [] {
    World w;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlContextOptions options;
    options.width = 640;
    options.height = 480;
    options.visible = false;
    w.gl = GlContext::Open(options);
    glViewport(0, 0, 640, 480);
    char pattern[] = "/tmp/stagwerk-bench-XXXXXX";
    w.dir = ::mkdtemp(pattern);
    std::filesystem::create_directories(w.dir + "/Objects");
    std::filesystem::create_directories(w.dir + "/scenes");
    Kq7Description cube;
    cube.flags = HasPolygons | AllTriangles;
    for (int i = 0; i < 8; ++i) {
      cube.positions.push_back({(i & 1) ? 0.2f : -0.2f, (i & 2) ? 0.2f : -0.2f, (i & 4) ? 0.2f : -0.2f});
    }
    const uint16_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : faces) {
      cube.polygons.push_back({q[0], q[1], q[2]});
      cube.polygons.push_back({q[0], q[2], q[3]});
    }
    WriteKq7File(w.dir + "/Objects/Cube.kq7", cube);
    std::string text = "LWSC\n3\nFirstFrame 1\nLastFrame 300\nFramesPerSecond 30\nFogType 1\nFogMaxDistance 200\n"
                       "FogMinDistance 10\nFogColor 0 0 0\nAmbientColor 1 1 1\nAmbientIntensity 0.3\n";
    for (int i = 0; i < 1000; ++i) {
      text += "LoadObjectLayer 1 Objects/Cube.lwo\nShowObject 6 3\nObjectMotion\nNumChannels 9\n";
      for (int c = 0; c < 9; ++c) {
        const float base = c < 3 ? static_cast<float>((i * 7 + c * 3) % 11) - 5.0f : c < 6 ? 0.1f * c : 1.0f;
        text += "Channel " + std::to_string(c) + "\n" + Envelope(base);
      }
      if (i % 10 != 0) {
        char parent[16];
        std::snprintf(parent, sizeof parent, "1%07x", i - 1);
        text += std::string("ParentItem ") + parent + "\n";
      }
      text += "ObjectDissolve (envelope)\n" + Envelope(0.1f) + "ShadowOptions 7\n";
    }
    text += "AddLight\nLightName Key\nShowLight 0 7\nLightMotion\nNumChannels 6\n";
    for (int c = 0; c < 6; ++c) text += "Channel " + std::to_string(c) + "\n" + Envelope(c == 2 ? -20.0f : 0.0f);
    text += "LightColor 1 1 1\nLightIntensity 1\nLightType 1\nShadowType 1\n";
    text += "AddCamera\nCameraName Camera\nShowCamera 1 2\nCameraMotion\nNumChannels 6\n";
    for (int c = 0; c < 6; ++c) text += "Channel " + std::to_string(c) + "\n" + Envelope(c == 2 ? -60.0f : 0.0f);
    text += "ZoomFactor 1.5\nResolutionMultiplier 1.0\nFrameSize 640 480\nPixelAspect 1\nMaskPosition 0 0 640 480\n"
            "MotionBlur 0\nFieldRendering 0\nDepthOfField 0\n";
    std::ofstream(w.dir + "/scenes/Thousand.lws") << text;
    const DataDirectories directories{w.dir, "textures", "scenes"};
    w.textures = std::make_unique<TextureCache>(directories, false);
    w.textures->SetHooks(GlTextureHooks());
    w.meshes = std::make_unique<MeshCache>(directories, *w.textures);
    w.meshes->SetHooks(GlMeshHooks());
    w.scene = LoadScene("Thousand", directories, *w.meshes, *w.textures);
    ActivateScene(*w.scene);
    return w;
  }();
  return world;
}

float FrameTime(int64_t frame) { return 0.04f + 0.01f * static_cast<float>(frame % 300); }

// What RenderFrame computes on the CPU for the objects, without GL calls.
void BM_OurWorkPerFrame(benchmark::State& state) {
  Scene& scene = *TheWorld().scene;
  Camera& camera = *scene.cameras.head();
  int64_t frame = 0;
  for (auto _ : state) {
    const float t = FrameTime(frame++);
    Matrix4 view;
    view.Scale(1, 1, -1);
    camera.cachedTime = -1.0f;
    ApplyViewTransform(view, camera, t);
    scene.InvalidateItemTransforms();
    float sum = 0.0f;
    for (SceneObject& object : scene.objects) {
      Matrix4 m = view;
      ApplyItemTransform(m, object, t);
      const float d = object.dissolve->ValueAt(t);
      const float k = camera.blurLength ? (1.0f - d) * CameraBlurFade(camera, t) : 1.0f - d;
      sum += m[12] + k + static_cast<float>((object.flags & Additive) != 0);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["objects"] = 1000;
}
BENCHMARK(BM_OurWorkPerFrame)->Unit(benchmark::kMillisecond);

// The same placements on the GL matrix stack with a read-back per item.
void PlaceOnGlStack(SceneItem& item, float t) {
  if (t == item.cachedTime) {
    glLoadMatrixf(item.cachedMatrix.m.data());
    return;
  }
  if (item.parent != nullptr) PlaceOnGlStack(*item.parent, t);
  const auto value = [&](int c) { return EvaluateEnvelope(*item.motion.channels[static_cast<std::size_t>(c)], t); };
  glTranslatef(value(0), value(1), value(2));
  glScalef(value(6), value(7), value(8));
  glRotatef(static_cast<float>(value(3) * 57.29577951308232), 0, 1, 0);
  glRotatef(static_cast<float>(value(4) * 57.29577951308232), 1, 0, 0);
  glRotatef(static_cast<float>(value(5) * 57.29577951308232), 0, 0, 1);
  glGetFloatv(GL_MODELVIEW_MATRIX, item.cachedMatrix.m.data());
  item.cachedTime = t;
}

void BM_GlStackReadBackPerFrame(benchmark::State& state) {
  Scene& scene = *TheWorld().scene;
  int64_t frame = 0;
  glMatrixMode(GL_MODELVIEW);
  for (auto _ : state) {
    const float t = FrameTime(frame++);
    scene.InvalidateItemTransforms();
    float sum = 0.0f;
    for (SceneObject& object : scene.objects) {
      glPushMatrix();
      PlaceOnGlStack(object, t);
      const float d = object.dissolve->ValueAt(t);
      sum += object.cachedMatrix[12] + (1.0f - d);
      glPopMatrix();
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_GlStackReadBackPerFrame)->Unit(benchmark::kMillisecond);

void BM_WholeFrame640x480(benchmark::State& state) {
  World& world = TheWorld();
  int64_t frame = 0;
  for (auto _ : state) {
    RenderFrame(*world.scene, FrameTime(frame++), *world.scene->cameras.head(), 4.0f / 3.0f);
    glFinish();
  }
}
BENCHMARK(BM_WholeFrame640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MorphBlendAndNormals65535(benchmark::State& state) {
  Kq7Description grid;
  grid.flags = HasPolygons | AllTriangles;
  const int side = 255;  // 255 x 257 = 65,535 vertices
  for (int y = 0; y < 257; ++y) {
    for (int x = 0; x < side; ++x) grid.positions.push_back({static_cast<float>(x), static_cast<float>(y), 0.0f});
  }
  for (int y = 0; y + 1 < 257 && grid.polygons.size() < 65535; ++y) {
    for (int x = 0; x + 1 < side && grid.polygons.size() < 65535; ++x) {
      const auto a = static_cast<uint16_t>(y * side + x);
      grid.polygons.push_back({a, static_cast<uint16_t>(a + side), static_cast<uint16_t>(a + 1)});
    }
  }
  Kq7Description raised = grid;
  for (auto& p : raised.positions) p[2] = std::sin(p[0] * 0.1f) * std::cos(p[1] * 0.1f);
  const auto a = WriteKq7(grid);
  const auto b = WriteKq7(raised);
  auto base = Mesh::Parse(a.data(), a.size(), "a.lwo", "a.kq7", {});
  auto target = Mesh::Parse(b.data(), b.size(), "b.lwo", "b.kq7", {});
  auto copy = Mesh::MakeMorphCopy(*base);
  int64_t frame = 0;
  for (auto _ : state) {
    copy->Blend(*base, *target, 0.001f * static_cast<float>(frame++ % 1000));
    copy->ComputeNormals();
    benchmark::DoNotOptimize(copy->normals().data());
  }
  state.counters["vertices"] = base->vertexCount();
}
BENCHMARK(BM_MorphBlendAndNormals65535)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (!r.error_occurred && r.iterations > 0 && r.run_type == Run::RT_Iteration) {
        cpuMs[r.benchmark_name()] = r.cpu_accumulated_time / static_cast<double>(r.iterations) * 1e3;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> cpuMs;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto ours = reporter.cpuMs.find("BM_OurWorkPerFrame");
  const auto stack = reporter.cpuMs.find("BM_GlStackReadBackPerFrame");
  if (ours != reporter.cpuMs.end() && stack != reporter.cpuMs.end()) {
    std::printf("\nplacing 1,000 objects per frame: ours %.3f ms, GL stack with read-back %.3f ms, %.1fx faster\n",
                ours->second, stack->second, stack->second / ours->second);
  }
  benchmark::Shutdown();
  {
    World& world = TheWorld();
    world.scene.reset();
    world.meshes.reset();
    world.textures.reset();
    std::filesystem::remove_all(world.dir);
    world.gl.reset();
  }
  return 0;
}
