#include "kq7/import/SkinBake.h"

#include <assimp/scene.h>

#include <map>

#include "kq7/formats/Kq7Fit.h"
#include "kq7/formats/ToolError.h"
#include "kq7/import/Convert.h"

namespace stagwerk::kq7 {

namespace {

// assimp's meshes hold the rest pose, without their morph targets and bones,
// for as long as this lives: the conversion then places, mirrors and winds
// the rest pose as it does every mesh.
class RestPose {
 public:
  RestPose(const aiScene& scene, const std::vector<unsigned>& meshes, const GltfSkinBake& bake) {
    std::size_t at = 0;
    for (unsigned index : meshes) {
      aiMesh* mesh = scene.mMeshes[index];
      Saved& saved = saved_.emplace_back(Saved{mesh, mesh->mVertices, mesh->mNumAnimMeshes, mesh->mNumBones, {}});
      for (unsigned v = 0; v < mesh->mNumVertices; ++v, ++at) {
        const auto& p = bake.rest[at];
        saved.rest.emplace_back(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
      }
      mesh->mVertices = saved.rest.data();
      mesh->mNumAnimMeshes = 0;
      mesh->mNumBones = 0;
    }
  }
  ~RestPose() {
    for (Saved& s : saved_) s.mesh->mVertices = s.vertices, s.mesh->mNumAnimMeshes = s.anims, s.mesh->mNumBones = s.bones;
  }
  RestPose(const RestPose&) = delete;
  RestPose& operator=(const RestPose&) = delete;

 private:
  struct Saved {
    aiMesh* mesh;
    aiVector3D* vertices;
    unsigned anims, bones;
    std::vector<aiVector3D> rest;
  };
  std::vector<Saved> saved_;
};

// assimp 5.2.5 keeps a glTF primitive's vertices in the file's order; the
// skin's data is matched by that order, so it is checked here.
void CheckVertexOrder(const aiScene& scene, const std::vector<unsigned>& meshes, const GltfSkinBake& bake,
                      const std::string& file) {
  std::size_t at = 0;
  for (unsigned index : meshes) {
    if (index >= scene.mNumMeshes || scene.mMeshes[index] == nullptr) throw InputError(file + ": a mesh assimp did not read");
    const aiMesh& mesh = *scene.mMeshes[index];
    for (unsigned v = 0; v < mesh.mNumVertices; ++v, ++at) {
      const aiVector3D& p = mesh.mVertices[v];
      if (at >= bake.bind.size() || p.x != bake.bind[at][0] || p.y != bake.bind[at][1] || p.z != bake.bind[at][2]) {
        throw InputError(file + ": assimp's vertex " + std::to_string(at) +
                         " is not the file's; the skin cannot be matched to the mesh");
      }
    }
  }
  if (at != bake.bind.size()) {
    throw InputError(file + ": assimp read " + std::to_string(at) + " vertices of the file's " +
                     std::to_string(bake.bind.size()) + "; the skin cannot be matched to the mesh");
  }
}

// Shares the vertices that sit at one place and move alike; returns the
// new index of each old one, and leaves first[new] its first old vertex.
std::vector<uint32_t> Weld(Kq7Description& mesh, const GltfSkinBake& bake, std::vector<uint32_t>& first) {
  std::map<std::pair<std::array<float, 3>, uint32_t>, uint32_t> index;
  std::vector<uint32_t> to(mesh.positions.size());
  std::vector<std::array<float, 3>> positions;
  for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
    const auto [it, added] = index.try_emplace({mesh.positions[v], bake.moveClass[v]}, static_cast<uint32_t>(positions.size()));
    if (added) positions.push_back(mesh.positions[v]), first.push_back(static_cast<uint32_t>(v));
    to[v] = it->second;
  }
  for (auto& polygon : mesh.polygons) {
    for (uint16_t& corner : polygon) corner = static_cast<uint16_t>(to[corner]);
  }
  mesh.positions = std::move(positions);
  return to;
}

}  // namespace

Kq7Description BakeSkinnedMesh(const aiScene& scene, ConvertOptions options, const GltfSkinBake& bake,
                               const std::string& file, std::vector<std::string>& warnings) {
  const std::vector<unsigned>& meshes = options.onlyMeshes;
  CheckVertexOrder(scene, meshes, bake, file);
  CheckKq7Limit(file, bake.frames.size(), "morph targets (baked frames)");
  Kq7Description out;
  {
    const RestPose rest(scene, meshes, bake);
    options.weld = false;  // one KQ7 vertex per assimp vertex, in order, until welded below
    out = ConvertScene(scene, file, options, warnings);
  }
  if (out.positions.size() != bake.bind.size()) throw InputError(file + ": the converted mesh lost vertices");
  std::vector<uint32_t> first;
  const std::vector<uint32_t> to = Weld(out, bake, first);
  if (bake.frames.empty()) return out;
  out.flags |= HasMorphTargets;
  for (const std::vector<GltfBakedDelta>& frame : bake.frames) {
    std::vector<MorphDelta>& target = out.morphTargets.emplace_back();
    for (const GltfBakedDelta& d : frame) {
      const uint32_t v = to[d.vertex];
      if (first[v] == d.vertex) target.push_back({d.delta[0], d.delta[1], d.delta[2], static_cast<uint16_t>(v)});
    }
  }
  return out;
}

std::string DescribeBake(const GltfSkinBake& bake, const Kq7Description& mesh) {
  std::size_t records = 0;
  for (const auto& target : mesh.morphTargets) records += target.size();
  return GroupedNumber(bake.animations) + (bake.animations == 1 ? " animation, " : " animations, ") +
         GroupedNumber(bake.frames.size()) + " frames baked, " + GroupedNumber(mesh.positions.size()) + " vertices, " +
         GroupedNumber(records) + " deltas";
}

}  // namespace stagwerk::kq7
