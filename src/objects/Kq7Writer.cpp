#include "objects/Kq7Writer.h"

#include <fstream>
#include <stdexcept>

#include "base/FloatBits.h"

namespace stagwerk {

namespace {

class Bytes {
 public:
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void F32(float v) { U32(BitsOfFloat(v)); }
  void Count(std::size_t n, const char* what) {
    if (n > 0xFFFF) throw std::length_error(std::string("KQ7 ") + what + " does not fit 16 bits");
    U16(static_cast<uint16_t>(n));
  }
  void Name(const std::string& name) {
    out_.insert(out_.end(), name.begin(), name.end());
    U8(0);
  }
  template <std::size_t N>
  void Floats(const std::vector<std::array<float, N>>& values) {
    for (const auto& value : values)
      for (float f : value) F32(f);
  }
  void U16s(const std::vector<uint16_t>& values) {
    for (uint16_t v : values) U16(v);
  }
  std::vector<unsigned char>& out() { return out_; }

 private:
  std::vector<unsigned char> out_;
};

}  // namespace

std::vector<unsigned char> WriteKq7(const Kq7Description& mesh) {
  Bytes b;
  const uint8_t flags = mesh.flags;
  for (char c : std::string("KQ7")) b.U8(static_cast<uint8_t>(c));
  b.U8(flags);
  if (flags & HasTexture) b.Name(mesh.textureName);
  if (flags & HasEnvironmentMap) b.Name(mesh.environmentMapName);
  if (flags & HasSecondTexture) b.Name(mesh.secondTextureName);
  b.Count(mesh.positions.size(), "vertex count");
  b.Floats(mesh.positions);
  if (flags & HasPolygons) {
    b.Count(mesh.polygons.size(), "polygon count");
    if (!(flags & AllTriangles)) {
      for (const auto& polygon : mesh.polygons) b.Count(polygon.size(), "corner count");
    }
    for (const auto& polygon : mesh.polygons) b.U16s(polygon);
  }
  if (flags & HasTexture) {
    b.Count(mesh.uvs.size(), "UV count");
    b.Floats(mesh.uvs);
    b.U16s(mesh.uvIndices);
  }
  if (flags & HasColours) {
    b.Count(mesh.colours.size(), "colour count");
    b.Floats(mesh.colours);
    b.U16s(mesh.colourIndices);
  }
  if (flags & HasSecondTexture) {
    b.Count(mesh.uvs2.size(), "second UV count");
    b.Floats(mesh.uvs2);
    b.U16s(mesh.uv2Indices);
  }
  if (flags & HasMorphTargets) {
    b.Count(mesh.morphTargets.size(), "morph target count");
    for (const auto& target : mesh.morphTargets) b.Count(target.size(), "morph delta count");
    for (const auto& target : mesh.morphTargets) {
      for (const MorphDelta& d : target) {
        b.F32(d.dx);
        b.F32(d.dy);
        b.F32(d.dz);
        b.U16(d.vertex);
      }
    }
  }
  if (flags & HasBones) {
    for (uint32_t v : mesh.boneVertexData) b.U32(v);
    b.U16s(mesh.polygonBones);
  }
  return std::move(b.out());
}

void WriteKq7File(const std::string& path, const Kq7Description& mesh) {
  const std::vector<unsigned char> bytes = WriteKq7(mesh);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("Cannot write " + path);
}

}  // namespace stagwerk
