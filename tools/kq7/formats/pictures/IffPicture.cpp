#include "kq7/formats/pictures/IffPicture.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "kq7/formats/ToolError.h"

namespace stagwerk::kq7 {

namespace {

constexpr uint32_t kEhb = 0x80, kHam = 0x800;

struct Header {
  int width = 0, height = 0, planes = 0;
  int masking = 0;      // 1 a mask plane, 2 a transparent colour
  int compression = 0;  // 0 none, 1 ByteRun1
  int transparent = 0;
};

struct Chunks {
  std::optional<Header> header;
  std::vector<std::array<unsigned char, 3>> palette;
  uint32_t viewModes = 0;
  const unsigned char* body = nullptr;
  std::size_t bodySize = 0;
  bool chunky = false;  // PBM
};

uint32_t Be32(const unsigned char* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
int Be16(const unsigned char* p) { return p[0] << 8 | p[1]; }

Header ReadHeader(const unsigned char* p, std::size_t size, const std::string& name) {
  if (size < 20) throw InputError(name + ": its BMHD chunk is " + std::to_string(size) + " bytes of 20");
  Header h;
  h.width = Be16(p);
  h.height = Be16(p + 2);
  h.planes = p[8];
  h.masking = p[9];
  h.compression = p[10];
  h.transparent = Be16(p + 12);
  return h;
}

// Old paint programs stored 4-bit colours in the high nibble only.
void WidenPalette(std::vector<std::array<unsigned char, 3>>& palette) {
  bool lowNibbles = false;
  for (const auto& c : palette) lowNibbles |= (c[0] | c[1] | c[2]) & 0x0F;
  if (lowNibbles) return;
  for (auto& c : palette) {
    for (unsigned char& v : c) v = static_cast<unsigned char>(v | v >> 4);
  }
}

Chunks ReadChunks(const unsigned char* data, std::size_t size, const std::string& name) {
  Chunks c;
  c.chunky = std::memcmp(data + 8, "PBM ", 4) == 0;
  // The FORM's own length may be wrong in files cut or padded; the bytes given bound it.
  const std::size_t end = std::min<std::size_t>(size, std::size_t{Be32(data + 4)} + 8);
  for (std::size_t at = 12; at + 8 <= end;) {
    const unsigned char* id = data + at;
    const std::size_t length = Be32(data + at + 4);
    const unsigned char* body = data + at + 8;
    if (length > end - at - 8) throw InputError(name + ": its " + std::string(reinterpret_cast<const char*>(id), 4) +
                                                " chunk runs past the end of the file");
    if (std::memcmp(id, "BMHD", 4) == 0) {
      c.header = ReadHeader(body, length, name);
    } else if (std::memcmp(id, "CMAP", 4) == 0) {
      c.palette.resize(length / 3);
      for (std::size_t i = 0; i < c.palette.size(); ++i) std::memcpy(c.palette[i].data(), body + 3 * i, 3);
      WidenPalette(c.palette);
    } else if (std::memcmp(id, "CAMG", 4) == 0 && length >= 4) {
      c.viewModes = Be32(body);
    } else if (std::memcmp(id, "BODY", 4) == 0 && c.body == nullptr) {
      c.body = body;
      c.bodySize = length;
    }
    at += 8 + length + (length & 1);
  }
  if (!c.header) throw InputError(name + ": an IFF picture without its BMHD chunk");
  if (c.body == nullptr) throw InputError(name + ": an IFF picture without its BODY chunk");
  return c;
}

// The BODY as plain rows: copied, or ByteRun1 unpacked. Runs may cross
// rows, as some writers let them; running short is an error.
std::vector<unsigned char> Unpack(const Chunks& c, std::size_t wanted, const std::string& name) {
  if (c.header->compression == 0) {
    if (c.bodySize < wanted) throw InputError(name + ": its BODY holds " + std::to_string(c.bodySize) +
                                              " bytes of the " + std::to_string(wanted) + " its size needs");
    return {c.body, c.body + wanted};
  }
  if (c.header->compression != 1) {
    throw InputError(name + ": compression " + std::to_string(c.header->compression) +
                     " is not one kq7 reads (ByteRun1 or none)");
  }
  std::vector<unsigned char> out;
  // A run of two bytes unpacks to at most 128: the header alone sizes nothing.
  out.reserve(std::min(wanted, c.bodySize * 64));
  for (std::size_t at = 0; out.size() < wanted && at < c.bodySize;) {
    const int n = static_cast<signed char>(c.body[at++]);
    if (n >= 0) {
      const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(n) + 1, c.bodySize - at);
      out.insert(out.end(), c.body + at, c.body + at + count);
      at += count;
    } else if (n != -128 && at < c.bodySize) {
      out.insert(out.end(), static_cast<std::size_t>(1 - n), c.body[at++]);
    }
  }
  if (out.size() < wanted) throw InputError(name + ": its ByteRun1 BODY ends before the picture does");
  out.resize(wanted);
  return out;
}

struct Layout {
  std::size_t rowBytes;  // of one plane, or of a PBM row
  int planesPerRow;      // colour planes and the mask plane
};

Layout LayoutOf(const Chunks& c) {
  const Header& h = *c.header;
  if (c.chunky) return {static_cast<std::size_t>(h.width + (h.width & 1)), 1};
  return {static_cast<std::size_t>((h.width + 15) / 16 * 2), h.planes + (h.masking == 1 ? 1 : 0)};
}

uint32_t PlaneValue(const unsigned char* row, std::size_t rowBytes, int firstPlane, int planes, int x) {
  uint32_t value = 0;
  const std::size_t byte = static_cast<std::size_t>(x) >> 3;
  const int bit = 7 - (x & 7);
  for (int p = 0; p < planes; ++p) {
    value |= static_cast<uint32_t>(row[(firstPlane + p) * rowBytes + byte] >> bit & 1) << p;
  }
  return value;
}

// Turns one row's indices (or deep values) into RGBA, HAM holding its
// colour from pixel to pixel along the row.
class RowColours {
 public:
  RowColours(const Chunks& c, const std::string& name) : c_(c), h_(*c.header) {
    const int planes = h_.planes;
    ham_ = (c.viewModes & kHam) != 0 && (planes == 6 || planes == 8) && !c.chunky;
    ehb_ = (c.viewModes & kEhb) != 0 && planes == 6 && !c.chunky;
    if (!c.chunky && !(planes >= 1 && planes <= 8) && planes != 24 && planes != 32) {
      throw InputError(name + ": " + std::to_string(planes) + " bit planes, which kq7 does not read");
    }
    if (c.chunky && planes != 8) throw InputError(name + ": a PBM picture of " + std::to_string(planes) + " bits");
  }

  void Row(const unsigned char* row, std::size_t rowBytes, unsigned char* out) const {
    std::array<unsigned char, 3> held = Colour(0);
    for (int x = 0; x < h_.width; ++x, out += 4) {
      out[3] = 255;
      if (c_.chunky) {
        Put(out, Colour(row[x]), row[x]);
      } else if (h_.planes >= 24) {
        for (int k = 0; k < 3; ++k) out[k] = static_cast<unsigned char>(PlaneValue(row, rowBytes, 8 * k, 8, x));
        if (h_.planes == 32) out[3] = static_cast<unsigned char>(PlaneValue(row, rowBytes, 24, 8, x));
      } else if (ham_) {
        const int bits = h_.planes - 2;
        const uint32_t v = PlaneValue(row, rowBytes, 0, h_.planes, x);
        const uint32_t control = v >> bits, level = v & ((1u << bits) - 1);
        const auto wide = static_cast<unsigned char>(bits == 4 ? level * 17 : level << 2 | level >> 4);
        if (control == 0) held = Colour(level);
        else held[control == 1 ? 2 : control == 2 ? 0 : 1] = wide;
        Put(out, held, control == 0 ? static_cast<int>(level) : -1);
      } else {
        const uint32_t index = PlaneValue(row, rowBytes, 0, h_.planes, x);
        Put(out, Colour(index), static_cast<int>(index));
      }
      if (h_.masking == 1) out[3] = PlaneValue(row, rowBytes, h_.planes, 1, x) ? 255 : 0;
    }
  }

 private:
  // Indices past the palette are black; EHB's upper half is the lower at half brightness.
  std::array<unsigned char, 3> Colour(uint32_t index) const {
    if (ehb_ && index >= 32 && index - 32 < c_.palette.size()) {
      const auto& full = c_.palette[index - 32];
      return {static_cast<unsigned char>(full[0] >> 1), static_cast<unsigned char>(full[1] >> 1),
              static_cast<unsigned char>(full[2] >> 1)};
    }
    if (index < c_.palette.size()) return c_.palette[index];
    if (c_.palette.empty() && h_.planes <= 8) {  // no palette: a grey ramp
      const auto grey = static_cast<unsigned char>(index * 255 / ((1u << h_.planes) - 1));
      return {grey, grey, grey};
    }
    return {0, 0, 0};
  }

  void Put(unsigned char* out, const std::array<unsigned char, 3>& colour, int index) const {
    std::memcpy(out, colour.data(), 3);
    if (h_.masking == 2 && index == h_.transparent) out[3] = 0;
  }

  const Chunks& c_;
  const Header& h_;
  bool ham_ = false, ehb_ = false;
};

}  // namespace

bool IsIffPicture(const unsigned char* data, std::size_t size) {
  return size >= 12 && std::memcmp(data, "FORM", 4) == 0 &&
         (std::memcmp(data + 8, "ILBM", 4) == 0 || std::memcmp(data + 8, "PBM ", 4) == 0);
}

Picture ReadIffPicture(const unsigned char* data, std::size_t size, const std::string& name) {
  if (!IsIffPicture(data, size)) throw InputError(name + ": not an IFF ILBM or PBM picture");
  const Chunks c = ReadChunks(data, size, name);
  const Header& h = *c.header;
  RequirePictureSize(h.width, h.height, name);
  const RowColours colours(c, name);
  const Layout layout = LayoutOf(c);
  const std::size_t rowLength = layout.rowBytes * static_cast<std::size_t>(layout.planesPerRow);
  const std::vector<unsigned char> rows = Unpack(c, rowLength * static_cast<std::size_t>(h.height), name);
  Picture picture;
  picture.width = h.width;
  picture.height = h.height;
  picture.rgba.resize(static_cast<std::size_t>(h.width) * h.height * 4);
  for (int y = 0; y < h.height; ++y) {
    colours.Row(rows.data() + rowLength * static_cast<std::size_t>(y), layout.rowBytes, picture.At(0, y));
  }
  return picture;
}

}  // namespace stagwerk::kq7
