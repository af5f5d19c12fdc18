// Once warmed up, building a frame allocates nothing: counted by replacing
// the global allocator for this test binary.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "SceneFixtures.h"
#include "frame/FrameBuilder.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
}  // namespace

// Every plain and array form is replaced, so each allocation and release
// goes through malloc and free alike (the aligned forms are left as they are).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
void* Allocate(std::size_t size) noexcept {
  if (counting) ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace stagwerk {
namespace {

TEST(FrameAllocation, AWarmBuilderAllocatesNothing) {
  testing::SceneFolder demo;
  Kq7Description morphing = testing::Square(1, 5);
  morphing.flags |= HasMorphTargets;
  morphing.morphTargets = {{{0, 0, 2, 0}}};
  demo.AddMesh("Sq", morphing);
  Kq7Description points;
  points.positions = {{0, 0, 5}, {1, 0, 5}};
  demo.AddMesh("Points", points);
  demo.AddWhiteJpeg("Sun");
  Scene& scene = demo.Load(
      testing::SceneHeader() + testing::WideCamera() + testing::ObjectBlock("Sq", 0, 0, 0) +
      testing::ObjectBlock("Sq", 0, 0, 0, "MorphAmount 0.5\nMorphTarget 1\nMorphSurfaces 0\n", "ParentItem 10000000\n") +
      testing::ObjectBlock("Sq", 0, 0, 0,
                           "Plugin MorphDeformer 1 LW_MorphMixer 1 1 g x 1 a b\nc d e f\n" +
                               testing::LinearEnvelope({{0.5f, 0}}) + "x\nEndPlugin\n") +
      testing::ObjectBlock("Points", 0, 0, 0) +
      testing::LightBlock("Sun", "LightIntensity 1\n", "LightType 2\nLightConeAngle 30\n",
                          "FlareIntensity 1\nFlareNominalDistance 5\nLensFlareFade 8\n"));
  FrameBuilder builder(1.0f);
  builder.ActivateScene(scene);
  for (float t : {0.0f, 0.5f}) builder.Build(scene, t, *scene.cameras.head());
  counting = true;
  std::size_t draws = 0;
  for (float t : {1.0f, 1.5f, 2.0f}) draws += builder.Build(scene, t, *scene.cameras.head()).draws.size();
  counting = false;
  EXPECT_EQ(draws, 3u * 7u);  // clears, four objects, the flare
  EXPECT_EQ(allocations.load(), 0);
}

}  // namespace
}  // namespace stagwerk
