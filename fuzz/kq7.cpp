// KQ7 files from the fuzzer's bytes: a file either loads into a mesh whose
// every index the drawing code will follow stays inside its array, or it is
// refused with a LoadError. Texture names resolve to one placeholder, so no
// disk is touched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/LoadError.h"
#include "objects/Mesh.h"
#include "textures/Texture.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// What the GL layer reads for each corner, and the morph-mixer's reads.
void CheckMesh(const stagwerk::Mesh& mesh) {
  using namespace stagwerk;
  Require(mesh.positions().size() == std::size_t{3} * mesh.vertexCount());
  Require(mesh.vertexIndices().size() == mesh.cornerTotal());
  if (mesh.Has(HasPolygons)) {
    Require(mesh.normals().size() == mesh.positions().size());
    uint64_t corners = 0;
    if (mesh.Has(AllTriangles)) {
      corners = uint64_t{3} * mesh.polygonCount();
    } else {
      Require(mesh.cornerCounts().size() == mesh.polygonCount());
      for (uint16_t m : mesh.cornerCounts()) corners += m;
    }
    Require(corners == mesh.cornerTotal());
  }
  for (uint32_t c = 0; c < mesh.cornerTotal(); ++c) {
    Require(mesh.vertexIndices()[c] < mesh.vertexCount());
    if (mesh.Has(HasTexture)) Require(std::size_t{2} * mesh.uvIndices()[c] + 1 < mesh.uvs().size());
    if (mesh.Has(HasColours)) Require(std::size_t{4} * mesh.colourIndices()[c] + 3 < mesh.colours().size());
    if (mesh.Has(HasSecondTexture)) Require(std::size_t{2} * mesh.uv2Indices()[c] + 1 < mesh.uvs2().size());
  }
  uint64_t deltas = 0;
  for (uint16_t d : mesh.deltaCounts()) deltas += d;
  Require(deltas == mesh.morphDeltas().size());
  for (const MorphDelta& d : mesh.morphDeltas()) Require(d.vertex < mesh.vertexCount());
  if (mesh.Has(HasBones)) {
    Require(mesh.boneVertexData().size() == mesh.vertexCount());
    Require(mesh.polygonBones().size() == mesh.polygonCount());
    for (uint16_t bone : mesh.polygonBones()) Require(bone < mesh.boneCount());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static stagwerk::Texture placeholder;
  const stagwerk::TextureLookup textures = [](const std::string&) { return &placeholder; };
  try {
    const auto mesh = stagwerk::Mesh::Parse(data, size, "Objects/Fuzz.lwo", "fuzz.kq7", textures);
    CheckMesh(*mesh);
    const auto copy = stagwerk::Mesh::MakeMorphCopy(*mesh);
    for (uint32_t target = 0; target <= mesh->targetCount(); ++target) copy->ApplyMorphTarget(target, 0.5f);
    copy->ComputeNormals();
    copy->Blend(*mesh, *copy, 0.25f);
    CheckMesh(*copy);
  } catch (const stagwerk::LoadError&) {
  }
  return 0;
}
