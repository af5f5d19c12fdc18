#include "kq7/import/Export.h"

#include <assimp/Exporter.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <tuple>

#include "kq7/formats/ToolError.h"

namespace stagwerk::kq7 {

namespace {

// One exported vertex per distinct combination of what a corner uses:
// assimp gives each vertex a single index for all its attributes.
using CornerKey = std::array<uint32_t, 4>;  // vertex, UV, second UV, colour

constexpr uint32_t kNone = 0xFFFFFFFF;

// assimp's scene frees what it points to with delete and delete[]: these
// hand it over.
template <typename T>
T* NewArray(std::size_t n) {
  return std::make_unique<T[]>(n).release();
}
template <typename T, typename... Args>
T* HandOver(Args&&... args) {
  return std::make_unique<T>(std::forward<Args>(args)...).release();
}

aiVector3D RightHanded(std::span<const float> p, std::size_t vertex, float dx = 0, float dy = 0, float dz = 0) {
  // 0 - z rather than -z: a mirrored 0 stays 0, not -0, in text formats.
  return {p[3 * vertex] + dx, p[3 * vertex + 1] + dy, 0.0f - (p[3 * vertex + 2] + dz)};
}

void AddMaterial(aiScene& scene, const Mesh& mesh) {
  scene.mNumMaterials = 1;
  scene.mMaterials = NewArray<aiMaterial*>(1);
  scene.mMaterials[0] = HandOver<aiMaterial>();
  aiMaterial& material = *scene.mMaterials[0];
  const aiString materialName("kq7");
  material.AddProperty(&materialName, AI_MATKEY_NAME);
  if (mesh.Has(HasTexture)) {
    // The player reads textures as JPEG; name the file it would load.
    const aiString texture(mesh.textureName() + ".jpg");
    material.AddProperty(&texture, AI_MATKEY_TEXTURE_DIFFUSE(0));
  }
}

// The exported vertices, as what each uses, and the faces over them.
struct Corners {
  std::vector<CornerKey> keys;
  std::vector<std::vector<uint32_t>> faces;
};

Corners GatherCorners(const Mesh& mesh) {
  Corners out;
  std::map<CornerKey, uint32_t> index;
  const auto vertexFor = [&](const CornerKey& key) {
    const auto [it, added] = index.try_emplace(key, static_cast<uint32_t>(out.keys.size()));
    if (added) out.keys.push_back(key);
    return it->second;
  };
  if (!mesh.Has(HasPolygons)) {
    for (uint32_t v = 0; v < mesh.vertexCount(); ++v) out.faces.push_back({vertexFor({v, kNone, kNone, kNone})});
    return out;
  }
  const auto counts = mesh.cornerCounts();
  std::size_t corner = 0;
  for (std::size_t p = 0; p < mesh.polygonCount(); ++p) {
    const std::size_t m = mesh.Has(AllTriangles) ? 3 : counts[p];
    std::vector<uint32_t> face(m);
    // Back to right-handed: mirror Z and turn the winding round again.
    for (std::size_t i = 0; i < m; ++i) {
      const std::size_t c = corner + i;
      const CornerKey key{mesh.vertexIndices()[c], mesh.Has(HasTexture) ? mesh.uvIndices()[c] : kNone,
                          mesh.Has(HasSecondTexture) ? mesh.uv2Indices()[c] : kNone,
                          mesh.Has(HasColours) ? mesh.colourIndices()[c] : kNone};
      face[m - 1 - i] = vertexFor(key);
    }
    corner += m;
    out.faces.push_back(std::move(face));
  }
  return out;
}

void AddVertices(aiMesh& out, const Mesh& mesh, const std::vector<CornerKey>& keys) {
  const std::size_t n = keys.size();
  out.mNumVertices = static_cast<unsigned>(n);
  out.mVertices = NewArray<aiVector3D>(n);
  for (std::size_t i = 0; i < n; ++i) out.mVertices[i] = RightHanded(mesh.positions(), keys[i][0]);
  const auto uvSet = [&](unsigned set, std::span<const float> uvs, int slot) {
    out.mNumUVComponents[set] = 2;
    out.mTextureCoords[set] = NewArray<aiVector3D>(n);
    for (std::size_t i = 0; i < n; ++i) {
      const uint32_t uv = keys[i][static_cast<std::size_t>(slot)];
      out.mTextureCoords[set][i] = aiVector3D(uvs[2 * uv], uvs[2 * uv + 1], 0);
    }
  };
  if (!mesh.Has(HasPolygons)) return;
  if (mesh.Has(HasTexture)) uvSet(0, mesh.uvs(), 1);
  if (mesh.Has(HasSecondTexture)) uvSet(mesh.Has(HasTexture) ? 1 : 0, mesh.uvs2(), 2);
  if (mesh.Has(HasColours)) {
    out.mColors[0] = NewArray<aiColor4D>(n);
    const auto colours = mesh.colours();
    for (std::size_t i = 0; i < n; ++i) {
      const float* c = &colours[4 * std::size_t{keys[i][3]}];
      out.mColors[0][i] = aiColor4D(c[0], c[1], c[2], c[3]);
    }
  }
}

void AddFaces(aiMesh& out, const std::vector<std::vector<uint32_t>>& faces) {
  out.mNumFaces = static_cast<unsigned>(faces.size());
  out.mFaces = NewArray<aiFace>(faces.size());
  unsigned types = 0;
  for (std::size_t f = 0; f < faces.size(); ++f) {
    aiFace& face = out.mFaces[f];
    face.mNumIndices = static_cast<unsigned>(faces[f].size());
    face.mIndices = NewArray<unsigned>(faces[f].size());
    std::copy(faces[f].begin(), faces[f].end(), face.mIndices);
    types |= face.mNumIndices == 1   ? aiPrimitiveType_POINT
             : face.mNumIndices == 2 ? aiPrimitiveType_LINE
             : face.mNumIndices == 3 ? aiPrimitiveType_TRIANGLE
                                     : aiPrimitiveType_POLYGON;
  }
  out.mPrimitiveTypes = types;
}

// Morph targets as whole shapes: the base with each target's deltas added.
void AddMorphTargets(aiMesh& out, const Mesh& mesh, const std::vector<CornerKey>& keys) {
  const auto counts = mesh.deltaCounts();
  if (counts.empty()) return;
  out.mNumAnimMeshes = static_cast<unsigned>(counts.size());
  out.mAnimMeshes = NewArray<aiAnimMesh*>(counts.size());
  std::size_t first = 0;
  for (std::size_t t = 0; t < counts.size(); ++t) {
    std::vector<std::array<float, 3>> move(mesh.vertexCount(), {0, 0, 0});
    for (const MorphDelta& d : mesh.morphDeltas().subspan(first, counts[t])) move[d.vertex] = {d.dx, d.dy, d.dz};
    first += counts[t];
    aiAnimMesh* anim = HandOver<aiAnimMesh>();
    out.mAnimMeshes[t] = anim;
    anim->mName = aiString("target " + std::to_string(t));
    anim->mNumVertices = out.mNumVertices;
    anim->mVertices = NewArray<aiVector3D>(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const auto& d = move[keys[i][0]];
      anim->mVertices[i] = RightHanded(mesh.positions(), keys[i][0], d[0], d[1], d[2]);
    }
    anim->mWeight = 0;
  }
}

// One node holding one mesh with one material.
std::unique_ptr<aiScene> BuildScene(const Mesh& mesh) {
  auto scene = std::make_unique<aiScene>();
  scene->mRootNode = HandOver<aiNode>("kq7");
  scene->mRootNode->mNumMeshes = 1;
  scene->mRootNode->mMeshes = NewArray<unsigned>(1);
  scene->mRootNode->mMeshes[0] = 0;
  AddMaterial(*scene, mesh);

  scene->mNumMeshes = 1;
  scene->mMeshes = NewArray<aiMesh*>(1);
  scene->mMeshes[0] = HandOver<aiMesh>();
  aiMesh& out = *scene->mMeshes[0];
  out.mMaterialIndex = 0;
  out.mName = aiString("kq7");
  const Corners corners = GatherCorners(mesh);
  AddVertices(out, mesh, corners.keys);
  AddFaces(out, corners.faces);
  AddMorphTargets(out, mesh, corners.keys);
  return scene;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

}  // namespace

std::string ExportFormatFor(const std::string& path) {
  static const std::map<std::string, std::string> formats{
      {".obj", "obj"}, {".gltf", "gltf2"}, {".glb", "glb2"}, {".ply", "plyb"}, {".stl", "stlb"}};
  const auto it = formats.find(Lower(std::filesystem::path(path).extension().string()));
  return it == formats.end() ? "" : it->second;
}

void ExportMesh(const Mesh& mesh, const std::string& path, const std::string& format,
                std::vector<std::string>& warnings) {
  if (mesh.vertexCount() == 0) throw InputError(path + ": the mesh has no vertices to export");
  const std::unique_ptr<aiScene> scene = BuildScene(mesh);
  if (mesh.Has(HasBones)) warnings.push_back(path + ": the bone numbers are not exported");
  if (mesh.Has(HasSecondTexture)) {
    warnings.push_back(path + ": the second texture's name is not exported (its UVs are)");
  }
  if (mesh.Has(HasEnvironmentMap)) warnings.push_back(path + ": the environment map's name is not exported");
  if (mesh.Has(HasMorphTargets) && format != "gltf2" && format != "glb2") {
    warnings.push_back(path + ": morph targets are exported to glTF only");
  }
  // STL holds triangles only.
  const unsigned steps = format == "stlb" ? aiProcess_Triangulate : 0u;
  Assimp::Exporter exporter;
  if (exporter.Export(scene.get(), format, path, steps) != AI_SUCCESS) {
    throw InputError(path + ": cannot write it: " + exporter.GetErrorString());
  }
}

}  // namespace stagwerk::kq7
