// The property block: initial values, validation, error codes and texts, row
// layout; and the marker handling's answers to malformed streams.

#include "JpegTestSupport.h"

#include "jpeg/JpegInternal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace jpegtest;

namespace {

std::vector<uint8_t> MakeJpeg(const Picture& pic, const std::string& options) {
  EXPECT_TRUE(ToolAvailable("cjpeg")) << "cjpeg (libjpeg-turbo-progs) must be on PATH";
  TempDir dir;
  std::vector<uint8_t> jpg = Encode(dir, pic, options);
  EXPECT_FALSE(jpg.empty()) << options;
  return jpg;
}

// A block ready for an image read of jpg from memory into px.
void Prepare(JPEG_PROPERTIES& p, const std::vector<uint8_t>& jpg, std::vector<uint8_t>& px, int w, int h, int ch,
             int dibColor) {
  ASSERT_EQ(jpegInit(&p), 0);
  p.jpgBytes = jpg.data();
  p.jpgSizeBytes = static_cast<uint32_t>(jpg.size());
  px.assign(static_cast<size_t>(w * std::abs(h) * ch), 0);
  p.dibBytes = px.data();
  p.dibWidth = static_cast<uint32_t>(w);
  p.dibHeight = h;
  p.dibChannels = ch;
  p.dibColor = dibColor;
  p.jpgColor = ch == 1 && dibColor == COLOR_GRAY ? COLOR_GRAY : COLOR_YCBCR;
  p.jpgChannels = ch == 1 && dibColor == COLOR_GRAY ? 1 : 3;
}

int ReadImage(const std::vector<uint8_t>& jpg, int w, int h, int ch, int dibColor, std::vector<uint8_t>& px) {
  JPEG_PROPERTIES p;
  Prepare(p, jpg, px, w, h, ch, dibColor);
  int rc = jpegRead(&p, READ_IMAGE_BUFFER);
  jpegFree(&p);
  return rc;
}

int ReadParams(const std::vector<uint8_t>& jpg, JPEG_PROPERTIES& p) {
  EXPECT_EQ(jpegInit(&p), 0);
  p.jpgBytes = jpg.data();
  p.jpgSizeBytes = static_cast<uint32_t>(jpg.size());
  return jpegRead(&p, READ_PARAMS_BUFFER);
}

int Be16At(const std::vector<uint8_t>& b, size_t i) { return (b[i] << 8) | b[i + 1]; }

// Removes every segment with this marker code that comes before the first scan.
std::vector<uint8_t> Without(std::vector<uint8_t> b, uint8_t code) {
  size_t i = 2;
  while (i + 4 <= b.size() && b[i] == 0xFF && b[i + 1] != 0xDA) {
    size_t len = static_cast<size_t>(Be16At(b, i + 2));
    if (b[i + 1] == code) {
      b.erase(b.begin() + static_cast<ptrdiff_t>(i), b.begin() + static_cast<ptrdiff_t>(i + 2 + len));
    } else {
      i += 2 + len;
    }
  }
  return b;
}

std::vector<uint8_t> Insert(std::vector<uint8_t> b, size_t at, const std::vector<uint8_t>& bytes) {
  b.insert(b.begin() + static_cast<ptrdiff_t>(at), bytes.begin(), bytes.end());
  return b;
}

// Code of a parameter read followed by an image read of a 33x17 colour file.
int Both(const std::vector<uint8_t>& jpg) {
  JPEG_PROPERTIES p;
  int rc = ReadParams(jpg, p);
  if (rc == 0) {
    std::vector<uint8_t> px(33 * 17 * 3);
    p.dibBytes = px.data();
    p.dibWidth = 33;
    p.dibHeight = 17;
    rc = jpegRead(&p, READ_IMAGE_BUFFER);
  }
  jpegFree(&p);
  return rc;
}

class JpegInterface : public ::testing::Test {
 protected:
  std::vector<uint8_t> colour_ = MakeJpeg(MakePhoto(33, 17, 3), "-restart 1B");
  std::vector<uint8_t> grey_ = MakeJpeg(MakePhoto(33, 17, 1), "");
};

}  // namespace

// A caller that names only its data gets BGR rows of three bytes; a freed
// block must be initialised again before the next read.
TEST(JpegInterfaceBasics, InitSetsTheInitialValues) {
  JPEG_PROPERTIES p;
  p.dibChannels = 9, p.dibColor = 9;
  ASSERT_EQ(jpegInit(&p), 0);
  EXPECT_EQ(p.dibChannels, 3);
  EXPECT_EQ(p.dibColor, COLOR_BGR);
  EXPECT_EQ(jpegFree(&p), 0);
  EXPECT_EQ(jpegRead(&p, READ_PARAMS_BUFFER), JPEG_ERR_PROPERTIES) << "a freed block must be initialised again";
}

TEST(JpegInterfaceBasics, ErrorStrings) {
  EXPECT_STREQ(jpegErrorString(JPEG_ERR_PROPERTIES), "Invalid JPEG_PROPERTIES");
  EXPECT_STREQ(jpegErrorString(1000), "Unknown error code");
}

TEST_F(JpegInterface, ValidationRules) {
  struct Rule {
    const char* what;
    std::function<void(JPEG_PROPERTIES&)> change;
    int ioType;
    int expected;
  };
  const Rule rules[] = {
      {"I/O type below range", [](JPEG_PROPERTIES&) {}, -1, JPEG_ERR_PROPERTIES},
      {"I/O type above range", [](JPEG_PROPERTIES&) {}, 22, JPEG_ERR_PROPERTIES},
      {"writing type", [](JPEG_PROPERTIES&) {}, 9, JPEG_ERR_NOT_SUPPORTED},
      {"null output", [](JPEG_PROPERTIES& p) { p.dibBytes = nullptr; }, 3, JPEG_ERR_PROPERTIES},
      {"width 0", [](JPEG_PROPERTIES& p) { p.dibWidth = 0; }, 3, JPEG_ERR_PROPERTIES},
      {"width 65536", [](JPEG_PROPERTIES& p) { p.dibWidth = 65536; }, 3, JPEG_ERR_PROPERTIES},
      {"height 65536", [](JPEG_PROPERTIES& p) { p.dibHeight = 65536; }, 3, JPEG_ERR_PROPERTIES},
      {"height -65536", [](JPEG_PROPERTIES& p) { p.dibHeight = -65536; }, 3, JPEG_ERR_PROPERTIES},
      {"negative padding", [](JPEG_PROPERTIES& p) { p.dibPadBytes = -1; }, 3, JPEG_ERR_PROPERTIES},
      {"0 channels", [](JPEG_PROPERTIES& p) { p.dibChannels = 0; }, 3, JPEG_ERR_PROPERTIES},
      {"256 channels", [](JPEG_PROPERTIES& p) { p.dibChannels = 256; }, 3, JPEG_ERR_PROPERTIES},
      {"subsampling 1", [](JPEG_PROPERTIES& p) { p.dibSubsampling = 1; }, 3, JPEG_ERR_SUBSAMPLING},
      {"subsampling 2 with BGR", [](JPEG_PROPERTIES& p) { p.dibSubsampling = 2; }, 3, JPEG_ERR_SUBSAMPLING},
      {"thumbnail as grey", [](JPEG_PROPERTIES& p) { p.dibColor = COLOR_GRAY, p.dibChannels = 1; }, 21,
       JPEG_ERR_THUMB_COLOR},
      {"null buffer", [](JPEG_PROPERTIES& p) { p.jpgBytes = nullptr; }, 3, JPEG_ERR_PROPERTIES},
      {"empty buffer", [](JPEG_PROPERTIES& p) { p.jpgSizeBytes = 0; }, 3, JPEG_ERR_PROPERTIES},
      {"no file name", [](JPEG_PROPERTIES&) {}, 2, JPEG_ERR_PROPERTIES},
      {"0 components", [](JPEG_PROPERTIES& p) { p.jpgChannels = 0; }, 1, JPEG_ERR_PROPERTIES},
      {"257 components", [](JPEG_PROPERTIES& p) { p.jpgChannels = 257; }, 1, JPEG_ERR_PROPERTIES},
      {"colour file forced grey", [](JPEG_PROPERTIES& p) { p.jpgColor = COLOR_GRAY; }, 3, JPEG_ERR_PROPERTIES},
      {"BGR in 4 channels", [](JPEG_PROPERTIES& p) { p.dibChannels = 4; }, 3, JPEG_ERR_PROPERTIES},
      {"RGBA data to BGR", [](JPEG_PROPERTIES& p) { p.jpgColor = COLOR_RGBA_FPX, p.jpgChannels = 4; }, 3,
       JPEG_ERR_PROPERTIES},
      {"other colour to BGR", [](JPEG_PROPERTIES& p) { p.jpgColor = COLOR_OTHER; }, 3, JPEG_ERR_PROPERTIES},
      {"method 2", [](JPEG_PROPERTIES& p) { p.state.method = 2; }, 3, JPEG_ERR_PROPERTIES},
      {"unchecked state", [](JPEG_PROPERTIES& p) { p.useLowLevelProperties = 1; }, 3, JPEG_ERR_PROPERTIES},
      {"tables only", [](JPEG_PROPERTIES&) {}, 5, JPEG_ERR_NOT_SUPPORTED},
      {"scaled", [](JPEG_PROPERTIES&) {}, 15, JPEG_ERR_NOT_SUPPORTED},
      {"subsampled YCbCr output", [](JPEG_PROPERTIES& p) { p.dibColor = COLOR_YCBCR, p.dibSubsampling = 2; }, 3,
       JPEG_ERR_NOT_SUPPORTED},
      {"valid", [](JPEG_PROPERTIES&) {}, 3, JPEG_SUCCESS},
  };
  for (const Rule& r : rules) {
    JPEG_PROPERTIES p;
    std::vector<uint8_t> px;
    Prepare(p, colour_, px, 33, 17, 3, COLOR_BGR);
    r.change(p);
    EXPECT_EQ(jpegRead(&p, r.ioType), r.expected) << r.what;
    EXPECT_EQ(jpegFree(&p), 0) << r.what;
  }
}

TEST_F(JpegInterface, ColourCombinations) {
  std::vector<uint8_t> grey, bgr, rgba, y;
  ASSERT_EQ(ReadImage(grey_, 33, 17, 1, COLOR_GRAY, grey), 0);
  // A grey file read as colour: each sample repeated three times.
  {
    JPEG_PROPERTIES p;
    Prepare(p, grey_, bgr, 33, 17, 3, COLOR_BGR);
    p.jpgColor = COLOR_GRAY, p.jpgChannels = 1;
    ASSERT_EQ(jpegRead(&p, READ_IMAGE_BUFFER), 0);
    jpegFree(&p);
  }
  for (size_t i = 0; i < grey.size(); ++i) ASSERT_TRUE(bgr[3 * i] == grey[i] && bgr[3 * i + 2] == grey[i]) << i;

  // A colour file as RGBA keeps the colours of BGR, opaque; as grey, its luminance.
  ASSERT_EQ(ReadImage(colour_, 33, 17, 3, COLOR_BGR, bgr), 0);
  ASSERT_EQ(ReadImage(colour_, 33, 17, 4, COLOR_RGBA_FPX, rgba), 0);
  ASSERT_EQ(ReadImage(colour_, 33, 17, 1, COLOR_GRAY, y), 0);
  for (size_t i = 0; i < 33 * 17; ++i) {
    ASSERT_EQ(rgba[4 * i], bgr[3 * i + 2]);
    ASSERT_EQ(rgba[4 * i + 2], bgr[3 * i]);
    ASSERT_EQ(rgba[4 * i + 3], 255);
    int luma = (77 * bgr[3 * i + 2] + 150 * bgr[3 * i + 1] + 29 * bgr[3 * i] + 128) >> 8;
    ASSERT_NEAR(y[i], luma, 4) << i;
  }
}

TEST_F(JpegInterface, RowLayout) {
  std::vector<uint8_t> down, up, top, bottom;
  ASSERT_EQ(ReadImage(colour_, 33, 17, 3, COLOR_BGR, down), 0);
  ASSERT_EQ(ReadImage(colour_, 33, -17, 3, COLOR_BGR, up), 0);
  for (int y = 0; y < 17; ++y)
    ASSERT_EQ(0, std::memcmp(&down[static_cast<size_t>(y * 99)], &up[static_cast<size_t>((16 - y) * 99)], 99)) << y;
  // Heights 1 and -1 both give the top row.
  ASSERT_EQ(ReadImage(colour_, 33, 1, 3, COLOR_BGR, top), 0);
  ASSERT_EQ(ReadImage(colour_, 33, -1, 3, COLOR_BGR, bottom), 0);
  EXPECT_EQ(top, bottom);
  EXPECT_EQ(0, std::memcmp(top.data(), down.data(), 99));

  // Three pad bytes after each row stay as they were, bottom-up too.
  for (int32_t h : {17, -17}) {
    JPEG_PROPERTIES p;
    std::vector<uint8_t> px;
    Prepare(p, colour_, px, 33, 17, 3, COLOR_BGR);
    px.assign(17 * 102, 0xA5);
    p.dibBytes = px.data();
    p.dibHeight = h;
    p.dibPadBytes = 3;
    ASSERT_EQ(jpegRead(&p, READ_IMAGE_BUFFER), 0);
    jpegFree(&p);
    for (int y = 0; y < 17; ++y) {
      int src = h > 0 ? y : 16 - y;
      ASSERT_EQ(0, std::memcmp(&px[static_cast<size_t>(y * 102)], &down[static_cast<size_t>(src * 99)], 99));
      for (int k = 99; k < 102; ++k) ASSERT_EQ(px[static_cast<size_t>(y * 102 + k)], 0xA5);
    }
  }

  // A smaller output gets the top-left part and nothing past it; a larger
  // one keeps what lies beyond the picture.
  std::vector<uint8_t> small(10 * 5 * 3 + 64, 0xA5), large(40 * 20 * 3, 0xA5);
  JPEG_PROPERTIES p;
  std::vector<uint8_t> unused;
  Prepare(p, colour_, unused, 10, 5, 3, COLOR_BGR);
  p.dibBytes = small.data();
  ASSERT_EQ(jpegRead(&p, READ_IMAGE_BUFFER), 0);
  p.dibBytes = large.data(), p.dibWidth = 40, p.dibHeight = 20;
  ASSERT_EQ(jpegRead(&p, READ_IMAGE_BUFFER), 0);
  jpegFree(&p);
  for (int y = 0; y < 5; ++y) ASSERT_EQ(0, std::memcmp(&small[static_cast<size_t>(y * 30)], &down[static_cast<size_t>(y * 99)], 30));
  for (size_t i = 150; i < small.size(); ++i) ASSERT_EQ(small[i], 0xA5);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x)
      if (y >= 17 || x >= 33) {
        ASSERT_EQ(large[static_cast<size_t>((y * 40 + x) * 3)], 0xA5) << x << "," << y;
      }
}

TEST_F(JpegInterface, FileErrors) {
  JPEG_PROPERTIES p;
  ASSERT_EQ(jpegInit(&p), 0);
  p.jpgFile = "/nonexistent/stagwerk/none.jpg";
  EXPECT_EQ(jpegRead(&p, READ_PARAMS_FILE), JPEG_ERR_FILE_NAME);
  EXPECT_EQ(jpegFree(&p), 0);
  EXPECT_EQ(jpegRead(nullptr, READ_PARAMS_FILE), JPEG_ERR_PROPERTIES);
  EXPECT_EQ(jpegInit(nullptr), JPEG_ERR_PROPERTIES);
}

TEST_F(JpegInterface, StreamMarkers) {
  JPEG_PROPERTIES p;
  // A progressive file's parameters.
  std::vector<uint8_t> prog = MakeJpeg(MakePhoto(21, 11, 3), "-progressive");
  ASSERT_EQ(ReadParams(prog, p), 0);
  EXPECT_EQ(p.jpgWidth, 21u);
  EXPECT_EQ(p.jpgHeight, 11u);
  EXPECT_EQ(p.jpgChannels, 3);
  EXPECT_EQ(p.jpgColor, COLOR_YCBCR);
  jpegFree(&p);
  ASSERT_EQ(ReadParams(grey_, p), 0);
  EXPECT_EQ(p.jpgColor, COLOR_GRAY);
  EXPECT_EQ(p.jpgChannels, 1);
  jpegFree(&p);

  // An Exif segment before the frame changes nothing; nor does a comment.
  std::vector<uint8_t> ref, px;
  ASSERT_EQ(ReadImage(colour_, 33, 17, 3, COLOR_BGR, ref), 0);
  std::vector<uint8_t> exif = Insert(colour_, 2, {0xFF, 0xE1, 0x00, 0x0A, 'E', 'x', 'i', 'f', 0, 0, 1, 2});
  ASSERT_EQ(ReadImage(exif, 33, 17, 3, COLOR_BGR, px), 0);
  EXPECT_EQ(px, ref);

  // A comment goes into the caller's buffer when it fits.
  std::vector<uint8_t> com = Insert(colour_, 2, {0xFF, 0xFE, 0x00, 0x07, 'h', 'e', 'l', 'l', 'o'});
  char buf[8] = {};
  ASSERT_EQ(ReadParams(com, p), 0);  // no buffer given: passed over
  p.state.commentBuffer = buf, p.state.commentBufferSize = sizeof buf;
  ASSERT_EQ(jpegRead(&p, READ_PARAMS_BUFFER), 0);
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(p.state.commentLength, 5u);
  p.state.commentBufferSize = 4;
  EXPECT_EQ(jpegRead(&p, READ_PARAMS_BUFFER), JPEG_ERR_COMMENT_BUFFER);
  jpegFree(&p);
}

TEST_F(JpegInterface, MalformedStreams) {
  const std::vector<uint8_t>& ok = colour_;
  const size_t sof = FindMarker(ok, 0xC0);
  const size_t dqt = FindMarker(ok, 0xDB);
  const size_t dht = FindMarker(ok, 0xC4);
  const size_t sos = FindMarker(ok, 0xDA);
  ASSERT_NE(sof, std::string::npos);
  ASSERT_NE(sos, std::string::npos);
  auto patched = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> b = ok;
    b[at] = value;
    return b;
  };
  EXPECT_EQ(Both(ok), 0);
  EXPECT_EQ(Both(patched(0, 0x00)), JPEG_ERR_NOT_JPEG);
  EXPECT_EQ(Both(patched(1, 0xD9)), JPEG_ERR_NOT_JPEG);
  EXPECT_EQ(Both(patched(sof + 4, 12)), JPEG_ERR_UNSUPPORTED_FRAME);  // 12-bit samples
  EXPECT_EQ(Both(patched(sof + 1, 0xC3)), JPEG_ERR_UNSUPPORTED_FRAME);  // lossless
  EXPECT_EQ(Both(patched(sof + 1, 0xC9)), JPEG_ERR_UNSUPPORTED_FRAME);  // arithmetic
  std::vector<uint8_t> noLines = patched(sof + 5, 0);
  noLines[sof + 6] = 0;
  EXPECT_EQ(Both(noLines), JPEG_ERR_DNL);
  EXPECT_EQ(Both(patched(sof + 9, 0)), JPEG_ERR_COMP);
  EXPECT_EQ(Both(patched(sof + 11, 0x51)), JPEG_ERR_SOF);  // sampling factor 5
  EXPECT_EQ(Both(patched(dqt + 4, 0x24)), JPEG_ERR_BAD_QUANT);
  EXPECT_EQ(Both(patched(dht + 4, 0x20)), JPEG_ERR_BAD_HUFFMAN);
  EXPECT_EQ(Both(patched(dht + 5, 3)), JPEG_ERR_BAD_HUFFMAN);  // three 1-bit codes
  EXPECT_EQ(Both(patched(dqt + 3, 1)), JPEG_ERR_DATA);         // length below 2
  EXPECT_EQ(Both(patched(sos + 5, 9)), JPEG_ERR_DATA);         // scan names no component
  EXPECT_EQ(Both(Without(ok, 0xC4)), JPEG_ERR_NO_HUFFMAN);
  EXPECT_EQ(Both(Without(ok, 0xDB)), JPEG_ERR_NO_QUANT);
  std::vector<uint8_t> sofSeg(ok.begin() + static_cast<ptrdiff_t>(sof), ok.begin() + static_cast<ptrdiff_t>(sof + 2 + Be16At(ok, sof + 2)));
  EXPECT_EQ(Both(Insert(ok, sof, sofSeg)), JPEG_ERR_MULTI_FRAME);
  size_t dri = FindMarker(ok, 0xDD);
  ASSERT_NE(dri, std::string::npos);
  EXPECT_EQ(Both(patched(dri + 3, 5)), JPEG_ERR_DATA);
  size_t rst = FindMarker(ok, 0xD0, sos);
  ASSERT_NE(rst, std::string::npos);
  EXPECT_EQ(Both(patched(rst + 1, 0xD3)), JPEG_ERR_BAD_RST);
  std::vector<uint8_t> cut(ok.begin(), ok.begin() + static_cast<ptrdiff_t>(sos + 40));
  EXPECT_EQ(Both(cut), JPEG_ERR_EOF);

  // A small file claiming a huge frame fails fast, without allocating for it:
  // the sequential ones hold too few bytes for its blocks (restart markers
  // or not), the progressive one is too big to store.
  std::vector<uint8_t> huge = MakeJpeg(MakePhoto(33, 17, 3), "");
  size_t sof0 = FindMarker(huge, 0xC0);
  ASSERT_NE(sof0, std::string::npos);
  for (size_t k = sof0 + 5; k < sof0 + 9; ++k) huge[k] = 0xFF;
  EXPECT_EQ(Both(huge), JPEG_ERR_EOF);
  std::vector<uint8_t> hugeRst = ok;
  for (size_t k = sof + 5; k < sof + 9; ++k) hugeRst[k] = 0xFF;
  EXPECT_EQ(Both(hugeRst), JPEG_ERR_EOF);
  std::vector<uint8_t> hugeProg = MakeJpeg(MakePhoto(33, 17, 3), "-progressive");
  size_t sof2 = FindMarker(hugeProg, 0xC2);
  ASSERT_NE(sof2, std::string::npos);
  for (size_t k = sof2 + 5; k < sof2 + 9; ++k) hugeProg[k] = 0xFF;
  EXPECT_EQ(Both(hugeProg), JPEG_ERR_MEMORY);

  // Without a frame: the image read has no image, the parameter read no frame.
  std::vector<uint8_t> empty{0xFF, 0xD8, 0xFF, 0xD9};
  std::vector<uint8_t> px(16);
  EXPECT_EQ(ReadImage(empty, 2, 2, 3, COLOR_BGR, px), JPEG_ERR_NO_IMAGE);
  JPEG_PROPERTIES p;
  EXPECT_EQ(ReadParams(empty, p), JPEG_ERR_NO_FRAME);
  jpegFree(&p);
  EXPECT_EQ(ReadImage(Without(ok, 0xC0), 33, 17, 3, COLOR_BGR, px), JPEG_ERR_NO_FRAME);
  // A frame but no scan is no picture either.
  std::vector<uint8_t> headerOnly(ok.begin(), ok.begin() + static_cast<ptrdiff_t>(sos));
  headerOnly.insert(headerOnly.end(), {0xFF, 0xD9});
  EXPECT_EQ(ReadImage(headerOnly, 33, 17, 3, COLOR_BGR, px), JPEG_ERR_NO_IMAGE);
}

// A progressive image read without a parameter read first still decodes.
TEST_F(JpegInterface, ProgressiveImageReadOnItsOwn) {
  std::vector<uint8_t> prog = MakeJpeg(MakePhoto(33, 17, 3), "-progressive");
  std::vector<uint8_t> a, b;
  ASSERT_EQ(ReadImage(prog, 33, 17, 3, COLOR_RGB, a), 0);
  JPEG_PROPERTIES p;
  ASSERT_EQ(ReadParams(prog, p), 0);
  b.assign(a.size(), 0);
  p.dibBytes = b.data(), p.dibWidth = 33, p.dibHeight = 17, p.dibColor = COLOR_RGB;
  ASSERT_EQ(jpegRead(&p, READ_IMAGE_BUFFER), 0);
  jpegFree(&p);
  EXPECT_EQ(a, b);
  Picture ref{33, 17, 3, std::vector<uint8_t>(a.size())};
  for (size_t i = 0; i < a.size(); ++i) ref.px[i] = a[i];
  EXPECT_GT(Psnr(ref, MakePhoto(33, 17, 3)), 25.0) << "decoded picture should resemble the source";
}
