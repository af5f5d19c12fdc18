// The texture cache: path rules, sharing, the size rule, and JPEG pictures
// with and without opacity files (tests/data/textures, made with cjpeg).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "TempDir.h"
#include "base/LoadError.h"
#include "objects/Kq7Writer.h"
#include "objects/MeshCache.h"
#include "textures/Image.h"
#include "textures/TextureCache.h"

namespace stagwerk {
namespace {

using ::testing::HasSubstr;

const std::string kData = STAGWERK_TEST_DATA;

std::string Tga(uint16_t width, uint16_t height, unsigned char grey) {
  std::string file(18, '\0');
  file[2] = 3;
  file[12] = static_cast<char>(width);
  file[13] = static_cast<char>(width >> 8);
  file[14] = static_cast<char>(height);
  file[16] = 8;
  return file + std::string(std::size_t{width} * height, static_cast<char>(grey));
}

// The failure text of loading by name (or by full path when it has a '/'), or "".
std::string FailureOf(TextureCache& cache, const std::string& name) {
  try {
    name.find('/') == std::string::npos ? cache.FindOrLoad(name) : cache.FindOrLoadPath(name);
  } catch (const LoadError& e) {
    return e.what();
  }
  return "";
}

TEST(TextureCache, PathRulesPictureKindAndSizes) {
  TextureCache cache({"Data", "Textures", "Scenes"});
  EXPECT_EQ(cache.NamePath("Flare1"), "Data/Textures/Flare1.jpg");
  EXPECT_EQ(cache.ScenePath("Images/sky.tga"), "Data/Images/sky.tga");
  EXPECT_THROW(cache.NamePath(std::string(240, 'n')), LoadError);
  for (const char* path : {"a.jpg", "a.JPG", "a.xpm"}) EXPECT_TRUE(IsJpegPath(path)) << path;
  for (const char* path : {"a.tga", "a.jpeg", "p"}) EXPECT_FALSE(IsJpegPath(path)) << path;
  EXPECT_EQ(OpacityPath("Data/Textures/x.jpg"), "Data/Textures/x.a.jpg");
  for (uint32_t n = 1; n <= 2048; n *= 2) EXPECT_TRUE(IsPowerOfTwo(n)) << n;
  for (uint32_t n : {0u, 3u, 640u, 2047u, 4096u, 65536u}) EXPECT_FALSE(IsPowerOfTwo(n)) << n;
}

TEST(TextureCache, SceneImagesShareByExactPathAndFailuresAreNotKept) {
  testing::TempDir dir;
  const std::string root = dir.path().string();
  dir.Write("Images/sky.tga", Tga(4, 2, 77));
  dir.Write("Images/SKY.tga", Tga(1, 1, 5));
  dir.Write("Images/odd.tga", Tga(3, 2, 1));
  TextureCache cache({root, "Textures", "Scenes"});

  Texture& sky = cache.FindOrLoadPath(cache.ScenePath("Images/sky.tga"));
  EXPECT_EQ(sky.path, root + "/Images/sky.tga");
  EXPECT_EQ(sky.width, 4);
  EXPECT_EQ(sky.height, 2);
  EXPECT_EQ(sky.channels, 1);
  EXPECT_EQ(sky.pixels, std::vector<unsigned char>(8, 77));
  EXPECT_EQ(&cache.FindOrLoadPath(root + "/Images/sky.tga"), &sky);
  EXPECT_NE(&cache.FindOrLoadPath(root + "/Images/SKY.tga"), &sky);  // letter case makes another texture
  EXPECT_EQ(cache.textures().count(), 2);

  EXPECT_EQ(FailureOf(cache, root + "/Images/odd.tga"), "NOPTD texture detected");
  EXPECT_EQ(FailureOf(cache, root + "/Images/none.tga"), "Cannot load file " + root + "/Images/none.tga from directory");

  // A run that only checks the demo keeps sizes, not pixels.
  TextureCache lean({root, "Textures", "Scenes"}, false);
  const Texture& bare = lean.FindOrLoadPath(root + "/Images/sky.tga");
  EXPECT_EQ(bare.width, 4);
  EXPECT_TRUE(bare.pixels.empty());
}

TEST(TextureCache, WorkersDecodeButUploadAndFailInRequestOrder) {
#if defined(__EMSCRIPTEN__)
  GTEST_SKIP() << "no threads in the web build: a page loads with one job";
#endif
  testing::TempDir dir;
  const std::string root = dir.path().string();
  std::vector<std::string> paths;
  for (int i = 0; i < 24; ++i) {
    paths.push_back(root + "/t" + std::to_string(i) + ".tga");
    dir.Write("t" + std::to_string(i) + ".tga", Tga(128, 128, static_cast<unsigned char>(i)));
  }
  dir.Write("odd.tga", Tga(3, 2, 1));
  for (unsigned jobs : {1u, 4u}) {
    TextureCache cache({root, "Textures", "Scenes"});
    std::vector<std::string> uploads;
    cache.SetHooks({[&](Texture& texture, const Image& image) {
                      EXPECT_EQ(std::size_t{image.pixels[0]}, uploads.size()) << texture.path;
                      uploads.push_back(texture.path);
                    },
                    {},
                    {}});
    cache.StartWorkers(jobs);
    for (const std::string& path : paths) cache.FindOrLoadPath(path);
    Texture& again = cache.FindOrLoadPath(paths[3]);  // asked for twice, decoded once
    cache.Finish();
    EXPECT_EQ(uploads, paths) << jobs;
    EXPECT_EQ(cache.textures().count(), 24);
    EXPECT_EQ(again.width, 128);
    EXPECT_EQ(again.pixels[0], 3);
  }
  // Pixels not kept: each picture is prepared once, before its upload, and
  // on a worker whenever there are workers.
  for (unsigned jobs : {1u, 4u}) {
    TextureCache cache({root, "Textures", "Scenes"}, false);
    std::atomic<int> prepared{0};
    std::atomic<int> onLoadingThread{0};
    int uploads = 0;
    const auto loadingThread = std::this_thread::get_id();
    cache.SetHooks({[&](Texture&, const Image& image) { uploads += image.levels.size() == 1 ? 1 : 100; },
                    {},
                    [&](Image& image) {
                      ++prepared;
                      if (std::this_thread::get_id() == loadingThread) ++onLoadingThread;
                      image.levels.resize(1);
                    }});
    cache.StartWorkers(jobs);
    for (const std::string& path : paths) cache.FindOrLoadPath(path);
    cache.Finish();
    EXPECT_EQ(prepared.load(), 24) << jobs;
    EXPECT_EQ(uploads, 24) << jobs;
    EXPECT_EQ(onLoadingThread.load(), jobs > 1 ? 0 : 24);
  }
  // The first failure in request order is reported, whichever decode ends
  // first: a missing file is refused before a small bad one asked for later.
  for (int round = 0; round < 4; ++round) {
    TextureCache cache({root, "Textures", "Scenes"});
    cache.StartWorkers(4);
    // It may surface at a later request or at Finish, as decoding goes.
    auto load = [&] {
      for (int i = 0; i < 8; ++i) cache.FindOrLoadPath(paths[static_cast<std::size_t>(i)]);
      cache.FindOrLoadPath(root + "/none.tga");
      for (int i = 8; i < 16; ++i) cache.FindOrLoadPath(paths[static_cast<std::size_t>(i)]);
      cache.FindOrLoadPath(root + "/odd.tga");
      cache.Finish();
    };
    EXPECT_THAT(load, ::testing::ThrowsMessage<LoadError>("Cannot load file " + root + "/none.tga from directory"));
  }
}

TEST(TextureCache, ALoadAgainTakesOverUnchangedFilesAndKeepsTheOldForBrokenOnes) {
  testing::TempDir dir;
  const std::string root = dir.path().string();
#if defined(__EMSCRIPTEN__)
  const std::vector<unsigned> jobCounts{1u};  // a page loads with one job: it has no threads
#else
  const std::vector<unsigned> jobCounts{1u, 2u};
#endif
  for (unsigned jobs : jobCounts) {
    for (const char* name : {"same", "saved", "renamed", "broken"}) dir.Write(std::string(name) + ".tga", Tga(4, 4, 1));
    // Handles as a renderer gives them; released ones are struck off.
    uint32_t next = 1;
    std::set<uint32_t> live;
    std::vector<std::string> uploads;
    const TextureHooks hooks{[&](Texture& texture, const Image&) {
                               texture.renderHandle = next++;
                               live.insert(texture.renderHandle);
                               uploads.push_back(texture.path.substr(root.size() + 1));
                             },
                             [&](Texture& texture) { EXPECT_EQ(live.erase(texture.renderHandle), 1u) << texture.path; },
                             {}};
    const auto loadAll = [&](TextureCache& cache) {
      cache.SetHooks(hooks);
      cache.StartWorkers(jobs);
      for (const char* name : {"same", "saved", "renamed", "broken"}) cache.FindOrLoadPath(root + "/" + name + ".tga");
      cache.Finish();
    };
    auto playing = std::make_unique<TextureCache>(DataDirectories{root, "Textures", "Scenes"});
    loadAll(*playing);
    dir.Write("saved.tga", Tga(8, 8, 2));
    dir.Write("renamed.new", Tga(4, 4, 3));
    std::filesystem::rename(dir.path() / "renamed.new", dir.path() / "renamed.tga");
    dir.Write("broken.tga", "no picture");
    uploads.clear();
    {
      // A load that fails later gives back only what it made itself.
      TextureCache failed({root, "Textures", "Scenes"});
      failed.TakeOverFrom(*playing);
      loadAll(failed);
      EXPECT_EQ(uploads, (std::vector<std::string>{"saved.tga", "renamed.tga"})) << jobs;
    }
    EXPECT_EQ(live.size(), 4u);
    uploads.clear();
    auto fresh = std::make_unique<TextureCache>(DataDirectories{root, "Textures", "Scenes"});
    fresh->TakeOverFrom(*playing);
    loadAll(*fresh);
    EXPECT_EQ(uploads, (std::vector<std::string>{"saved.tga", "renamed.tga"})) << jobs;
    const auto at = [](TextureCache& cache, int i) -> Texture& {
      for (Texture& texture : cache.textures()) {
        if (i-- == 0) return texture;
      }
      throw std::out_of_range("no such texture");
    };
    EXPECT_EQ(at(*fresh, 0).renderHandle, at(*playing, 0).renderHandle);
    EXPECT_EQ(at(*fresh, 1).width, 8);
    EXPECT_EQ(at(*fresh, 3).renderHandle, at(*playing, 3).renderHandle);  // broken: the old picture
    EXPECT_EQ(at(*fresh, 3).width, 4);
    EXPECT_THAT(fresh->keptOld(), ::testing::ElementsAre(HasSubstr(root + "/broken.tga")));
    fresh->Adopt();
    playing.reset();  // gives back only the two pictures replaced
    EXPECT_EQ(live.size(), 4u);
    // The broken file is tried again next time, the others taken over.
    uploads.clear();
    dir.Write("broken.tga", Tga(2, 2, 9));
    TextureCache third({root, "Textures", "Scenes"});
    third.TakeOverFrom(*fresh);
    loadAll(third);
    EXPECT_EQ(uploads, (std::vector<std::string>{"broken.tga"})) << jobs;
    EXPECT_TRUE(third.keptOld().empty());
    third.Adopt();
    fresh.reset();
    EXPECT_EQ(live.size(), 4u);
  }
}

// |a - b| <= 3 for every sample: JPEG is lossy, even at quality 100.
void ExpectNear(const std::vector<unsigned char>& pixels, std::size_t offset, std::size_t stride, std::size_t count,
                std::initializer_list<int> sample, const std::string& what) {
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t c = 0;
    for (int expected : sample) {
      const int got = pixels[offset + i * stride + c++];
      if (std::abs(got - expected) > 3) {
        ADD_FAILURE() << what << ": pixel " << i << " sample " << c - 1 << " is " << got << ", not " << expected;
        return;
      }
    }
  }
}

TEST(JpegTexture, ColourAndGreyPicturesComeOutBottomUp) {
  TextureCache cache({kData, "textures", "scenes"});
  // Red above blue: the bottom (blue) rows come first, as blue, green, red.
  const Texture& colour = cache.FindOrLoad("colour");
  ASSERT_EQ(colour.channels, 3);
  EXPECT_EQ(colour.width, 16);
  EXPECT_EQ(colour.height, 16);
  ASSERT_EQ(colour.pixels.size(), 16u * 16 * 3);
  ExpectNear(colour.pixels, 0, 3, 128, {255, 0, 0}, "bottom half");
  ExpectNear(colour.pixels, 128 * 3, 3, 128, {0, 0, 255}, "top half");

  const Texture& grey = cache.FindOrLoad("grey");
  ASSERT_EQ(grey.channels, 1);
  ASSERT_EQ(grey.pixels.size(), 256u);
  ExpectNear(grey.pixels, 0, 1, 128, {220}, "bottom half");
  ExpectNear(grey.pixels, 128, 1, 128, {40}, "top half");
  EXPECT_EQ(&cache.FindOrLoad("grey"), &grey);
}

TEST(JpegTexture, OpacityFilesAddTheLastChannel) {
  TextureCache cache({kData, "textures", "scenes"});
  // Opacity: left half clear, right half opaque, in every row.
  const Texture& paint = cache.FindOrLoad("paint");
  ASSERT_EQ(paint.channels, 4);
  ASSERT_EQ(paint.pixels.size(), 16u * 16 * 4);
  for (std::size_t row = 0; row < 16; ++row) {
    const int blue = row < 8 ? 255 : 0;
    const int red = 255 - blue;
    ExpectNear(paint.pixels, row * 64, 4, 8, {blue, 0, red, 0}, "left, row " + std::to_string(row));
    ExpectNear(paint.pixels, row * 64 + 32, 4, 8, {blue, 0, red, 255}, "right, row " + std::to_string(row));
  }
  const Texture& ink = cache.FindOrLoad("ink");
  ASSERT_EQ(ink.channels, 2);
  ASSERT_EQ(ink.pixels.size(), 16u * 16 * 2);
  ExpectNear(ink.pixels, 0, 2, 8, {220, 0}, "bottom left");
  ExpectNear(ink.pixels, 16 * 2 * 15 + 16, 2, 8, {40, 255}, "top right");
}

TEST(JpegTexture, FailuresUseTheLoadersTexts) {
  TextureCache cache({kData, "textures", "scenes"});
  EXPECT_EQ(FailureOf(cache, "wide"), "NOPTD texture detected");
  EXPECT_EQ(FailureOf(cache, "junk"), "Cannot JPEG readparams");
  EXPECT_EQ(FailureOf(cache, "missing"), "Cannot JPEG readparams");
  // An opacity file without its picture still needs the picture.
  EXPECT_EQ(FailureOf(cache, "lonely"), "Cannot JPEG readparams");
  EXPECT_EQ(FailureOf(cache, "badalpha"), "Cannot JPEG alpha readparams");
  EXPECT_THAT(FailureOf(cache, "mismatch"), HasSubstr("mismatch.a.jpg is 8x8 but its picture "));
  EXPECT_THAT(FailureOf(cache, "mismatch"), HasSubstr("mismatch.jpg is 16x16"));
  EXPECT_EQ(cache.textures().count(), 0);
}

TEST(JpegTexture, MeshTexturesComeFromTheCache) {
  testing::TempDir dir;
  const std::string root = dir.path().string();
  std::filesystem::create_directories(dir.path() / "tex");
  for (const char* name : {"colour.jpg", "paint.jpg", "paint.a.jpg"}) {
    std::filesystem::copy_file(kData + "/textures/" + name, dir.path() / "tex" / name);
  }
  Kq7Description d;
  d.flags = HasTexture | HasSecondTexture;
  d.textureName = "colour";
  d.secondTextureName = "paint";
  d.positions = {{0, 0, 0}};
  const auto bytes = WriteKq7(d);
  dir.Write("Objects/a.kq7", std::string(bytes.begin(), bytes.end()));
  d.secondTextureName = "nothing";
  const auto broken = WriteKq7(d);
  dir.Write("Objects/b.kq7", std::string(broken.begin(), broken.end()));

  const DataDirectories dirs{root, "tex", "scenes"};
  TextureCache textures(dirs);
  MeshCache meshes(dirs, textures);
  const Mesh& mesh = meshes.FindOrLoad("Objects/a.lwo");
  EXPECT_EQ(mesh.texture(), &textures.FindOrLoad("colour"));
  EXPECT_EQ(mesh.texture2(), &textures.FindOrLoad("paint"));
  EXPECT_EQ(mesh.texture2()->channels, 4);
  EXPECT_EQ(textures.textures().count(), 2);

  try {
    meshes.FindOrLoad("Objects/b.lwo");
    ADD_FAILURE() << "a mesh with a missing texture loaded";
  } catch (const LoadError& e) {
    EXPECT_STREQ(e.what(), "Cannot JPEG readparams");
  }
  EXPECT_EQ(meshes.meshes().count(), 1);
}

}  // namespace
}  // namespace stagwerk
