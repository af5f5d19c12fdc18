// Frame cost against the bare-GL floor, in one process at 640 x 480, for
// each back end on its own offscreen context: scenes of 250, 1,000 and 4,000
// animated objects (9 channels each, in parent chains of 10), one textured
// cube mesh, lit and fogged.
//   - the floor: the same cubes with the same state, matrices worked out
//     beforehand, no scene logic: for the fixed-function back end one
//     glLoadMatrixf and glCallList each; for the shader one the matrices as
//     uniforms and one glDrawArrays from a vertex buffer each;
//   - the whole frame: building it and drawing it through the renderer;
//   - the floor and the whole frame in turn, each pair timed on the same
//     machine state, the median of their ratios (with the frame built in
//     line, and built ahead on a worker while GL finishes the one before);
//   - building alone (our CPU work), at 1,000 to 65,000 items and in one
//     chain 4,000 deep, per 1,000 items;
//   - blending a 65,535-vertex morphing mesh and its normals.
// Prints each whole-frame time as a ratio to the floor at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "frame/FrameBuildAhead.h"
#include "frame/FrameBuilder.h"
#include "app/modes/RendererChoice.h"
#include "frame/MeshVertices.h"
#include "gl/GlHeaders.h"
#include "objects/Kq7Writer.h"
#include "objects/MeshCache.h"
#include "platform/GlContext.h"
#include "scene/SceneLoader.h"
#include "textures/TextureCache.h"

namespace {

using namespace stagwerk;

constexpr int kSizes[] = {250, 1000, 4000};

std::string Envelope(float value) {
  return "{ Envelope\n  3\n  Key " + std::to_string(value) + " 0 0 0 0 0 0 0 0\n  Key " +
         std::to_string(value + 1) + " 2 0 0 0 0 0 0 0\n  Key " + std::to_string(value * 0.5f) +
         " 4 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\n";
}

// Objects in parent chains of chainLength (each the parent of the next).
std::string SceneText(int objects, int chainLength = 10) {
  std::string text = "LWSC\n3\nFirstFrame 1\nLastFrame 300\nFramesPerSecond 30\nFogType 1\nFogMaxDistance 200\n"
                     "FogMinDistance 10\nFogColor 0 0 0\nAmbientColor 1 1 1\nAmbientIntensity 0.3\n";
  for (int i = 0; i < objects; ++i) {
    text += "LoadObjectLayer 1 Objects/Cube.lwo\nShowObject 6 3\nObjectMotion\nNumChannels 9\n";
    for (int c = 0; c < 9; ++c) {
      const float base = c < 3 ? static_cast<float>((i * 7 + c * 3) % 11) - 5.0f : c < 6 ? 0.1f * c : 1.0f;
      text += "Channel " + std::to_string(c) + "\n" + Envelope(base);
    }
    if (i % chainLength != 0) {
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
  return text + "ZoomFactor 1.5\nResolutionMultiplier 1.0\nFrameSize 640 480\nPixelAspect 1\n"
                "MaskPosition 0 0 640 480\nMotionBlur 0\nFieldRendering 0\nDepthOfField 0\n";
}

struct World {
  std::unique_ptr<GlContext> gl;
  std::unique_ptr<Renderer> renderer;
  std::string dir;
  std::unique_ptr<TextureCache> textures;
  std::unique_ptr<MeshCache> meshes;
  std::map<int, std::unique_ptr<Scene>> scenes;
  std::unique_ptr<FrameBuilder> builder = std::make_unique<FrameBuilder>(4.0f / 3.0f);
};

World MakeWorld(RendererKind kind) {
    World w;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlContextOptions options;
    options.width = 640;
    options.height = 480;
    options.visible = false;
    options.coreProfile = kind == RendererKind::Shader;
    w.gl = GlContext::Open(options);
    w.renderer = MakeRenderer(kind, w.gl->procLookup(), 640, 480, 4.0f / 3.0f);
    char pattern[] = "/tmp/stagwerk-bench-XXXXXX";
    w.dir = ::mkdtemp(pattern);
    for (const char* sub : {"/Objects", "/scenes", "/textures"}) std::filesystem::create_directories(w.dir + sub);
    // A 64 x 64 grey ramp as the cube's texture.
    {
      std::ofstream pgm(w.dir + "/ramp.pgm", std::ios::binary);
      pgm << "P5\n64 64\n255\n";
      for (int i = 0; i < 64 * 64; ++i) pgm.put(static_cast<char>(i % 251));
    }
    const std::string cjpeg = "cjpeg -outfile " + w.dir + "/textures/Ramp.jpg " + w.dir + "/ramp.pgm";
    if (std::system(cjpeg.c_str()) != 0) std::fprintf(stderr, "bench: cjpeg failed\n");
    Kq7Description cube;
    cube.flags = HasPolygons | AllTriangles | HasTexture;
    cube.textureName = "Ramp";
    for (int i = 0; i < 8; ++i) {
      cube.positions.push_back({(i & 1) ? 0.2f : -0.2f, (i & 2) ? 0.2f : -0.2f, (i & 4) ? 0.2f : -0.2f});
    }
    cube.uvs = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    const uint16_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : faces) {
      cube.polygons.push_back({q[0], q[1], q[2]});
      cube.polygons.push_back({q[0], q[2], q[3]});
      for (uint16_t uv : {0, 1, 2, 0, 2, 3}) cube.uvIndices.push_back(uv);
    }
    WriteKq7File(w.dir + "/Objects/Cube.kq7", cube);
    const DataDirectories directories{w.dir, "textures", "scenes"};
    Renderer& r = *w.renderer;
    w.textures = std::make_unique<TextureCache>(directories, false);
    w.textures->SetHooks({[&r](Texture& t, const Image& image) { t.renderHandle = r.CreateTexture(t, image); },
                          [&r](Texture& t) { r.ReleaseTexture(t.renderHandle); },
                          [&r](Image& image) { r.PrepareTexture(image); }});
    w.meshes = std::make_unique<MeshCache>(directories, *w.textures);
    w.meshes->SetHooks({[&r](Mesh& m) { m.renderHandle = r.CreateMesh(m); },
                        [&r](Mesh& m) { r.ReleaseMesh(m.renderHandle); }});
    for (int n : kSizes) {
      const std::string name = "Objects" + std::to_string(n);
      std::ofstream(w.dir + "/scenes/" + name + ".lws") << SceneText(n);
      w.scenes[n] = LoadScene(name, directories, *w.meshes, *w.textures);
    }
    return w;
}

World& TheWorld(RendererKind kind = RendererKind::FixedFunction) {
  static World fixed = MakeWorld(RendererKind::FixedFunction);
  static World shader = MakeWorld(RendererKind::Shader);
  World& world = kind == RendererKind::Shader ? shader : fixed;
  world.gl->MakeCurrent();
  return world;
}

// Both sides draw the same eight moments over and over, so the pictures,
// and what filling them costs, are the same.
constexpr int kMoments = 8;
float FrameTime(int64_t frame) { return 0.5f + 0.25f * static_cast<float>(frame % kMoments); }

struct Paired {
  double inLine, ahead;
  int64_t hits, builds;
};
std::map<int64_t, Paired>& PairedRatios() {
  static std::map<int64_t, Paired> ratios;
  return ratios;
}

// The matrices of each moment, worked out beforehand; the frame is drawn
// through the renderer once so that GL holds the same lights, fog,
// projection, texture and list.
std::vector<std::vector<Matrix4>> FloorMoments(World& world, Scene& scene) {
  world.builder->ActivateScene(scene);
  std::vector<std::vector<Matrix4>> moments(kMoments);
  for (int k = 0; k < kMoments; ++k) {
    const Frame& frame = world.builder->Build(scene, FrameTime(k), *scene.cameras.head());
    world.renderer->DrawFrame(frame);
    for (const Draw& draw : frame.draws) {
      if (draw.kind == DrawKind::Mesh) moments[static_cast<std::size_t>(k)].push_back(draw.modelview);
    }
  }
  return moments;
}

void DrawFloor(const std::vector<Matrix4>& moment) {
  const GLuint list = 1;  // the context's one display list: the cube
  glColor4f(1, 1, 1, 0.9f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  for (const Matrix4& m : moment) {
    glLoadMatrixf(m.m.data());
    glCallList(list);
  }
  glFinish();
}

void BM_Floor(benchmark::State& state) {
  World& world = TheWorld();
  Scene& scene = *world.scenes.at(static_cast<int>(state.range(0)));
  const auto moments = FloorMoments(world, scene);
  int64_t frame = 0;
  for (auto _ : state) DrawFloor(moments[static_cast<std::size_t>(frame++ % kMoments)]);
  state.counters["objects"] = static_cast<double>(moments[0].size());
}
BENCHMARK(BM_Floor)->Arg(250)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();

void WholeFrame(benchmark::State& state, RendererKind kind) {
  World& world = TheWorld(kind);
  Scene& scene = *world.scenes.at(static_cast<int>(state.range(0)));
  world.builder->ActivateScene(scene);
  int64_t frame = 0;
  for (auto _ : state) {
    world.renderer->DrawFrame(world.builder->Build(scene, FrameTime(frame++), *scene.cameras.head()));
    glFinish();
  }
}
void BM_WholeFrame(benchmark::State& state) { WholeFrame(state, RendererKind::FixedFunction); }
BENCHMARK(BM_WholeFrame)->Arg(250)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor and the whole frame in turn, each timed on its own, so both
// meet the same machine: the median of the ratios of each pair. The whole
// frame once built in line and once with the next frame built ahead on a
// worker while GL finishes this one, as captures and timedemo run.
void BM_PairedWholeAgainstFloor(benchmark::State& state) {
  World& world = TheWorld();
  Scene& scene = *world.scenes.at(static_cast<int>(state.range(0)));
  const auto moments = FloorMoments(world, scene);
  FrameBuilder aheadBuilder(4.0f / 3.0f);
  FrameBuildAhead ahead(aheadBuilder, true);
  aheadBuilder.ActivateScene(scene);
  std::vector<double> inLine, besides;
  using Steady = std::chrono::steady_clock;
  const auto since = [](Steady::time_point t) { return std::chrono::duration<double>(Steady::now() - t).count(); };
  int64_t frame = 0;
  for (auto _ : state) {
    const int64_t k = frame++;
    auto t0 = Steady::now();
    DrawFloor(moments[static_cast<std::size_t>(k % kMoments)]);
    const double floor = since(t0);
    t0 = Steady::now();
    world.renderer->DrawFrame(world.builder->Build(scene, FrameTime(k), *scene.cameras.head()));
    glFinish();
    inLine.push_back(since(t0) / floor);
    t0 = Steady::now();
    world.renderer->DrawFrame(ahead.Build(scene, FrameTime(k), *scene.cameras.head(), {}));
    ahead.Ahead(scene, FrameTime(k + 1), *scene.cameras.head(), {});
    glFinish();
    besides.push_back(since(t0) / floor);
  }
  const auto median = [](std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  state.counters["in line/floor"] = median(inLine);
  state.counters["ahead/floor"] = median(besides);
  PairedRatios()[state.range(0)] = {median(inLine), median(besides), ahead.hits(), ahead.hits() + ahead.misses()};
}
BENCHMARK(BM_PairedWholeAgainstFloor)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The shader floor: the program, texture and lights the renderer left after
// drawing the frame, the cube as a vertex buffer of our own, and per cube
// only the three matrices and the draw call.
void BM_ShaderFloor(benchmark::State& state) {
  World& world = TheWorld(RendererKind::Shader);
  Scene& scene = *world.scenes.at(static_cast<int>(state.range(0)));
  world.builder->ActivateScene(scene);
  struct Matrices {
    Matrix4 mvp, mv;
    std::array<float, 9> normal;
  };
  std::vector<std::vector<Matrices>> moments(kMoments);
  const Mesh* cube = nullptr;
  for (int k = 0; k < kMoments; ++k) {
    const Frame& frame = world.builder->Build(scene, FrameTime(k), *scene.cameras.head());
    world.renderer->DrawFrame(frame);
    const auto& p = frame.projection;
    const double cot = 1.0 / std::tan(p.fieldOfView / 2.0 * 3.14159265358979323846 / 180.0);
    Matrix4 projection;
    projection[0] = static_cast<float>(cot / p.aspect);
    projection[5] = static_cast<float>(cot);
    projection[10] = (p.farPlane + p.nearPlane) / (p.nearPlane - p.farPlane);
    projection[11] = -1.0f;
    projection[14] = 2.0f * p.farPlane * p.nearPlane / (p.nearPlane - p.farPlane);
    projection[15] = 0.0f;
    for (const Draw& draw : frame.draws) {
      if (draw.kind != DrawKind::Mesh) continue;
      cube = draw.mesh;
      Matrices m{projection, draw.modelview, {}};
      m.mvp.Multiply(draw.modelview);
      // A rotation and uniform scale: the linear part serves for normals.
      for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) m.normal[static_cast<std::size_t>(3 * c + r)] = draw.modelview[4 * c + r];
      }
      moments[static_cast<std::size_t>(k)].push_back(m);
    }
  }
  std::vector<float> vertices;
  const auto count = static_cast<GLsizei>(BuildMeshVertices(*cube, vertices, QuadSplit::AcrossSecondCorner));
  const VertexLayout layout = LayoutOf(*cube);
  GLuint array = 0, buffer = 0;
  glGenVertexArrays(1, &array);
  glGenBuffers(1, &buffer);
  glBindVertexArray(array);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
               GL_STATIC_DRAW);
  const auto stride = static_cast<GLsizei>(layout.stride() * sizeof(float));
  const auto at = [](int floats) { return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(floats) * 4); };
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, at(0));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, at(3));
  glEnableVertexAttribArray(3);
  glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, at(layout.uv0Offset()));
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  const GLint mvp = glGetUniformLocation(static_cast<GLuint>(program), "u_modelviewProjection");
  const GLint mv = glGetUniformLocation(static_cast<GLuint>(program), "u_modelview");
  const GLint normal = glGetUniformLocation(static_cast<GLuint>(program), "u_normalMatrix");
  int64_t frame = 0;
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const Matrices& m : moments[static_cast<std::size_t>(frame++ % kMoments)]) {
      glUniformMatrix4fv(mvp, 1, GL_FALSE, m.mvp.m.data());
      glUniformMatrix4fv(mv, 1, GL_FALSE, m.mv.m.data());
      glUniformMatrix3fv(normal, 1, GL_FALSE, m.normal.data());
      glDrawArrays(GL_TRIANGLES, 0, count);
    }
    glFinish();
  }
  glBindVertexArray(0);
  glDeleteBuffers(1, &buffer);
  glDeleteVertexArrays(1, &array);
}
BENCHMARK(BM_ShaderFloor)->Arg(250)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShaderWholeFrame(benchmark::State& state) { WholeFrame(state, RendererKind::Shader); }
BENCHMARK(BM_ShaderWholeFrame)->Arg(250)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();

std::map<int64_t, uint32_t>& BuildItems() {
  static std::map<int64_t, uint32_t> items;
  return items;
}

struct LoadedBuildScene {
  DataDirectories directories;
  TextureCache textures;
  MeshCache meshes;
  std::unique_ptr<Scene> scene;
  explicit LoadedBuildScene(int64_t size)
      : directories{TheWorld().dir, "textures", "scenes"}, textures(directories, false), meshes(directories, textures) {
    const int n = static_cast<int>(size < 0 ? -size : size);
    const std::string name = "Build" + std::to_string(size);
    std::ofstream(directories.rootDir + "/scenes/" + name + ".lws") << SceneText(n, size < 0 ? n : 10);
    scene = LoadScene(name, directories, meshes, textures);
  }
};

// Building alone needs no GL: scenes of up to 65,000 objects, loaded once
// each, the first time they are asked for. A negative size is one chain of
// that many objects instead of chains of 10.
Scene& BuildScene(int64_t size) {
  static std::map<int64_t, std::unique_ptr<LoadedBuildScene>> scenes;
  auto& slot = scenes[size];
  if (!slot) slot = std::make_unique<LoadedBuildScene>(size);
  return *slot->scene;
}

void BM_BuildFrame(benchmark::State& state) {
  Scene& scene = BuildScene(state.range(0));
  FrameBuilder builder(4.0f / 3.0f);
  builder.ActivateScene(scene);
  int64_t frame = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(builder.Build(scene, FrameTime(frame++), *scene.cameras.head()).draws.data());
  }
  BuildItems()[state.range(0)] = scene.ItemCount();
}
BENCHMARK(BM_BuildFrame)->Arg(1000)->Arg(4000)->Arg(16000)->Arg(65000)->Arg(-4000)->Unit(benchmark::kMillisecond);

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
        realMs[r.benchmark_name()] = r.real_accumulated_time / static_cast<double>(r.iterations) * 1e3;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> realMs;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* side : {"", "Shader"}) {
    std::printf("\nwhole frame against the bare-GL floor, 640 x 480, %s back end:\n",
                *side != 0 ? "shader" : "fixed-function");
    for (int n : kSizes) {
      const std::string arg = "/" + std::to_string(n) + "/real_time";
      const auto floor = reporter.realMs.find(std::string("BM_") + side + "Floor" + arg);
      const auto whole = reporter.realMs.find(std::string("BM_") + side + "WholeFrame" + arg);
      if (floor == reporter.realMs.end() || whole == reporter.realMs.end()) continue;
      std::printf("  %5d objects: %.2f ms vs %.2f ms, %.2fx\n", n, whole->second, floor->second,
                  whole->second / floor->second);
    }
  }
  std::printf("\nwhole frame against the floor, median of paired frames, fixed-function back end:\n");
  for (const auto& [n, r] : PairedRatios()) {
    std::printf("  %5lld objects: %.3fx built in line, %.3fx built ahead (%lld of %lld frames taken)\n",
                static_cast<long long>(n), r.inLine, r.ahead, static_cast<long long>(r.hits),
                static_cast<long long>(r.builds));
  }
  std::printf("\nbuilding per 1,000 items (objects, a light and a camera):\n");
  double least = 1e30, most = 0;
  for (const auto& [size, items] : BuildItems()) {
    const auto built = reporter.realMs.find("BM_BuildFrame/" + std::to_string(size));
    if (built == reporter.realMs.end()) continue;
    const double per = built->second / (items / 1000.0);
    if (size > 0) {  // linearity over the chains of 10
      least = std::min(least, per);
      most = std::max(most, per);
    }
    std::printf("  %6u items%s: %.3f ms, %.3f ms per 1,000\n", items, size < 0 ? " in one chain" : "", built->second, per);
  }
  if (most > 0) std::printf("  chains of 10, largest over smallest per 1,000: %.2f\n", most / least);
  benchmark::Shutdown();
  for (RendererKind kind : {RendererKind::Shader, RendererKind::FixedFunction}) {
    World& world = TheWorld(kind);
    world.scenes.clear();
    world.meshes.reset();
    world.textures.reset();
    std::filesystem::remove_all(world.dir);
    world.renderer.reset();
    world.gl.reset();
  }
  return 0;
}
