// Decodes files made by cjpeg and holds the pictures against djpeg's.
// djpeg's float transform is the same factorisation as ours, so full-chroma
// and grey files must agree with it within 2; its default integer transform
// rounds differently, so there we ask for a high PSNR.

#include "JpegTestSupport.h"

#include <gtest/gtest.h>

using namespace jpegtest;

namespace {

// Core variants run at every size; the rest at two sizes that are not whole MCUs.
const std::pair<int, int> kSizes[] = {{1, 1}, {7, 5}, {33, 17}, {64, 48}, {100, 75}};
const std::pair<int, int> kSomeSizes[] = {{33, 17}, {100, 75}};

void RequireTools() {
  ASSERT_TRUE(ToolAvailable("cjpeg") && ToolAvailable("djpeg"))
      << "cjpeg and djpeg (libjpeg-turbo-progs) must be on PATH for the oracle tests";
}

enum class Expect {
  kNear,  // max difference 2 against djpeg's float transform
  kPsnr,  // PSNR of at least 40 dB against djpeg's default output
};

void Check(const TempDir& dir, const Picture& pic, const std::string& options, Expect expect) {
  SCOPED_TRACE("cjpeg " + options + " at " + std::to_string(pic.w) + "x" + std::to_string(pic.h));
  std::vector<uint8_t> jpg = Encode(dir, pic, options);
  ASSERT_FALSE(jpg.empty()) << "cjpeg failed";
  Picture ours, ref, refFloat;
  ASSERT_EQ(Decode(jpg, ours), 0);
  ASSERT_TRUE(Reference(dir, jpg, "", ref));
  ASSERT_EQ(ours.px.size(), ref.px.size());
  EXPECT_EQ(ours.w, ref.w);
  EXPECT_EQ(ours.h, ref.h);
  if (expect == Expect::kNear) {
    ASSERT_TRUE(Reference(dir, jpg, "-dct float", refFloat));
    EXPECT_LE(MaxDiff(ours, refFloat), 2);
    // Grey output has no colour conversion to widen the gap between transforms.
    if (pic.ch == 1 || options.find("-grayscale") != std::string::npos) {
      EXPECT_LE(MaxDiff(ours, ref), 2);
    }
    EXPECT_GE(Psnr(ours, ref), 45.0);
  } else {
    EXPECT_GE(Psnr(ours, ref), 40.0);
  }
}

}  // namespace

TEST(JpegOracle, GreyFilesMatchWithinTwo) {
  RequireTools();
  TempDir dir;
  for (auto [w, h] : kSizes) {
    Check(dir, MakePhoto(w, h, 1), "-progressive", Expect::kNear);
    Check(dir, MakePhoto(w, h, 3), "-grayscale -restart 1B", Expect::kNear);
  }
  const char* variants[] = {"-quality 10", "-quality 75", "-quality 100", "-progressive", "-restart 1B", "-optimize"};
  for (auto [w, h] : kSomeSizes) {
    for (const char* v : variants) {
      Check(dir, MakePhoto(w, h, 1), v, Expect::kNear);
      Check(dir, MakePhoto(w, h, 3), std::string("-grayscale ") + v, Expect::kNear);
    }
  }
}

TEST(JpegOracle, FullChromaFilesMatchWithinTwo) {
  RequireTools();
  TempDir dir;
  const char* variants[] = {"-quality 10",  "-quality 50",  "-quality 90",          "-quality 100",
                            "-optimize",    "-progressive", "-restart 1",           "-progressive -restart 2B",
                            "-restart 3B",  "-rgb",         "-progressive -quality 100"};
  for (auto [w, h] : kSizes) {
    Check(dir, MakeBlocks(w, h), "-sample 1x1 -quality 95", Expect::kNear);
    Check(dir, MakePhoto(w, h, 3), "-sample 1x1 -progressive -restart 1B", Expect::kNear);
  }
  for (auto [w, h] : kSomeSizes) {
    for (const char* v : variants) {
      Check(dir, MakePhoto(w, h, 3), std::string("-sample 1x1 ") + v, Expect::kNear);
      Check(dir, MakeBlocks(w, h), std::string("-sample 1x1 ") + v, Expect::kNear);
    }
  }
}

TEST(JpegOracle, SubsampledFilesReachFortyDecibels) {
  RequireTools();
  TempDir dir;
  // Ratios of 2 use the same triangle filter as djpeg, so they stay near it
  // even at hard colour edges.
  const char* triangle[] = {"-quality 10",     "-quality 30",          "-quality 75",
                            "-quality 100",    "-optimize",            "-progressive",
                            "-restart 1",      "-progressive -restart 1", "-sample 2x1",
                            "-sample 1x2",     "-sample 2x1,1x2,1x1",  "-sample 1x1,2x2,1x1",
                            "-sample 2x2,1x2,1x1", "-progressive -sample 2x1"};
  // djpeg replicates at larger ratios where we interpolate: compare smooth colour only.
  const char* wide[] = {"-sample 4x1", "-sample 1x4", "-sample 4x2", "-sample 2x4",
                        "-sample 3x1", "-sample 3x2", "-progressive -sample 4x1", "-sample 4x1,2x1,1x1"};
  for (auto [w, h] : kSizes) {
    Check(dir, MakeBlocks(w, h), "-progressive -restart 1B", Expect::kNear);
    Check(dir, MakePhoto(w, h, 3), "-sample 4x2", Expect::kPsnr);
  }
  for (auto [w, h] : kSomeSizes) {
    for (const char* v : triangle) {
      Check(dir, MakePhoto(w, h, 3), v, Expect::kPsnr);
      Check(dir, MakeBlocks(w, h), v, Expect::kNear);
    }
    for (const char* v : wide) Check(dir, MakePhoto(w, h, 3), v, Expect::kPsnr);
  }
}

TEST(JpegOracle, ExtendedSequentialWithSixteenBitTables) {
  RequireTools();
  TempDir dir;
  // Qualities this low need quantiser values above 255.
  std::vector<uint8_t> jpg = Encode(dir, MakePhoto(64, 48, 3), "-quality 3");
  ASSERT_NE(FindMarker(jpg, 0xC1), std::string::npos) << "expected an extended sequential frame";
  size_t dqt = FindMarker(jpg, 0xDB);
  ASSERT_NE(dqt, std::string::npos);
  EXPECT_EQ(jpg[dqt + 4] >> 4, 1) << "expected 16-bit quantisation values";
  Picture ours, ref;
  ASSERT_EQ(Decode(jpg, ours), 0);
  ASSERT_TRUE(Reference(dir, jpg, "", ref));
  EXPECT_GE(Psnr(ours, ref), 40.0);
}

TEST(JpegOracle, ArithmeticCodedFilesAreRefused) {
  RequireTools();
  TempDir dir;
  for (const char* v : {"-arithmetic", "-arithmetic -progressive", "-arithmetic -grayscale"}) {
    std::vector<uint8_t> jpg = Encode(dir, MakePhoto(33, 17, 3), v);
    ASSERT_FALSE(jpg.empty());
    Picture ours;
    EXPECT_EQ(Decode(jpg, ours), JPEG_ERR_UNSUPPORTED_FRAME) << v;
  }
}

// The texture loader's sequence: parameters from a file, then the image of
// the same file bottom-up as BGR, the file staying open in between.
TEST(JpegOracle, FileReadsKeepTheFileOpenAndWriteBottomUp) {
  RequireTools();
  TempDir dir;
  std::vector<uint8_t> jpg = Encode(dir, MakePhoto(64, 48, 3), "-progressive -sample 2x2");
  Picture ref;
  ASSERT_TRUE(Reference(dir, jpg, "", ref));
  fs::path file = dir.path() / "texture.jpg";
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(jpg.data()), static_cast<std::streamsize>(jpg.size()));

  JPEG_PROPERTIES p;
  ASSERT_EQ(jpegInit(&p), 0);
  std::string name = file.string();
  p.jpgFile = name.c_str();
  ASSERT_EQ(jpegRead(&p, READ_PARAMS_FILE), 0);
  ASSERT_EQ(p.jpgWidth, 64u);
  ASSERT_EQ(p.jpgHeight, 48u);
  ASSERT_EQ(p.jpgChannels, 3);
#if !defined(__EMSCRIPTEN__)
  // (Under node, Emscripten's fstat looks an open file up by its name.)
  fs::remove(file);  // only the handle opened by the parameter read is left
#endif

  std::vector<uint8_t> px(64 * 48 * 3);
  p.dibBytes = px.data();
  p.dibWidth = 64;
  p.dibHeight = -48;
  p.dibPadBytes = 0;
  p.dibChannels = 3;
  p.dibColor = COLOR_BGR;
  p.jpgColor = COLOR_YCBCR;
  ASSERT_EQ(jpegRead(&p, READ_IMAGE_FILE), 0);
  EXPECT_EQ(jpegFree(&p), 0);

  Picture ours{64, 48, 3, std::vector<uint8_t>(px.size())};
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      for (int c = 0; c < 3; ++c)
        ours.px[static_cast<size_t>((y * 64 + x) * 3 + c)] = px[static_cast<size_t>(((47 - y) * 64 + x) * 3 + (2 - c))];
  EXPECT_GE(Psnr(ours, ref), 40.0);
}

// Sequential files whose components come in separate scans (a cjpeg scan
// script) go through the coefficient store instead of the streaming path.
TEST(JpegOracle, NonInterleavedSequentialScans) {
  RequireTools();
  TempDir dir;
  fs::path script = dir.path() / "scans.txt";
  std::ofstream(script) << "0;\n1;\n2;\n";
  fs::path pairs = dir.path() / "pairs.txt";
  std::ofstream(pairs) << "0: 0 63 0 0;\n1,2: 0 63 0 0;\n";
  for (auto [w, h] : kSomeSizes) {
    for (const char* sampling : {"-sample 1x1", "-sample 2x2", "-sample 2x1"}) {
      Check(dir, MakeBlocks(w, h), std::string(sampling) + " -scans " + script.string(), Expect::kNear);
      Check(dir, MakePhoto(w, h, 3), std::string(sampling) + " -scans " + pairs.string(), Expect::kNear);
    }
  }
}
