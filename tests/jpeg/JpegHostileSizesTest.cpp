// Files whose headers claim far more than their bytes hold: each is refused
// before memory is set aside for the claim, or decoded in time that follows
// the bytes present.

#include "JpegTestSupport.h"

#include "jpeg/JpegInternal.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace jpegtest;

namespace {

using Clock = std::chrono::steady_clock;

void Put16(std::vector<uint8_t>& b, size_t at, int v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

// A cjpeg file whose frame is made to claim width x height, cut a few bytes
// into its first scan.
std::vector<uint8_t> Claiming(const std::string& options, int width, int height) {
  TempDir dir;
  std::vector<uint8_t> jpg = Encode(dir, MakePhoto(16, 16, 3), options);
  size_t sof = FindMarker(jpg, options.find("progressive") != std::string::npos ? 0xC2 : 0xC0);
  size_t sos = FindMarker(jpg, 0xDA);
  if (sof == std::string::npos || sos == std::string::npos) return {};
  Put16(jpg, sof + 5, height);
  Put16(jpg, sof + 7, width);
  jpg.resize(sos + 2 + static_cast<size_t>(jpg[sos + 2] << 8 | jpg[sos + 3]) + 4);
  jpg.insert(jpg.end(), {0xFF, 0xD9});
  return jpg;
}

// Reads the image into a one-pixel output; answers the code and whether the
// decoder set aside sample rows or coefficients for the frame.
int ReadIntoOnePixel(const std::vector<uint8_t>& jpg, bool& setAside) {
  JPEG_PROPERTIES p;
  EXPECT_EQ(jpegInit(&p), 0);
  p.jpgBytes = jpg.data();
  p.jpgSizeBytes = static_cast<uint32_t>(jpg.size());
  int rc = jpegRead(&p, READ_PARAMS_BUFFER);
  uint8_t px[3] = {};
  if (rc == 0) {
    p.dibBytes = px;
    p.dibWidth = 1;
    p.dibHeight = 1;
    p.dibChannels = p.jpgChannels == 1 ? 1 : 3;
    p.dibColor = p.jpgChannels == 1 ? COLOR_GRAY : COLOR_RGB;
    rc = jpegRead(&p, READ_IMAGE_BUFFER);
  }
  setAside = false;
  for (const jpeg::Component& c : p.state.work->frame.comps) setAside = setAside || c.planeSize > 0 || !c.coef.empty();
  jpegFree(&p);
  return rc;
}

// Entropy-coded bytes from a string of '0' and '1', padded with ones and
// with 0xFF stuffed.
std::vector<uint8_t> Bits(const std::string& bits) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < bits.size(); i += 8) {
    std::string byte = bits.substr(i, 8);
    byte.resize(8, '1');
    out.push_back(static_cast<uint8_t>(std::stoi(byte, nullptr, 2)));
    if (out.back() == 0xFF) out.push_back(0x00);
  }
  return out;
}

// A grey 2048 x 2048 progressive picture: its DC scan (one bit a block),
// then acScans scans of the whole AC band, each one end-of-band run over
// every block. Every scan after the first AC one repeats it.
std::vector<uint8_t> ManyScans(int acScans) {
  std::vector<uint8_t> b = {0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0x00};
  b.insert(b.end(), 64, 1);
  b.insert(b.end(), {0xFF, 0xC2, 0, 11, 8, 0x08, 0x00, 0x08, 0x00, 1, 1, 0x11, 0});
  // DC: one code, "0", for difference 0. AC: one code, "0", for a run of
  // 2^14 + 14 bits of bands.
  for (uint8_t table : {0x00, 0x10}) {
    b.insert(b.end(), {0xFF, 0xC4, 0, 20, table, 1});
    b.insert(b.end(), 15, 0);
    b.push_back(table == 0x00 ? 0x00 : 0xE0);
  }
  b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 0, 0});
  b.insert(b.end(), 256 * 256 / 8, 0x00);
  const std::string run = "0" + std::string(14, '1');  // 32767 blocks
  const std::vector<uint8_t> acData = Bits(run + run + run);
  for (int i = 0; i < acScans; ++i) {
    b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 1, 63, 0});
    b.insert(b.end(), acData.begin(), acData.end());
  }
  b.insert(b.end(), {0xFF, 0xD9});
  return b;
}

}  // namespace

TEST(JpegHostileSizes, ClaimedFramesAreHeldAgainstTheBytesPresent) {
  ASSERT_TRUE(ToolAvailable("cjpeg")) << "cjpeg (libjpeg-turbo-progs) must be on PATH";
  const struct {
    const char* options;
    int w, h;
  } cases[] = {{"-sample 2x2", 65535, 65535}, {"-sample 2x2", 2048, 2048}, {"-grayscale", 65535, 65535},
               {"-progressive", 16000, 16000}, {"-progressive -sample 1x1", 2048, 2048}};
  for (const auto& c : cases) {
    std::vector<uint8_t> jpg = Claiming(c.options, c.w, c.h);
    ASSERT_FALSE(jpg.empty()) << c.options;
    SCOPED_TRACE(std::string(c.options) + " claiming " + std::to_string(c.w) + "x" + std::to_string(c.h) + " in " +
                 std::to_string(jpg.size()) + " bytes");
    const auto start = Clock::now();
    bool setAside = true;
    EXPECT_EQ(ReadIntoOnePixel(jpg, setAside), JPEG_ERR_EOF);
    EXPECT_FALSE(setAside) << "memory set aside for a frame the data cannot hold";
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  }
}

TEST(JpegHostileSizes, ScansRepeatingTheirBandsAreCapped) {
  bool setAside = false;
  // Ten passes over every coefficient: more than a valid file makes, still
  // within the cap, so it decodes.
  EXPECT_EQ(ReadIntoOnePixel(ManyScans(10), setAside), JPEG_SUCCESS);
  // Thirty thousand (half a megabyte) would cost two billion block visits.
  const std::vector<uint8_t> jpg = ManyScans(30000);
  const auto start = Clock::now();
  EXPECT_EQ(ReadIntoOnePixel(jpg, setAside), JPEG_ERR_DATA);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}
