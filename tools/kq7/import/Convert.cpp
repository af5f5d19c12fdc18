#include "kq7/import/Convert.h"

#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "kq7/formats/AssembleKq7.h"
#include "kq7/formats/Kq7Fit.h"
#include "kq7/formats/ToolError.h"
#include "kq7/import/MaterialLook.h"

namespace stagwerk::kq7 {

namespace {

// A mesh where a node puts it, with the node's whole transform.
struct Placed {
  const aiMesh* mesh;
  aiMatrix4x4 transform;
  MaterialLook look;
};

// Depth first, parents before children, children in file order: the order
// polygons come out in. A stack of our own, since files nest as deep as they like.
std::vector<Placed> PlaceMeshes(const aiScene& scene, const std::string& file) {
  std::vector<Placed> placed;
  std::vector<std::pair<const aiNode*, aiMatrix4x4>> stack{{scene.mRootNode, aiMatrix4x4()}};
  while (!stack.empty()) {
    const auto [node, parent] = stack.back();
    stack.pop_back();
    const aiMatrix4x4 world = parent * node->mTransformation;
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
      const unsigned index = node->mMeshes[i];
      if (index >= scene.mNumMeshes || scene.mMeshes[index] == nullptr) {
        throw InputError(file + ": a node names mesh " + std::to_string(index) + " of " +
                         std::to_string(scene.mNumMeshes));
      }
      placed.push_back({scene.mMeshes[index], world, {}});
    }
    for (unsigned i = node->mNumChildren; i-- > 0;) {
      if (node->mChildren[i] != nullptr) stack.emplace_back(node->mChildren[i], world);
    }
  }
  return placed;
}

std::string MeshName(const aiMesh& mesh, std::size_t index) {
  const std::string name = mesh.mName.C_Str();
  return name.empty() ? "mesh " + std::to_string(index) : "mesh \"" + name + "\"";
}

bool Finite(const aiVector3D& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The diffuse textures of the placed meshes' materials, first use first.
std::vector<std::string> DiffuseTextures(const aiScene& scene, const std::vector<Placed>& placed,
                                         const std::string& file, std::vector<std::string>& warnings) {
  std::vector<std::string> names;
  for (const Placed& p : placed) {
    const unsigned index = p.mesh->mMaterialIndex;
    if (index >= scene.mNumMaterials || scene.mMaterials[index] == nullptr) continue;
    const aiMaterial& material = *scene.mMaterials[index];
    for (unsigned t = 0; t < material.GetTextureCount(aiTextureType_DIFFUSE); ++t) {
      aiString path;
      if (material.GetTexture(aiTextureType_DIFFUSE, t, &path) != AI_SUCCESS) continue;
      std::string source = path.C_Str();
      if (const aiTexture* embedded = scene.GetEmbeddedTexture(path.C_Str())) {
        source = embedded->mFilename.C_Str();
        if (source.empty()) {
          warnings.push_back(file + ": an embedded texture has no file name; name it with --texture NAME");
          continue;
        }
      }
      const std::string name = TextureNameOf(source);
      if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
  }
  return names;
}

// The meshes to convert: every one where the nodes place it, or the chosen
// ones each in its own space.
std::vector<Placed> ChooseMeshes(const aiScene& scene, const std::string& file, const ConvertOptions& options) {
  if (options.onlyMeshes.empty()) return PlaceMeshes(scene, file);
  std::vector<Placed> placed;
  for (unsigned index : options.onlyMeshes) {
    if (index >= scene.mNumMeshes || scene.mMeshes[index] == nullptr) {
      throw InputError(file + ": mesh " + std::to_string(index) + " of " + std::to_string(scene.mNumMeshes) +
                       " does not exist");
    }
    placed.push_back({scene.mMeshes[index], aiMatrix4x4(), {}});
  }
  return placed;
}

// Each placed mesh's material look, read once per material.
void LookUp(const aiScene& scene, const std::string& file, std::vector<Placed>& placed,
            std::vector<std::string>& warnings) {
  std::map<unsigned, MaterialLook> looks;
  for (Placed& p : placed) {
    const unsigned index = p.mesh->mMaterialIndex;
    auto it = looks.find(index);
    if (it == looks.end()) it = looks.emplace(index, LookOf(scene, index, file, warnings)).first;
    p.look = it->second;
  }
}

// assimp hands every format over right-handed (it mirrors LightWave's
// objects itself); the player is left-handed: mirror Z back.
aiMatrix4x4 ToPlayer(bool zUp) {
  aiMatrix4x4 toPlayer;
  toPlayer.c3 = -1;
  if (zUp) {
    // (x, y, z) -> (x, z, -y): +Z becomes up, -Y (the front view's side) faces the viewer.
    aiMatrix4x4 turn;
    turn.b2 = 0, turn.b3 = 1, turn.c2 = -1, turn.c3 = 0;
    toPlayer = toPlayer * turn;
  }
  return toPlayer;
}

// What the placed meshes hold between them.
struct Contents {
  std::size_t targets = 0;
  bool anyUv = false, anyUv2 = false, anyColours = false, anyNormals = false, anyBones = false;
  bool moreUvSets = false, moreColourSets = false;
};

Contents ContentsOf(const std::vector<Placed>& placed) {
  Contents c;
  for (const Placed& p : placed) {
    c.targets = std::max<std::size_t>(c.targets, p.mesh->mNumAnimMeshes);
    c.anyUv |= p.mesh->HasTextureCoords(0);
    c.anyUv2 |= p.mesh->HasTextureCoords(1);
    c.moreUvSets |= p.mesh->HasTextureCoords(2);
    c.anyColours |= p.mesh->HasVertexColors(0) || p.look.Coloured();
    c.moreColourSets |= p.mesh->HasVertexColors(1);
    c.anyNormals |= p.mesh->HasNormals();
    c.anyBones |= p.mesh->HasBones();
  }
  return c;
}

// One placed mesh's vertices and polygons added to what is gathered.
class MeshGathering {
 public:
  MeshGathering(const Placed& placed, std::size_t index, const aiMatrix4x4& toPlayer, const Contents& contents,
                const std::string& file, const ConvertOptions& options, GatheredMesh& out,
                std::vector<std::string>& warnings)
      : mesh_(*placed.mesh), name_(MeshName(mesh_, index)), full_(toPlayer * placed.transform), linear_(full_),
        look_(placed.look), contents_(contents), file_(file), options_(options), out_(out), warnings_(warnings) {}

  void Run(std::size_t& unweldedCount) {
    ChooseMorphs();
    AddVertices(unweldedCount);
    if (options_.points) return;
    const std::size_t first = out_.polygons.size();
    for (unsigned f = 0; f < mesh_.mNumFaces; ++f) AddFace(f);
    if (look_.doubleSided && Open(first)) AddBackFaces(first);
  }

 private:
  // The targets that move positions and fit the mesh.
  void ChooseMorphs() {
    morphs_.assign(contents_.targets, nullptr);
    for (unsigned t = 0; t < mesh_.mNumAnimMeshes; ++t) {
      const aiAnimMesh* anim = mesh_.mAnimMeshes[t];
      if (anim == nullptr || anim->mVertices == nullptr) continue;  // moves no position
      if (anim->mNumVertices != mesh_.mNumVertices) {
        warnings_.push_back(file_ + ": morph target " + std::to_string(t) + " of " + name_ + " has " +
                            std::to_string(anim->mNumVertices) + " vertices for the mesh's " +
                            std::to_string(mesh_.mNumVertices) + "; it is left out");
        continue;
      }
      morphs_[t] = anim;
    }
  }

  // A vertex is its place and where each morph target moves it: two
  // vertices that share a place but move apart stay two.
  void AddVertices(std::size_t& unweldedCount) {
    vertexOf_.resize(mesh_.mNumVertices);
    std::vector<float> key(3 * (1 + contents_.targets));
    for (unsigned v = 0; v < mesh_.mNumVertices; ++v) {
      const aiVector3D local = mesh_.mVertices[v];
      const aiVector3D world = full_ * local;
      if (!Finite(world)) throw InputError(file_ + ": vertex " + std::to_string(v) + " of " + name_ +
                                           " has a coordinate that is not a finite number");
      key.assign({world.x, world.y, world.z});
      for (std::size_t t = 0; t < contents_.targets; ++t) {
        // The move in the mesh's own space, turned but not shifted, so a
        // vertex that stays put has a delta of exactly zero.
        aiVector3D delta;
        if (morphs_[t] != nullptr) delta = linear_ * (morphs_[t]->mVertices[v] - local);
        if (!Finite(delta)) throw InputError(file_ + ": morph target " + std::to_string(t) + " of " + name_ +
                                             " moves a vertex by a non-finite amount");
        key.insert(key.end(), {delta.x, delta.y, delta.z});
      }
      // The pool still keeps each distinct vertex; unwelded ones get a
      // serial key so equal places stay apart.
      if (!options_.weld) key.push_back(static_cast<float>(unweldedCount++));
      // The player sums face normals per vertex: a place whose file normals
      // differ (a hard edge) stays several vertices, so the edge stays hard.
      if (options_.weld && options_.normalsFromFile && mesh_.HasNormals()) {
        aiVector3D n = linear_ * mesh_.mNormals[v];
        if (Finite(n) && n.Length() > 0) n.Normalize();
        for (float x : {n.x, n.y, n.z}) key.push_back(std::isfinite(x) ? std::round(x * 1000) / 1000 : 0);
      }
      vertexOf_[v] = out_.vertices.Index(key);
      if (look_.doubleSided) keys_.push_back(key);
    }
  }

  std::array<float, 2> UvAt(unsigned set, unsigned v) const {
    if (!mesh_.HasTextureCoords(set)) return {0, 0};
    const aiVector3D uv = mesh_.mTextureCoords[set][v];
    if (!Finite(uv)) throw InputError(file_ + ": " + name_ + " has a UV that is not a finite number");
    return {uv.x, uv.y};
  }

  // The vertex colour under the material's; white shows a texture as it is.
  std::array<float, 4> ColourAt(unsigned v) const {
    if (!mesh_.HasVertexColors(0)) return look_.Corner({1, 1, 1, 1});
    const aiColor4D& c4 = mesh_.mColors[0][v];
    const std::array<float, 4> rgba{c4.r, c4.g, c4.b, c4.a};
    for (float x : rgba) {
      if (!std::isfinite(x)) throw InputError(file_ + ": " + name_ + " has a colour that is not a finite number");
    }
    return look_.Corner(rgba);
  }

  // A surface with an edge only one of its polygons uses can be seen from
  // behind; a closed one never shows its back faces.
  bool Open(std::size_t first) const {
    // By place: hard edges split vertices but close the surface.
    using Place = std::array<float, 3>;
    const auto place = [&](uint32_t id) {
      const std::vector<float>& v = out_.vertices.values()[id];
      return Place{v[0], v[1], v[2]};
    };
    std::map<std::pair<Place, Place>, int> edges;
    for (std::size_t p = first; p < out_.polygons.size(); ++p) {
      const std::vector<uint32_t>& c = out_.polygons[p];
      for (std::size_t i = 0; i < c.size(); ++i) {
        const Place a = place(c[i]), b = place(c[(i + 1) % c.size()]);
        ++edges[{std::min(a, b), std::max(a, b)}];
      }
    }
    return std::any_of(edges.begin(), edges.end(), [](const auto& e) { return e.second == 1; });
  }

  // The player culls back faces: a two-sided material's open surface gets
  // each polygon again, turned round, on vertices of its own so the two
  // sides' normals do not cancel.
  void AddBackFaces(std::size_t first) {
    std::map<uint32_t, std::vector<float>> keyOf;
    for (std::size_t v = 0; v < vertexOf_.size(); ++v) keyOf.emplace(vertexOf_[v], keys_[v]);
    const std::size_t last = out_.polygons.size();
    std::size_t corner = 0;
    for (std::size_t p = 0; p < first; ++p) corner += out_.polygons[p].size();
    for (std::size_t p = first; p < last; ++p) {
      std::vector<uint32_t> front = out_.polygons[p];
      std::vector<uint32_t> back;
      for (std::size_t c = front.size(); c-- > 0;) {
        auto it = backOf_.find(front[c]);
        if (it == backOf_.end()) {
          std::vector<float> key = keyOf.at(front[c]);
          key.push_back(-1);  // the back side
          it = backOf_.emplace(front[c], out_.vertices.Index(key)).first;
        }
        back.push_back(it->second);
        if (contents_.anyUv) out_.uvIndices.push_back(out_.uvIndices[corner + c]);
        if (contents_.anyUv2) out_.uv2Indices.push_back(out_.uv2Indices[corner + c]);
        if (contents_.anyColours) out_.colourIndices.push_back(out_.colourIndices[corner + c]);
      }
      corner += front.size();
      out_.polygons.push_back(std::move(back));
    }
  }

  void AddFace(unsigned f) {
    const aiFace& face = mesh_.mFaces[f];
    if (face.mNumIndices == 0) return;
    if (face.mNumIndices > kMaxKq7Count) {
      throw InputError(file_ + ": polygon " + std::to_string(f) + " of " + name_ + " has " +
                       GroupedNumber(face.mNumIndices) + " corners; a KQ7 polygon holds at most " +
                       GroupedNumber(kMaxKq7Count));
    }
    std::vector<uint32_t> corners;
    corners.reserve(face.mNumIndices);
    // Mirroring turns the winding round; reversing the corners turns it back.
    for (unsigned c = face.mNumIndices; c-- > 0;) {
      const unsigned v = face.mIndices[c];
      if (v >= mesh_.mNumVertices) {
        throw InputError(file_ + ": polygon " + std::to_string(f) + " of " + name_ + " uses vertex " +
                         std::to_string(v) + " of " + std::to_string(mesh_.mNumVertices));
      }
      corners.push_back(vertexOf_[v]);
      if (contents_.anyUv) out_.uvIndices.push_back(out_.uvs.Index(UvAt(0, v)));
      if (contents_.anyUv2) out_.uv2Indices.push_back(out_.uvs2.Index(UvAt(1, v)));
      if (contents_.anyColours) out_.colourIndices.push_back(out_.colours.Index(ColourAt(v)));
    }
    out_.polygons.push_back(std::move(corners));
  }

  const aiMesh& mesh_;
  const std::string name_;
  const aiMatrix4x4 full_;
  const aiMatrix3x3 linear_;
  const MaterialLook& look_;
  const Contents& contents_;
  const std::string& file_;
  const ConvertOptions& options_;
  GatheredMesh& out_;
  std::vector<std::string>& warnings_;
  std::vector<const aiAnimMesh*> morphs_;
  std::vector<uint32_t> vertexOf_;
  std::vector<std::vector<float>> keys_;  // each source vertex's key, for back faces
  std::map<uint32_t, uint32_t> backOf_;
};

const SourceWords kAssimpWords{"holds no vertices",  "no material names a texture", "the mesh has no UVs",
                               "second UV set",      "the second UV set is",        "the vertex colours are"};

}  // namespace

Kq7Description ConvertScene(const aiScene& scene, const std::string& file, const ConvertOptions& options,
                            std::vector<std::string>& warnings) {
  std::vector<Placed> placed = ChooseMeshes(scene, file, options);
  LookUp(scene, file, placed, warnings);
  const aiMatrix4x4 toPlayer = ToPlayer(options.zUp);
  const Contents contents = ContentsOf(placed);
  CheckKq7Limit(file, contents.targets, "morph targets");

  GatheredMesh gathered;
  std::size_t unweldedCount = 0;
  for (std::size_t m = 0; m < placed.size(); ++m) {
    MeshGathering(placed[m], m, toPlayer, contents, file, options, gathered, warnings).Run(unweldedCount);
  }
  gathered.morphTargets = contents.targets;
  gathered.anyUv = contents.anyUv;
  gathered.anySecondUv = contents.anyUv2;
  gathered.anyColours = contents.anyColours;
  gathered.moreUvSets = contents.moreUvSets;
  gathered.moreColourSets = contents.moreColourSets;

  const std::vector<std::string> found =
      options.points || !options.texture.empty() ? std::vector<std::string>{} : DiffuseTextures(scene, placed, file, warnings);
  gathered.texture = ChooseTexture(file, options, found, "the materials name several textures", warnings);
  Kq7Description out = AssembleKq7(gathered, file, options, kAssimpWords, warnings);

  if (contents.anyNormals && options.normalsFromFile) {
    warnings.push_back(file + ": the normals are dropped; the player computes its own from the polygons (vertices "
                       "whose normals differ stay apart, so hard edges stay hard)");
  }
  if (contents.anyBones) warnings.push_back(file + ": the bones and their weights are dropped");
  return out;
}

}  // namespace stagwerk::kq7
