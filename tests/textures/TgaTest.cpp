// TGA pictures in every form we read, and the forms we refuse.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "base/LoadError.h"
#include "textures/Image.h"

namespace stagwerk {
namespace {

using ::testing::HasSubstr;

using Bytes = std::vector<unsigned char>;

Bytes Header(uint8_t type, uint16_t width, uint16_t height, uint8_t bits, uint8_t descriptor) {
  Bytes h(18, 0);
  h[2] = type;
  h[12] = static_cast<uint8_t>(width);
  h[13] = static_cast<uint8_t>(width >> 8);
  h[14] = static_cast<uint8_t>(height);
  h[15] = static_cast<uint8_t>(height >> 8);
  h[16] = bits;
  h[17] = descriptor;
  return h;
}

// Sample c of the pixel x columns from the left, y rows from the bottom.
// Columns come in groups of three alike, so run-length files hold runs too.
unsigned char Sample(int x, int y, int c) { return static_cast<unsigned char>(y * 64 + x / 3 * 8 + c); }

// The picture as the loader must give it: bottom row first, left to right.
Bytes Expected(int width, int height, int channels) {
  Bytes out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) out.push_back(Sample(x, y, c));
  return out;
}

// The same pixels in the order a file with this descriptor stores them.
Bytes Stored(int width, int height, int channels, uint8_t descriptor) {
  Bytes out;
  for (int row = 0; row < height; ++row) {
    const int y = (descriptor & 0x20) ? height - 1 - row : row;
    for (int column = 0; column < width; ++column) {
      const int x = (descriptor & 0x10) ? width - 1 - column : column;
      for (int c = 0; c < channels; ++c) out.push_back(Sample(x, y, c));
    }
  }
  return out;
}

// One packet per stretch of equal pixels: a run for two or more, a raw
// packet of one otherwise. Longer raw packets have a test of their own.
Bytes RunLength(const Bytes& raw, std::size_t channels) {
  Bytes out;
  for (std::size_t i = 0; i < raw.size();) {
    std::size_t n = 1;
    while (i + n * channels < raw.size() && std::equal(raw.begin() + i, raw.begin() + i + channels,
                                                        raw.begin() + i + n * channels)) {
      ++n;
    }
    out.push_back(static_cast<unsigned char>(n > 1 ? 0x80 | (n - 1) : 0));
    out.insert(out.end(), raw.begin() + i, raw.begin() + i + channels);
    i += n * channels;
  }
  return out;
}

Image Read(const Bytes& file) { return Image::ReadTga(file.data(), file.size(), "t.tga"); }

std::string FailureOf(const Bytes& file) {
  try {
    Read(file);
  } catch (const LoadError& e) {
    return e.what();
  }
  return "";
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Tga, EveryTypeDepthAndOriginComesOutBottomUp) {
  struct Form {
    uint8_t type;
    uint8_t bits;
  };
  const Form forms[] = {{2, 24}, {2, 32}, {3, 8}, {3, 16}, {10, 24}, {10, 32}, {11, 8}, {11, 16}};
  const uint8_t descriptors[] = {0x00, 0x20, 0x10, 0x30, 0x28};
  for (const Form& form : forms) {
    const int channels = form.bits / 8;
    for (uint8_t descriptor : descriptors) {
      const Bytes stored = Stored(8, 4, channels, descriptor);
      const bool rle = form.type >= 10;
      const Image image = Read(Join(Header(form.type, 8, 4, form.bits, descriptor),
                                    rle ? RunLength(stored, channels) : stored));
      EXPECT_EQ(image.width, 8);
      EXPECT_EQ(image.height, 4);
      EXPECT_EQ(image.channels, channels);
      EXPECT_EQ(image.pixels, Expected(8, 4, channels))
          << "type " << int(form.type) << " bits " << int(form.bits) << " descriptor " << int(descriptor);
    }
  }
}

TEST(Tga, RunLengthPacketsRepeatCrossRowsAndStopAtTheLastPixel) {
  // Grey 4 x 2: a raw packet of three, then one run of five that crosses
  // into the second row and is cut after the eighth pixel.
  const Image image = Read(Join(Header(11, 4, 2, 8, 0), {2, 1, 2, 3, 0x84, 9, 0x85, 7}));
  EXPECT_EQ(image.pixels, (Bytes{1, 2, 3, 9, 9, 9, 9, 9}));
  const Image long_run = Read(Join(Header(11, 2, 2, 8, 0), {0xFF, 5}));
  EXPECT_EQ(long_run.pixels, (Bytes{5, 5, 5, 5}));
}

TEST(Tga, IdentificationFieldAndColourMapAreSkipped) {
  Bytes header = Header(2, 1, 1, 24, 0);
  header[0] = 3;  // identification length
  header[1] = 1;  // a colour map of two 24-bit entries
  header[5] = 2;
  header[7] = 24;
  const Image image = Read(Join(header, {'i', 'd', '!', 1, 1, 1, 2, 2, 2, 10, 20, 30}));
  EXPECT_EQ(image.pixels, (Bytes{10, 20, 30}));
}

TEST(Tga, RefusedFormsAndBrokenFilesNameTheFile) {
  const Bytes pixels(64, 0);
  const struct {
    Bytes file;
    const char* failure;
  } cases[] = {
      {Join(Header(1, 2, 2, 8, 0), pixels), "Unsupported TGA file t.tga: colour-mapped pictures are not read"},
      {Join(Header(9, 2, 2, 8, 0), pixels), "Unsupported TGA file t.tga: colour-mapped pictures are not read"},
      {Join(Header(0, 2, 2, 8, 0), pixels), "Unsupported TGA file t.tga: image type 0"},
      {Join(Header(32, 2, 2, 24, 0), pixels), "Unsupported TGA file t.tga: image type 32"},
      {Join(Header(2, 2, 2, 16, 0), pixels), "16 bits per pixel in a true-colour picture (24 or 32 are read)"},
      {Join(Header(3, 2, 2, 24, 0), pixels), "24 bits per pixel in a grey picture (8 or 16 are read)"},
      {Bytes(17, 0), "Bad TGA file t.tga: shorter than its 18-byte header"},
      {Join(Header(2, 4, 4, 32, 0), Bytes(63, 0)), "Bad TGA file t.tga: the pixel data ends early (64 bytes needed, 63 left)"},
      {Join(Header(10, 4, 4, 24, 0), {0x8E, 1, 2, 3}), "the run-length data ends before the last pixel"},
      {Join(Header(10, 1, 1, 24, 0), {0x80, 1, 2}), "the run-length data ends before the last pixel"},
      {Join(Header(10, 2, 1, 24, 0), {0x01, 1, 2, 3, 4}), "the run-length data ends before the last pixel"},
      {Join(Header(3, 3, 2, 8, 0), pixels), "NOPTD texture detected"},
      {Join(Header(3, 4096, 1, 8, 0), pixels), "NOPTD texture detected"},
      {Join(Header(3, 0, 1, 8, 0), pixels), "NOPTD texture detected"},
  };
  for (const auto& c : cases) {
    EXPECT_THAT(FailureOf(c.file), HasSubstr(c.failure));
  }
  EXPECT_EQ(FailureOf(Join(Header(2, 4, 4, 32, 0), pixels)), "") << "64 bytes are exactly enough";
  Bytes mapPastEnd = Header(2, 1, 1, 24, 0);
  mapPastEnd[1] = 1;
  mapPastEnd[5] = 0xFF;
  mapPastEnd[7] = 32;
  EXPECT_THAT(FailureOf(mapPastEnd), HasSubstr("the file ends inside its header fields"));
}

// Pictures claiming the largest texture in a few bytes are refused from the
// header and the bytes present, before 16 MiB is set aside; run-length data
// just long enough (a 128-pixel run every 5 bytes) still loads.
TEST(Tga, ClaimedSizesAreHeldAgainstTheBytesPresent) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(FailureOf(Join(Header(2, 2048, 2048, 32, 0), {1, 2})),
            "Bad TGA file t.tga: the pixel data ends early (16777216 bytes needed, 2 left)");
  EXPECT_THAT(FailureOf(Join(Header(10, 2048, 2048, 32, 0), {0xFF, 1, 2, 3, 4, 0xFF})),
              HasSubstr("the run-length data ends before the last pixel"));
  Bytes runs;
  for (int i = 0; i < 2048 * 2048 / 128; ++i) runs.insert(runs.end(), {0xFF, 1, 2, 3, 4});
  EXPECT_EQ(Read(Join(Header(10, 2048, 2048, 32, 0), runs)).pixels.size(), 2048u * 2048u * 4u);
  runs.pop_back();
  EXPECT_THAT(FailureOf(Join(Header(10, 2048, 2048, 32, 0), runs)),
              HasSubstr("the run-length data ends before the last pixel"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace stagwerk
