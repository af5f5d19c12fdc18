// Pictures kq7 writes for meshes and scenes, read back with the player's own
// image loading: power-of-two sizes, opacity files, glTF's embedded images
// and alpha modes, IFF pictures, and textures that cannot be had.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "Kq7TestFiles.h"
#include "PngFile.h"
#include "SceneFiles.h"
#include "SceneText.h"
#include "kq7/ScenePictures.h"
#include "kq7/formats/ToolError.h"
#include "kq7/formats/pictures/IffPicture.h"
#include "kq7/formats/pictures/PictureFitting.h"
#include "textures/Image.h"

namespace stagwerk::testing {
namespace {

namespace fs = std::filesystem;

// A PNG of width x height whose pixel (x, y) is rgba(x, y).
template <typename F>
std::string Png(int width, int height, F rgba) {
  std::vector<unsigned char> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (unsigned char v : rgba(x, y)) pixels.push_back(v);
  return PngBytes(width, height, pixels);
}
using Rgba = std::array<unsigned char, 4>;

// Samples of pixel (x, y) counted from the top, as the player holds them
// (rows bottom-up; BGR or BGRA).
std::vector<int> Texel(const Image& image, int x, int y) {
  const std::size_t at = ((std::size_t(image.height) - 1 - y) * image.width + x) * image.channels;
  return {image.pixels.begin() + at, image.pixels.begin() + at + image.channels};
}

std::string QuadObj(const TempDir& dir, const std::string& picture) {
  dir.Write("src/quad.mtl", "newmtl m\nmap_Kd " + picture + "\n");
  return dir.Write("src/quad.obj", "mtllib quad.mtl\nv -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
                                   "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nusemtl m\nf 1/1 2/2 3/3 4/4\n");
}

TEST(Kq7Pictures, PngWithAlphaBecomesColourAndOpacityJpegsOfPowerOfTwoSides) {
  EXPECT_EQ(kq7::TextureSide(300), 256);
  EXPECT_EQ(kq7::TextureSide(400), 512);
  EXPECT_EQ(kq7::TextureSide(5000), 2048);
  EXPECT_EQ(kq7::TextureSide(1), 1);

  TempDir dir;
  const std::string obj = QuadObj(dir, "brick.png");
  const std::string png = Png(300, 200, [](int x, int) { return Rgba{255, 0, 0, static_cast<unsigned char>(x < 150 ? 255 : 0)}; });
  dir.Write("src/brick.png", png);
  fs::create_directories(dir / "data/Objects");
  const ToolRun run = RunTool({"convert", obj, dir / "data/Objects/quad.kq7"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("textures/brick.jpg (converted from"), std::string::npos) << run.out;
  EXPECT_EQ(LoadKq7(dir / "data/Objects/quad.kq7")->textureName(), "brick");

  const Image image = Image::Load(dir / "data/textures/brick.jpg");
  ASSERT_EQ(image.channels, 4);  // the opacity file beside it was read
  EXPECT_EQ(image.width, 256);
  EXPECT_EQ(image.height, 256);
  const std::vector<int> left = Texel(image, 40, 128), right = Texel(image, 220, 128);
  EXPECT_LT(left[0], 20);   // blue
  EXPECT_GT(left[2], 235);  // red
  EXPECT_GT(left[3], 245);
  EXPECT_LT(right[3], 10);
  EXPECT_EQ(ReadFile(dir / "src/brick.png"), png);

  // Made opaque, the picture loses its opacity file rather than keeping a stale one.
  dir.Write("src/brick.png", Png(300, 200, [](int, int) { return Rgba{0, 0, 255, 255}; }));
  ASSERT_EQ(RunTool({"convert", obj, dir / "data/Objects/quad.kq7"}).status, 0);
  EXPECT_FALSE(fs::exists(dir / "data/textures/brick.a.jpg"));
  EXPECT_EQ(Image::Load(dir / "data/textures/brick.jpg").channels, 3);
}

// A triangle with UVs whose material shows image 0 with the given alpha mode.
nlohmann::json TexturedTriangle(const std::string& alphaMode, const std::string& materialName) {
  GltfPrimitive g;
  g.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  g.indices = {0, 1, 2};
  g.uv0 = {{0, 0}, {1, 0}, {0, 1}};
  nlohmann::json doc = nlohmann::json::parse(GltfText(g));
  doc["meshes"][0]["primitives"][0]["material"] = 0;
  doc["materials"] = {{{"name", materialName}, {"alphaMode", alphaMode},
                       {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}}}}}}};
  doc["textures"] = {{{"source", 0}}};
  return doc;
}

// Left half alpha 200, right half 100.
std::string HalfAndHalf() { return Png(8, 8, [](int x, int) { return Rgba{0, 255, 0, static_cast<unsigned char>(x < 4 ? 200 : 100)}; }); }

// The glTF picture's file, data: URI or buffer view is converted under its one-word name.
TEST(Kq7Pictures, GltfImagesNameTheTextureAndFollowTheAlphaMode) {
  TempDir dir;
  nlohmann::json gltf = TexturedTriangle("MASK", "Leaf");
  gltf["images"] = {{{"name", "leaf sheet"}, {"uri", "data:image/png;base64," + Base64(HalfAndHalf())}}};
  // A second primitive on another material and image: one texture a mesh, said.
  gltf["materials"].push_back(gltf["materials"][0]);
  gltf["materials"][1]["pbrMetallicRoughness"]["baseColorTexture"]["index"] = 1;
  gltf["textures"].push_back({{"source", 1}});
  gltf["images"].push_back({{"uri", "bark.png"}});
  gltf["meshes"][0]["primitives"].push_back(gltf["meshes"][0]["primitives"][0]);
  gltf["meshes"][0]["primitives"][1]["material"] = 1;
  const std::string in = dir.Write("src/leaf.gltf", gltf.dump());
  fs::create_directories(dir / "data/Objects");
  const ToolRun run = RunTool({"convert", in, dir / "data/Objects/leaf.kq7"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, ::testing::HasSubstr("1 more base colour texture(s) of its materials are dropped"));
  EXPECT_EQ(LoadKq7(dir / "data/Objects/leaf.kq7")->textureName(), "leaf_sheet");
  const Image mask = Image::Load(dir / "data/textures/leaf_sheet.jpg");
  ASSERT_EQ(mask.channels, 4);
  EXPECT_GT(Texel(mask, 1, 4)[3], 235);  // 200 is above the cutoff of 0.5
  EXPECT_LT(Texel(mask, 6, 4)[3], 20);   // 100 below it

  // A .glb's image in the binary chunk, BLEND: opacity kept; the material names it.
  nlohmann::json glb = TexturedTriangle("BLEND", "Glass");
  const std::string png = HalfAndHalf();
  for (auto& view : glb["bufferViews"]) view["buffer"] = 1;
  glb["buffers"].insert(glb["buffers"].begin(), {{"byteLength", png.size()}});
  glb["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", 0}, {"byteLength", png.size()}});
  glb["images"] = {{{"bufferView", glb["bufferViews"].size() - 1}, {"mimeType", "image/png"}}};
  std::string json = glb.dump(), bin = png;
  json.resize((json.size() + 3) / 4 * 4, ' ');
  bin.resize((bin.size() + 3) / 4 * 4, '\0');
  const auto u32 = [](std::size_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  const std::string file = "glTF" + u32(2) + u32(28 + json.size() + bin.size()) + u32(json.size()) + "JSON" + json +
                           u32(bin.size()) + std::string("BIN\0", 4) + bin;
  const ToolRun scene = RunTool({"scene", dir.Write("src/glass.glb", file), dir / "demo"});
  ASSERT_EQ(scene.status, 0) << scene.err;
  EXPECT_NE(scene.out.find("textures/Glass.jpg (converted from"), std::string::npos) << scene.out;
  EXPECT_EQ(LoadKq7(dir / "demo/Objects/glass_mesh0.kq7")->textureName(), "Glass");
  const Image blend = Image::Load(dir / "demo/textures/Glass.jpg");
  ASSERT_EQ(blend.channels, 4);
  EXPECT_NEAR(Texel(blend, 1, 4)[3], 200, 12);
  EXPECT_NEAR(Texel(blend, 6, 4)[3], 100, 12);
}

// A texture, a flare and a backdrop that cannot be had leave a scene the
// player loads, with warnings and status 0.
TEST(Kq7Pictures, MissingPicturesAreDroppedWithWarnings) {
  TempDir dir;
  QuadObj(dir, "gone.png");
  const std::string lws = dir.Write(
      "src/show.lws", SceneHeader() + "LoadObjectLayer 1 quad.obj\nShowObject 6 3\nObjectMotion\n" + Motion9() +
                          "ShadowOptions 7\n\nBGImage \"Images/sky.iff\"\n" +
                          LightBlock("Sun", "LightIntensity 1\n", "LightType 1\n", "ShadowType 1\n",
                                     "LensFlare 1\nFlareIntensity 0.5\n") +
                          CameraBlock());
  const ToolRun run = RunTool({"scene", lws, dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("the texture gone is dropped"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("light Sun: its lens flare needs textures/Sun.jpg"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("BGImage Images/sky.iff"), std::string::npos) << run.err;
  const std::string written = ReadFile(dir / "data/scenes/show.lws");
  EXPECT_EQ(written.find("BGImage"), std::string::npos);
  EXPECT_EQ(written.find("LensFlare 1"), std::string::npos);
  EXPECT_FALSE(LoadKq7(dir / "data/quad.kq7")->Has(HasTexture));
  EXPECT_NO_THROW(LoadDemoScene(dir / "data", "show"));

  // A glTF texture only in KTX2 form: dropped with a warning.
  nlohmann::json gltf = TexturedTriangle("OPAQUE", "Basis");
  gltf["textures"] = {{{"extensions", {{"KHR_texture_basisu", {{"source", 0}}}}}}};
  gltf["images"] = {{{"uri", "basis.ktx2"}}};
  const ToolRun basis = RunTool({"convert", dir.Write("src/basis.gltf", gltf.dump()), dir / "data/basis.kq7"});
  ASSERT_EQ(basis.status, 0) << basis.err;
  EXPECT_NE(basis.err.find("only in KTX2 or WebP form"), std::string::npos) << basis.err;
  EXPECT_FALSE(LoadKq7(dir / "data/basis.kq7")->Has(HasTexture));
}

// A backdrop with opacity becomes a 32-bit TGA the scene names, its bottom
// row stored first; an opaque one a JPEG.
TEST(Kq7Pictures, BackdropsBecomeTgaWithOpacityAndJpegWithout) {
  TempDir dir;
  dir.Write("src/Images/fog.png", Png(4, 4, [](int, int y) {
              return y == 0 ? Rgba{255, 0, 0, 10} : y == 3 ? Rgba{0, 0, 255, 250} : Rgba{0, 255, 0, 128};
            }));
  dir.Write("src/Images/sky.png", Png(30, 20, [](int, int) { return Rgba{0, 0, 255, 255}; }));
  const std::string lws = dir.Write("src/show.lws", SceneHeader() + "BGImage \"C:\\LW\\Images\\sky.png\"\n" +
                                                        "FGImage \"Images/fog.png\"\n" + CameraBlock());
  const ToolRun run = RunTool({"scene", lws, dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string written = ReadFile(dir / "data/scenes/show.lws");
  EXPECT_NE(written.find("BGImage 1 0 0 0 \"textures/sky.jpg\""), std::string::npos) << written;
  EXPECT_NE(written.find("FGImage 1 0 0 0 \"textures/fog.tga\""), std::string::npos) << written;
  EXPECT_EQ(Image::Load(dir / "data/textures/sky.jpg").width, 32);
  const Image fog = Image::Load(dir / "data/textures/fog.tga");
  ASSERT_EQ(fog.channels, 4);
  EXPECT_EQ(std::vector<int>(fog.pixels.begin(), fog.pixels.begin() + 4), (std::vector<int>{255, 0, 0, 250}));
  EXPECT_EQ(Texel(fog, 0, 0), (std::vector<int>{0, 0, 255, 10}));
  EXPECT_NO_THROW(LoadDemoScene(dir / "data", "show"));
}

// Opacity of every level and edge survives our grey JPEG through the player's decoder.
TEST(Kq7Pictures, OpacityJpegCarriesDetailThroughThePlayersDecoder) {
  TempDir dir;
  kq7::Picture p;
  p.width = 64;
  p.height = 32;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const int a = (x / 4 + y / 4) % 2 ? x * 4 : 255 - y * 8;
      for (int k = 0; k < 3; ++k) p.rgba.push_back(128);
      p.rgba.push_back(static_cast<unsigned char>(a));
    }
  dir.Write("t.jpg", kq7::EncodeJpeg(p, false, kq7::kColourQuality));
  dir.Write("t.a.jpg", kq7::EncodeJpeg(p, true, kq7::kOpacityQuality));
  const Image image = Image::Load(dir / "t.jpg");
  ASSERT_EQ(image.channels, 4);
  double total = 0;
  int worst = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const int error = std::abs(Texel(image, x, y)[3] - p.At(x, y)[3]);
      total += error;
      worst = std::max(worst, error);
    }
  EXPECT_LT(total / (p.width * p.height), 3.0);
  EXPECT_LT(worst, 40);
}

// ILBM, 4 x 2, two planes and a mask plane, ByteRun1: literal and repeat runs.
std::string Ilbm(bool cut) {
  const auto be = [](uint32_t v, int n) {
    std::string s;
    for (int i = n - 1; i >= 0; --i) s += char(v >> (8 * i));
    return s;
  };
  const std::string bmhd = be(4, 2) + be(2, 2) + be(0, 4) + "\x02\x01\x01" + std::string(1, '\0') + be(0, 2) +
                           "\x0a\x0b" + be(4, 2) + be(2, 2);
  const std::string cmap = std::string("\x00\x00\x00\xff\x00\x00\x00\xff\x00\x00\x00\xff", 12);
  // Row 0: indices 0 1 2 3 (plane 0 0101, plane 1 0011), mask 1111; row 1: all 0, mask 0110.
  // Each plane row is 2 bytes: row 0 a literal run of 6, row 1 a run of four zeros and a literal 60 00.
  std::string body = std::string("\x05\x50\x00\x30\x00\xf0\x00", 7) + std::string("\xfd\x00\x01\x60\x00", 5);
  if (cut) body.resize(5);
  const auto chunk = [&](const std::string& id, std::string data) {
    const std::string head = id + be(static_cast<uint32_t>(data.size()), 4);
    if (data.size() % 2) data += '\0';
    return head + data;
  };
  const std::string form = "ILBM" + chunk("BMHD", bmhd) + chunk("CMAP", cmap) + chunk("BODY", body);
  return "FORM" + be(static_cast<uint32_t>(form.size()), 4) + form;
}

TEST(Kq7Pictures, IlbmColoursMaskAndShortBody) {
  const std::string bytes = Ilbm(false);
  const kq7::Picture p = kq7::ReadIffPicture(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), "a.iff");
  ASSERT_EQ(p.width, 4);
  ASSERT_EQ(p.height, 2);
  const auto at = [&](int x, int y) { return std::vector<int>(p.At(x, y), p.At(x, y) + 4); };
  EXPECT_EQ(at(0, 0), (std::vector<int>{0, 0, 0, 255}));
  EXPECT_EQ(at(1, 0), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ(at(2, 0), (std::vector<int>{0, 255, 0, 255}));
  EXPECT_EQ(at(3, 0), (std::vector<int>{0, 0, 255, 255}));
  EXPECT_EQ(at(0, 1), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(at(1, 1), (std::vector<int>{0, 0, 0, 255}));
  EXPECT_EQ(at(3, 1)[3], 0);

  const std::string cut = Ilbm(true);
  try {
    kq7::ReadIffPicture(reinterpret_cast<const unsigned char*>(cut.data()), cut.size(), "cut.iff");
    ADD_FAILURE() << "a short BODY read";
  } catch (const kq7::InputError& e) {
    EXPECT_NE(std::string(e.what()).find("cut.iff: its ByteRun1 BODY ends"), std::string::npos) << e.what();
  }
}

// What the user sees: a quad whose PNG is red above, green below on its
// left half and transparent on its right, converted by kq7 and drawn by the
// player: upright, unmirrored, and cut where the picture is clear.
TEST(Kq7Pictures, PlayerDrawsTheConvertedPictureWithItsOpacity) {
  TempDir dir;
  dir.Write("demo/defaultdemoconfig.txt", "window 64 64 32 1 1 none.ogg data textures scenes show\n");
  dir.Write("demo/data/show.txt", "quad 1 00:00:00:000\n");
  kq7::Picture grey;
  grey.width = grey.height = 8;
  grey.rgba.assign(8 * 8 * 4, 128);
  dir.Write("demo/data/textures/PleaseWaitLoading.jpg", kq7::EncodeJpeg(grey, false, 90));
  dir.Write("demo/data/scenes/quad.lws", SceneHeader() + CameraBlock("", "ZoomFactor 1\n") +
                                             "LoadObjectLayer 1 Objects/Quad.lwo\nShowObject 6 3\nObjectMotion\n" +
                                             Motion9(0, 0, 5) + "UnaffectedByFog 1\nShadowOptions 7\n\n");
  dir.Write("src/quad.mtl", "newmtl m\nmap_Kd look.png\n");
  dir.Write("src/look.png", Png(64, 48, [](int x, int y) {
              return x >= 32 ? Rgba{255, 255, 255, 0} : y < 24 ? Rgba{255, 0, 0, 255} : Rgba{0, 255, 0, 255};
            }));
  const std::string obj = dir.Write("src/quad.obj", "mtllib quad.mtl\nv -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
                                                    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nusemtl m\nf 1/1 2/2 3/3 4/4\n");
  const ToolRun run = RunTool({"convert", obj, dir / "demo/data/Objects/Quad.kq7"});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(fs::exists(dir / "demo/data/textures/look.a.jpg")) << run.out;

  const std::string out = dir / "quad.png";
  const std::string command = "cd '" + (dir / "demo") +
                              "' && SDL_VIDEODRIVER=offscreen DISPLAY= ASAN_OPTIONS=detect_leaks=0 XDG_CONFIG_HOME='" +
                              dir.path().string() + "' '" STAGWERK_BINARY "' --render quad --at 0 --size 64x64 --out '" +
                              out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const Picture shown = ReadPng(out);
  ASSERT_EQ(shown.width, 64);
  const auto near = [](std::array<int, 3> c, std::array<int, 3> want) {
    for (int k = 0; k < 3; ++k) {
      if (std::abs(c[k] - want[k]) > 40) return false;
    }
    return true;
  };
  EXPECT_TRUE(near(shown.At(28, 28), {255, 0, 0})) << shown.At(28, 28)[0] << " " << shown.At(28, 28)[1];
  EXPECT_TRUE(near(shown.At(28, 36), {0, 255, 0})) << shown.At(28, 36)[0] << " " << shown.At(28, 36)[1];
  EXPECT_EQ(shown.At(36, 32), (std::array<int, 3>{0, 0, 0}));  // white, but cut out
}

}  // namespace
}  // namespace stagwerk::testing

namespace stagwerk::testing {
namespace {

// Two LightWave objects' pictures of one name from different files: the
// second overwrites the first, which is said; the same file twice is not.
TEST(Kq7Pictures, OnePictureNameFromTwoSourcesIsSaid) {
  std::map<std::string, std::string> notes;
  EXPECT_TRUE(kq7::NotePictureLines("  d/textures/wood.jpg (converted from a/wood.iff, 300x200 -> 256x256)\n", notes).empty());
  EXPECT_TRUE(kq7::NotePictureLines("  d/textures/wood.jpg (converted from a/wood.iff, 300x200 -> 256x256)\n", notes).empty());
  const auto clashes = kq7::NotePictureLines("  d/textures/wood.jpg (copied from b/wood.jpg)\n", notes);
  ASSERT_EQ(clashes.size(), 1u);
  EXPECT_EQ(clashes[0], "textures/wood.jpg is made from a/wood.iff and then from b/wood.jpg: two pictures of one name; "
                        "the second is kept");
}

}  // namespace
}  // namespace stagwerk::testing
