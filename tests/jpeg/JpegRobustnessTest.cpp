// Broken files: every corpus file cut at every length and with single bytes
// changed must give a picture or an error code, never a crash or a read or
// write outside the buffers (this runs under the sanitizers in CI).

#include "JpegTestSupport.h"

#include <gtest/gtest.h>

using namespace jpegtest;

namespace {

// Decodes like the texture loader would, into a buffer sized exactly from
// the parameter read; answers the code of the read that failed.
int DecodeExact(const std::vector<uint8_t>& jpg, bool fileOrderBgr) {
  JPEG_PROPERTIES p;
  if (jpegInit(&p) != 0) return -100;
  p.jpgBytes = jpg.data();
  p.jpgSizeBytes = static_cast<uint32_t>(jpg.size());
  int rc = jpegRead(&p, READ_PARAMS_BUFFER);
  if (rc == 0) {
    int ch = p.jpgChannels == 1 ? 1 : 3;
    std::vector<uint8_t> px(static_cast<size_t>(p.jpgWidth) * p.jpgHeight * static_cast<size_t>(ch));
    p.dibBytes = px.data();
    p.dibWidth = p.jpgWidth;
    p.dibHeight = fileOrderBgr ? -static_cast<int32_t>(p.jpgHeight) : static_cast<int32_t>(p.jpgHeight);
    p.dibChannels = ch;
    p.dibColor = ch == 1 ? COLOR_GRAY : COLOR_BGR;
    p.jpgColor = ch == 1 ? COLOR_GRAY : COLOR_YCBCR;
    rc = jpegRead(&p, READ_IMAGE_BUFFER);
  }
  EXPECT_EQ(jpegFree(&p), 0);
  return rc;
}

void ExpectKnownCode(int rc) {
  EXPECT_TRUE(rc == 0 || (rc <= -1 && rc >= -30)) << "unexpected code " << rc;
}

}  // namespace

TEST(JpegRobustness, CutAndFlippedFilesFailCleanly) {
  ASSERT_TRUE(ToolAvailable("cjpeg")) << "cjpeg (libjpeg-turbo-progs) must be on PATH";
  TempDir dir;
  struct Source {
    Picture pic;
    const char* options;
  };
  const Source sources[] = {
      {MakePhoto(33, 17, 3), "-restart 1B"},
      {MakePhoto(33, 17, 3), "-progressive"},
      {MakePhoto(17, 9, 3), "-progressive -sample 1x1 -restart 1B"},
      {MakePhoto(23, 13, 3), "-progressive -sample 2x1,1x2,1x1"},
      {MakePhoto(7, 5, 1), "-optimize"},
      {MakePhoto(1, 1, 3), ""},
      {MakePhoto(16, 16, 3), "-quality 3 -sample 4x1"},
  };
  int decoded = 0, refused = 0;
  for (const Source& s : sources) {
    std::vector<uint8_t> jpg = Encode(dir, s.pic, s.options);
    ASSERT_FALSE(jpg.empty()) << s.options;
    ASSERT_EQ(DecodeExact(jpg, true), 0) << s.options;
    SCOPED_TRACE(s.options);
    for (size_t n = 0; n < jpg.size(); ++n) {
      std::vector<uint8_t> cut(jpg.begin(), jpg.begin() + static_cast<ptrdiff_t>(n));
      // An empty vector has no data pointer; keep one byte of storage behind it.
      cut.reserve(1);
      int rc = DecodeExact(cut, n % 2 == 0);
      ExpectKnownCode(rc);
      (rc == 0 ? decoded : refused)++;
    }
    for (size_t i = 0; i < jpg.size(); ++i) {
      for (uint8_t mask : {static_cast<uint8_t>(0xFF), static_cast<uint8_t>(1u << (i % 8))}) {
        std::vector<uint8_t> flipped = jpg;
        flipped[i] ^= mask;
        int rc = DecodeExact(flipped, i % 2 == 0);
        ExpectKnownCode(rc);
        (rc == 0 ? decoded : refused)++;
      }
    }
  }
  // Both outcomes must actually occur, or the sweep tests nothing.
  EXPECT_GT(decoded, 100);
  EXPECT_GT(refused, 100);
}
