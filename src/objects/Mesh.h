#pragma once
// A KQ7 mesh: the arrays the renderer draws from, copied out of the file.
// Everything but positions and normals is shared, read-only, with the morph
// working copies made from a mesh, so a copy costs two arrays.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace stagwerk {

struct Texture;

// The flags byte of a KQ7 file.
enum MeshFlags : uint8_t {
  HasPolygons = 0x01,
  HasTexture = 0x02,
  HasEnvironmentMap = 0x04,
  HasColours = 0x08,
  HasSecondTexture = 0x10,
  HasMorphTargets = 0x20,
  AllTriangles = 0x40,
  HasBones = 0x80,
};

// Displacement of one vertex at full weight of its morph target.
struct MorphDelta {
  float dx = 0, dy = 0, dz = 0;
  uint16_t vertex = 0;
};

// Resolves a texture name from a mesh file (no directory, no extension).
using TextureLookup = std::function<Texture*(const std::string& name)>;

// What a mesh shares with its working copies.
struct MeshArrays {
  std::vector<uint32_t> boneVertexData;  // V values, kept as read
  std::vector<uint16_t> polygonBones;    // P
  std::vector<MorphDelta> morphDeltas;   // D, grouped by target
  std::vector<float> colours;            // K x RGBA
  std::vector<float> uvs;                // T x (s, t)
  std::vector<float> uvs2;               // T2 x (s, t)
  std::vector<uint16_t> vertexIndices;   // C
  std::vector<uint16_t> uvIndices;       // C
  std::vector<uint16_t> uv2Indices;      // C
  std::vector<uint16_t> colourIndices;   // C
  std::vector<uint16_t> deltaCounts;     // M
  std::vector<uint32_t> deltaStarts;     // M: first record of each target
  std::vector<uint16_t> cornerCounts;    // P; empty with AllTriangles
};

class Mesh {
 public:
  // Reads the KQ7 file for an object: rootDir + "/" + name with its last
  // three characters replaced by "kq7". Throws LoadError.
  static std::unique_ptr<Mesh> Load(const std::string& name, const TextureLookup& textures,
                                    const std::string& rootDir);
  // The same from bytes in memory; file names the source in messages.
  static std::unique_ptr<Mesh> Parse(const unsigned char* data, std::size_t size, const std::string& name,
                                     const std::string& file, const TextureLookup& textures);
  static std::string FilePath(const std::string& name, const std::string& rootDir);

  // A working copy for a morphing object: own positions and normals (starting
  // as base's), everything else shared with base.
  static std::unique_ptr<Mesh> MakeMorphCopy(const Mesh& base);

  // Face normals summed per vertex, not normalised. Polygons of fewer than
  // three corners add nothing.
  void ComputeNormals();
  // position = a + (b - a) * t for each vertex of this mesh. A vertex that b
  // lacks stays at a's position; one that a lacks too is left alone.
  void Blend(const Mesh& a, const Mesh& b, float t);
  // Positions = base's (as far as both have vertices).
  void CopyPositionsFrom(const Mesh& base);
  // Adds weight x the deltas of one morph target; targets past the last add nothing.
  void ApplyMorphTarget(uint32_t target, float weight);

  // The renderer's name for a loaded mesh; 0 without one. A working copy
  // carries its base's handle but is never drawn or released by it.
  uint32_t renderHandle = 0;

  const std::string& name() const { return name_; }
  bool isMorphCopy() const { return morphCopy_; }
  uint8_t flags() const { return flags_; }
  bool Has(MeshFlags flag) const { return (flags_ & flag) != 0; }
  uint8_t boneCount() const { return boneCount_; }
  uint16_t polygonCount() const { return polygonCount_; }
  uint16_t vertexCount() const { return vertexCount_; }
  uint16_t uvCount() const { return uvCount_; }
  uint16_t uv2Count() const { return uv2Count_; }
  uint16_t colourCount() const { return colourCount_; }
  uint16_t targetCount() const { return targetCount_; }
  uint32_t deltaTotal() const { return deltaTotal_; }
  uint32_t cornerTotal() const { return cornerTotal_; }

  // Not owned: they belong to the texture cache. texture2 is the environment
  // map or the second texture (the latter when the file names both).
  Texture* texture() const { return texture_; }
  Texture* texture2() const { return texture2_; }
  const std::string& textureName() const { return textureName_; }
  const std::string& texture2Name() const { return texture2Name_; }

  std::span<const float> positions() const { return positions_; }
  std::span<float> positions() { return positions_; }
  std::span<const float> normals() const { return normals_; }

  std::span<const uint32_t> boneVertexData() const { return arrays_->boneVertexData; }
  std::span<const uint16_t> polygonBones() const { return arrays_->polygonBones; }
  std::span<const MorphDelta> morphDeltas() const { return arrays_->morphDeltas; }
  std::span<const float> colours() const { return arrays_->colours; }
  std::span<const float> uvs() const { return arrays_->uvs; }
  std::span<const float> uvs2() const { return arrays_->uvs2; }
  std::span<const uint16_t> vertexIndices() const { return arrays_->vertexIndices; }
  std::span<const uint16_t> uvIndices() const { return arrays_->uvIndices; }
  std::span<const uint16_t> uv2Indices() const { return arrays_->uv2Indices; }
  std::span<const uint16_t> colourIndices() const { return arrays_->colourIndices; }
  std::span<const uint16_t> deltaCounts() const { return arrays_->deltaCounts; }
  std::span<const uint16_t> cornerCounts() const { return arrays_->cornerCounts; }

 private:
  Mesh() = default;
  friend class Kq7Parser;

  std::shared_ptr<const MeshArrays> arrays_;
  std::vector<float> positions_;  // V x (x, y, z)
  std::vector<float> normals_;    // V x (x, y, z) with HasPolygons, else empty
  Texture* texture_ = nullptr;
  Texture* texture2_ = nullptr;
  uint8_t flags_ = 0;
  uint8_t boneCount_ = 0;
  uint16_t polygonCount_ = 0;
  uint16_t vertexCount_ = 0;
  uint16_t uvCount_ = 0;
  uint16_t uv2Count_ = 0;
  uint16_t colourCount_ = 0;
  uint16_t targetCount_ = 0;
  uint32_t deltaTotal_ = 0;
  uint32_t cornerTotal_ = 0;
  bool morphCopy_ = false;
  std::string name_;
  std::string textureName_;
  std::string texture2Name_;
};

}  // namespace stagwerk
