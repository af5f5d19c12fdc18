// Reading a KQ7 file. The file is untrusted: every section is checked
// against the end of the data and every index against its array before
// anything uses it, and the failure names the file and the problem.
#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "base/LoadError.h"
#include "base/PathString.h"
#include "base/WholeFile.h"
#include "objects/Mesh.h"

namespace stagwerk {

namespace {

template <typename T>
T FromLittleEndian(const unsigned char* p) {
  static_assert(sizeof(T) == 2 || sizeof(T) == 4);
  using Bits = std::conditional_t<sizeof(T) == 2, uint16_t, uint32_t>;
  Bits bits = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) bits = static_cast<Bits>(bits | Bits(p[i]) << (8 * i));
  T value;
  std::memcpy(&value, &bits, sizeof value);  // no std::bit_cast in the browser build's libc++
  return value;
}

}  // namespace

class Kq7Parser {
 public:
  Kq7Parser(const unsigned char* data, std::size_t size, const std::string& file)
      : data_(data), size_(size), file_(file) {}

  std::unique_ptr<Mesh> Run(const std::string& name, const TextureLookup& textures) {
    auto mesh = std::unique_ptr<Mesh>(new Mesh());
    auto arrays = std::make_shared<MeshArrays>();
    MeshArrays& a = *arrays;
    Mesh& m = *mesh;
    m.name_ = name;

    if (size_ < 3 || std::memcmp(data_, "KQ7", 3) != 0) throw LoadError("Not KQ7 File");
    pos_ = 3;
    m.flags_ = *Take(1, "the flags byte");
    const uint8_t flags = m.flags_;
    ReadTextureNames(m, textures);
    m.vertexCount_ = U16("the vertex count");
    ReadArray(m.positions_, uint64_t{3} * m.vertexCount_, "the vertex positions");
    if (flags & HasPolygons) ReadPolygons(m, a);
    ReadCornerChannels(m, a);
    if (flags & HasMorphTargets) ReadMorphTargets(m, a);
    if (flags & HasBones) ReadBones(m, a);

    m.arrays_ = std::move(arrays);
    if (flags & HasPolygons) {
      m.normals_.assign(m.positions_.size(), 0.0f);
      m.ComputeNormals();
    }
    return mesh;
  }

 private:
  // What the messages about one kind of per-corner values call its parts.
  struct CornerTexts {
    const char* count;
    const char* values;
    const char* indices;
    const char* kind;
  };

  void ReadTextureNames(Mesh& m, const TextureLookup& textures) {
    if (m.flags_ & HasTexture) {
      m.textureName_ = ReadName("the first texture name");
      m.texture_ = textures ? textures(m.textureName_) : nullptr;
    }
    if (m.flags_ & HasEnvironmentMap) {
      m.texture2Name_ = ReadName("the environment map name");
      m.texture2_ = textures ? textures(m.texture2Name_) : nullptr;
    }
    if (m.flags_ & HasSecondTexture) {
      m.texture2Name_ = ReadName("the second texture name");
      m.texture2_ = textures ? textures(m.texture2Name_) : nullptr;
    }
  }

  void ReadPolygons(Mesh& m, MeshArrays& a) {
    m.polygonCount_ = U16("the polygon count");
    uint64_t corners = 0;
    if (m.flags_ & AllTriangles) {
      corners = uint64_t{3} * m.polygonCount_;
    } else {
      ReadArray(a.cornerCounts, m.polygonCount_, "the corner counts");
      for (uint16_t count : a.cornerCounts) corners += count;
    }
    m.cornerTotal_ = static_cast<uint32_t>(corners);  // at most 65535 x 65535
    ReadArray(a.vertexIndices, corners, "the vertex indices");
    CheckIndices(a.vertexIndices, m.vertexCount_, "vertex");
  }

  // The UVs, colours and second UVs, each indexed per corner.
  void ReadCornerChannels(Mesh& m, MeshArrays& a) {
    const uint64_t corners = m.cornerTotal_;
    if (m.flags_ & HasTexture) {
      m.uvCount_ = ReadCornerValues(a.uvs, 2, a.uvIndices, corners, {"the UV count", "the UVs", "the UV indices", "UV"});
    }
    if (m.flags_ & HasColours) {
      m.colourCount_ = ReadCornerValues(a.colours, 4, a.colourIndices, corners,
                                        {"the colour count", "the colours", "the colour indices", "colour"});
    }
    if (m.flags_ & HasSecondTexture) {
      m.uv2Count_ = ReadCornerValues(a.uvs2, 2, a.uv2Indices, corners,
                                     {"the second UV count", "the second UVs", "the second UV indices", "second UV"});
    }
  }

  // A count, that many values of `per` floats, and an index into them per
  // corner; answers the count.
  uint16_t ReadCornerValues(std::vector<float>& values, unsigned per, std::vector<uint16_t>& indices, uint64_t corners,
                            const CornerTexts& texts) {
    const uint16_t count = U16(texts.count);
    ReadArray(values, uint64_t{per} * count, texts.values);
    ReadArray(indices, corners, texts.indices);
    CheckIndices(indices, count, texts.kind);
    return count;
  }

  void ReadMorphTargets(Mesh& m, MeshArrays& a) {
    m.targetCount_ = U16("the morph target count");
    ReadArray(a.deltaCounts, m.targetCount_, "the morph delta counts");
    uint64_t total = 0;
    a.deltaStarts.reserve(a.deltaCounts.size());
    for (uint16_t count : a.deltaCounts) {
      a.deltaStarts.push_back(static_cast<uint32_t>(total));
      total += count;
    }
    m.deltaTotal_ = static_cast<uint32_t>(total);  // at most 65535 x 65535
    const unsigned char* p = Take(total * 14, "the morph deltas");
    a.morphDeltas.resize(static_cast<std::size_t>(total));
    for (MorphDelta& d : a.morphDeltas) {
      d.dx = FromLittleEndian<float>(p);
      d.dy = FromLittleEndian<float>(p + 4);
      d.dz = FromLittleEndian<float>(p + 8);
      d.vertex = FromLittleEndian<uint16_t>(p + 12);
      p += 14;
      if (d.vertex >= m.vertexCount_) {
        Fail("morph delta " + std::to_string(&d - a.morphDeltas.data()) + " moves vertex " +
             std::to_string(d.vertex) + " of " + std::to_string(m.vertexCount_));
      }
    }
  }

  void ReadBones(Mesh& m, MeshArrays& a) {
    if (!(m.flags_ & AllTriangles)) throw LoadError("Only triangles are suitable");
    ReadArray(a.boneVertexData, m.vertexCount_, "the vertex bone data");
    ReadArray(a.polygonBones, m.polygonCount_, "the polygon bone numbers");
    uint16_t largest = 0;
    for (uint16_t bone : a.polygonBones) largest = std::max(largest, bone);
    // boneCount is one byte: bone numbers run from 0 to 254.
    if (largest > 254) Fail("polygon bone number " + std::to_string(largest) + " is above 254");
    m.boneCount_ = static_cast<uint8_t>(largest + 1);
  }

  [[noreturn]] void Fail(const std::string& problem) const {
    throw LoadError("Bad KQ7 file " + file_ + ": " + problem);
  }

  // The next n bytes, or a failure naming what they should have held.
  const unsigned char* Take(uint64_t n, const char* what) {
    if (n > size_ - pos_) {
      Fail(std::string("the file ends inside ") + what + " (" + std::to_string(n) + " bytes needed at offset " +
           std::to_string(pos_) + ", " + std::to_string(size_ - pos_) + " left)");
    }
    const unsigned char* p = data_ + pos_;
    pos_ += static_cast<std::size_t>(n);
    return p;
  }

  uint16_t U16(const char* what) { return FromLittleEndian<uint16_t>(Take(2, what)); }

  template <typename T>
  void ReadArray(std::vector<T>& out, uint64_t count, const char* what) {
    const unsigned char* p = Take(count * sizeof(T), what);
    out.resize(static_cast<std::size_t>(count));
    if constexpr (std::endian::native == std::endian::little) {
      if (count > 0) std::memcpy(out.data(), p, out.size() * sizeof(T));
    } else {
      for (T& value : out) {
        value = FromLittleEndian<T>(p);
        p += sizeof(T);
      }
    }
  }

  std::string ReadName(const char* what) {
    const unsigned char* start = data_ + pos_;
    const void* nul = std::memchr(start, 0, size_ - pos_);
    if (nul == nullptr) Fail(std::string(what) + " has no terminating NUL before the end of the file");
    const std::size_t length = static_cast<const unsigned char*>(nul) - start;
    if (length > PathString::kMaxLength) {
      Fail(std::string(what) + " is longer than " + std::to_string(PathString::kMaxLength) + " characters");
    }
    pos_ += length + 1;
    return std::string(reinterpret_cast<const char*>(start), length);
  }

  void CheckIndices(const std::vector<uint16_t>& indices, uint16_t count, const char* kind) const {
    for (std::size_t c = 0; c < indices.size(); ++c) {
      if (indices[c] >= count) {
        Fail("corner " + std::to_string(c) + " uses " + kind + " " + std::to_string(indices[c]) + " of " +
             std::to_string(count));
      }
    }
  }

  const unsigned char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  const std::string& file_;
};

std::unique_ptr<Mesh> Mesh::Parse(const unsigned char* data, std::size_t size, const std::string& name,
                                  const std::string& file, const TextureLookup& textures) {
  return Kq7Parser(data, size, file).Run(name, textures);
}

std::string Mesh::FilePath(const std::string& name, const std::string& rootDir) {
  PathString path;
  path.Append(rootDir).Append("/").Append(name);
  // The last three characters become "kq7", whatever they were.
  std::string result = path.str();
  result.resize(result.size() >= 3 ? result.size() - 3 : 0);
  return result + "kq7";
}

std::unique_ptr<Mesh> Mesh::Load(const std::string& name, const TextureLookup& textures,
                                 const std::string& rootDir) {
  const std::string path = FilePath(name, rootDir);
  WholeFile file = MapWholeFile(path);
  const SceneReader& reader = file.reader();
  return Parse(reader.base(), reader.size(), name, path, textures);
}

}  // namespace stagwerk
