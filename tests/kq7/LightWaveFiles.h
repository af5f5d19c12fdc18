#pragma once
// LightWave objects written chunk by chunk by the tests: LWO2 (LightWave 6
// and later) and LWOB (LightWave 5). Each function returns the bytes of one
// chunk or value as the format lays them out, big-endian, padded to even
// sizes; a test strings them together as the file it needs.
#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace stagwerk::testing::lwo {

using Point = std::array<float, 3>;

inline std::string U1(uint8_t v) { return std::string(1, static_cast<char>(v)); }
inline std::string U2(uint16_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }
inline std::string I2(int16_t v) { return U2(static_cast<uint16_t>(v)); }
inline std::string U4(uint32_t v) { return U2(static_cast<uint16_t>(v >> 16)) + U2(static_cast<uint16_t>(v)); }
inline std::string F4(float f) { return U4(std::bit_cast<uint32_t>(f)); }
inline std::string Vec(const Point& p) { return F4(p[0]) + F4(p[1]) + F4(p[2]); }
// A variable-length index; long forces the four-byte form even when two would do.
inline std::string VX(uint32_t v, bool long_ = false) {
  return v < 0xFF00 && !long_ ? U2(static_cast<uint16_t>(v)) : U4(v | 0xFF000000u);
}
inline std::string S0(const std::string& s) {
  std::string out = s + '\0';
  if (out.size() % 2) out += '\0';
  return out;
}
inline std::string Chunk(const std::string& id, std::string data) {
  const std::string head = id + U4(static_cast<uint32_t>(data.size()));
  if (data.size() % 2) data += '\0';
  return head + data;
}
inline std::string Sub(const std::string& id, std::string data) {
  const std::string head = id + U2(static_cast<uint16_t>(data.size()));
  if (data.size() % 2) data += '\0';
  return head + data;
}
inline std::string Form(const std::string& type, const std::string& chunks) {
  return "FORM" + U4(static_cast<uint32_t>(4 + chunks.size())) + type + chunks;
}

// ---- chunks both formats share
inline std::string Pnts(const std::vector<Point>& points) {
  std::string data;
  for (const Point& p : points) data += Vec(p);
  return Chunk("PNTS", data);
}

// ---- LWO2
inline std::string Tags(const std::vector<std::string>& names) {
  std::string data;
  for (const auto& name : names) data += S0(name);
  return Chunk("TAGS", data);
}
inline std::string Layr(uint16_t number, const Point& pivot, const std::string& name, int parent = -1) {
  const std::string parentNumber = parent >= 0 ? I2(static_cast<int16_t>(parent)) : "";
  return Chunk("LAYR", U2(number) + U2(0) + Vec(pivot) + S0(name) + parentNumber);
}
inline std::string Pols(const std::vector<std::vector<uint32_t>>& polygons, const std::string& type = "FACE") {
  std::string data = type;
  for (const auto& polygon : polygons) {
    data += U2(static_cast<uint16_t>(polygon.size()));
    for (uint32_t v : polygon) data += VX(v);
  }
  return Chunk("POLS", data);
}
inline std::string Ptag(const std::vector<uint16_t>& tags) {
  std::string data = "SURF";
  for (std::size_t p = 0; p < tags.size(); ++p) data += VX(static_cast<uint32_t>(p)) + U2(tags[p]);
  return Chunk("PTAG", data);
}
// Per point values: (point, values).
inline std::string Vmap(const std::string& type, const std::string& name,
                        const std::vector<std::pair<uint32_t, std::vector<float>>>& values) {
  const uint16_t dimension = values.empty() ? 0 : static_cast<uint16_t>(values[0].second.size());
  std::string data = type + U2(dimension) + S0(name);
  for (const auto& [point, v] : values) {
    data += VX(point);
    for (float f : v) data += F4(f);
  }
  return Chunk("VMAP", data);
}
struct CornerValue {
  uint32_t point, polygon;
  std::vector<float> values;
};
inline std::string Vmad(const std::string& type, const std::string& name, const std::vector<CornerValue>& values) {
  const uint16_t dimension = values.empty() ? 0 : static_cast<uint16_t>(values[0].values.size());
  std::string data = type + U2(dimension) + S0(name);
  for (const auto& c : values) {
    data += VX(c.point) + VX(c.polygon);
    for (float f : c.values) data += F4(f);
  }
  return Chunk("VMAD", data);
}
inline std::string Clip(uint32_t index, const std::string& path) {
  return Chunk("CLIP", U4(index) + Sub("STIL", S0(path)));
}

// An image block on the colour channel (LWO2 BLOK IMAP).
struct ImageBlock {
  uint16_t projection = 0;  // 0 planar, 1 cylindrical, 2 spherical, 3 cubic, 4 front, 5 UV
  uint16_t axis = 2;
  Point centre{0, 0, 0}, size{1, 1, 1}, rotation{0, 0, 0};
  uint32_t clip = 1;
  float widthWraps = 1, heightWraps = 1;
  std::string uvMap;
  std::string channel = "COLR";
};
inline ImageBlock Projected(uint16_t projection, uint16_t axis, const Point& size, const Point& centre = {0, 0, 0}) {
  ImageBlock b;
  b.projection = projection;
  b.axis = axis;
  b.size = size;
  b.centre = centre;
  return b;
}
inline std::string Blok(const ImageBlock& b) {
  const std::string header = Sub("IMAP", S0("\x80") + Sub("CHAN", b.channel) + Sub("ENAB", U2(1)));
  const std::string tmap = Sub("TMAP", Sub("CNTR", Vec(b.centre) + VX(0)) + Sub("SIZE", Vec(b.size) + VX(0)) +
                                           Sub("ROTA", Vec(b.rotation) + VX(0)) + Sub("CSYS", U2(0)));
  std::string body = header + tmap + Sub("PROJ", U2(b.projection)) + Sub("AXIS", U2(b.axis)) + Sub("IMAG", VX(b.clip)) +
                     Sub("WRAP", U2(1) + U2(1)) + Sub("WRPW", F4(b.widthWraps) + VX(0)) +
                     Sub("WRPH", F4(b.heightWraps) + VX(0));
  if (!b.uvMap.empty()) body += Sub("VMAP", S0(b.uvMap));
  return Sub("BLOK", body);
}
inline std::string Surf(const std::string& name, const Point& colour, const std::string& more = "") {
  return Chunk("SURF", S0(name) + S0("") + Sub("COLR", Vec(colour) + VX(0)) + Sub("DIFF", F4(1) + VX(0)) + more);
}
inline std::string Lwo2(const std::string& chunks) { return Form("LWO2", chunks); }

// ---- LWOB
inline std::string Srfs(const std::vector<std::string>& names) {
  std::string data;
  for (const auto& name : names) data += S0(name);
  return Chunk("SRFS", data);
}
struct LwobPolygon {
  std::vector<uint16_t> points;
  int16_t surface;  // from 1
  std::vector<LwobPolygon> details;
};
inline std::string LwobPolygonBytes(const LwobPolygon& p) {
  std::string data = U2(static_cast<uint16_t>(p.points.size()));
  for (uint16_t v : p.points) data += U2(v);
  if (p.details.empty()) return data + I2(p.surface);
  data += I2(static_cast<int16_t>(-p.surface)) + I2(static_cast<int16_t>(p.details.size()));
  for (const auto& d : p.details) data += LwobPolygonBytes(d);
  return data;
}
inline std::string LwobPols(const std::vector<LwobPolygon>& polygons) {
  std::string data;
  for (const auto& p : polygons) data += LwobPolygonBytes(p);
  return Chunk("POLS", data);
}
// A LightWave 5 surface: its colour, and optionally a colour image map
// ("Planar Image Map", "Cylindrical Image Map", ...).
struct LwobTexture {
  std::string type;
  uint16_t flags = 4;  // 1 X axis, 2 Y axis, 4 Z axis
  Point size{1, 1, 1}, centre{0, 0, 0};
  float widthWraps = 1, heightWraps = 1;
  std::string image;
};
inline std::string LwobSurf(const std::string& name, const std::array<uint8_t, 3>& colour,
                            const std::vector<LwobTexture>& textures = {}) {
  std::string data = S0(name) + Sub("COLR", U1(colour[0]) + U1(colour[1]) + U1(colour[2]) + U1(0)) +
                     Sub("FLAG", U2(0)) + Sub("DIFF", U2(256));
  for (const LwobTexture& t : textures) {
    data += Sub("CTEX", S0(t.type)) + Sub("TFLG", U2(t.flags)) + Sub("TSIZ", Vec(t.size)) + Sub("TCTR", Vec(t.centre)) +
            Sub("TFP0", F4(t.widthWraps)) + Sub("TFP1", F4(t.heightWraps)) + Sub("TIMG", S0(t.image)) +
            Sub("TWRP", U2(1) + U2(1));
  }
  return Chunk("SURF", data);
}
inline std::string Lwob(const std::string& chunks) { return Form("LWOB", chunks); }

}  // namespace stagwerk::testing::lwo
