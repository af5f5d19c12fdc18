#include "kq7/import/Convert.h"

#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "kq7/formats/Kq7Fit.h"
#include "kq7/formats/ToolError.h"

namespace stagwerk::kq7 {

namespace {

constexpr std::size_t kMaxCount = kMaxKq7Count;

std::string Number(std::size_t n) { return GroupedNumber(n); }

void CheckLimit(const std::string& file, std::size_t count, const char* what) { CheckKq7Limit(file, count, what); }

void CheckName(const std::string& file, const std::string& name, const char* what) { CheckKq7Name(file, name, what); }

// A mesh where a node puts it, with the node's whole transform.
struct Placed {
  const aiMesh* mesh;
  aiMatrix4x4 transform;
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
      placed.push_back({scene.mMeshes[index], world});
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

std::string JoinNames(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
  return out;
}

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

}  // namespace

Kq7Description ConvertScene(const aiScene& scene, const std::string& file, const ConvertOptions& options,
                            std::vector<std::string>& warnings) {
  std::vector<Placed> placed;
  if (options.onlyMeshes.empty()) {
    placed = PlaceMeshes(scene, file);
  } else {
    for (unsigned index : options.onlyMeshes) {
      if (index >= scene.mNumMeshes || scene.mMeshes[index] == nullptr) {
        throw InputError(file + ": mesh " + std::to_string(index) + " of " + std::to_string(scene.mNumMeshes) +
                         " does not exist");
      }
      placed.push_back({scene.mMeshes[index], aiMatrix4x4()});
    }
  }

  // assimp hands every format over right-handed (it mirrors LightWave's
  // objects itself); the player is left-handed: mirror Z back.
  aiMatrix4x4 toPlayer;
  toPlayer.c3 = -1;
  if (options.zUp) {
    // (x, y, z) -> (x, z, -y): +Z becomes up, -Y (the front view's side) faces the viewer.
    aiMatrix4x4 turn;
    turn.b2 = 0, turn.b3 = 1, turn.c2 = -1, turn.c3 = 0;
    toPlayer = toPlayer * turn;
  }

  std::size_t targets = 0;
  bool anyUv = false, anyUv2 = false, anyColours = false, anyNormals = false, anyBones = false;
  bool moreUvSets = false, moreColourSets = false;
  for (const Placed& p : placed) {
    targets = std::max<std::size_t>(targets, p.mesh->mNumAnimMeshes);
    anyUv |= p.mesh->HasTextureCoords(0);
    anyUv2 |= p.mesh->HasTextureCoords(1);
    moreUvSets |= p.mesh->HasTextureCoords(2);
    anyColours |= p.mesh->HasVertexColors(0);
    moreColourSets |= p.mesh->HasVertexColors(1);
    anyNormals |= p.mesh->HasNormals();
    anyBones |= p.mesh->HasBones();
  }
  CheckLimit(file, targets, "morph targets");

  // A vertex is its place and where each morph target moves it: two
  // vertices that share a place but move apart stay two.
  Pool<std::vector<float>> vertices;
  Pool<std::array<float, 2>> uvs, uvs2;
  Pool<std::array<float, 4>> colours;
  std::vector<std::vector<uint32_t>> polygons;
  std::vector<uint32_t> uvIndices, uv2Indices, colourIndices;
  std::size_t unweldedCount = 0;

  for (std::size_t m = 0; m < placed.size(); ++m) {
    const aiMesh& mesh = *placed[m].mesh;
    const aiMatrix4x4 full = toPlayer * placed[m].transform;
    const aiMatrix3x3 linear(full);

    std::vector<const aiAnimMesh*> morphs(targets, nullptr);
    for (unsigned t = 0; t < mesh.mNumAnimMeshes; ++t) {
      const aiAnimMesh* anim = mesh.mAnimMeshes[t];
      if (anim == nullptr || anim->mVertices == nullptr) continue;  // moves no position
      if (anim->mNumVertices != mesh.mNumVertices) {
        warnings.push_back(file + ": morph target " + std::to_string(t) + " of " + MeshName(mesh, m) + " has " +
                           std::to_string(anim->mNumVertices) + " vertices for the mesh's " +
                           std::to_string(mesh.mNumVertices) + "; it is left out");
        continue;
      }
      morphs[t] = anim;
    }

    std::vector<uint32_t> vertexOf(mesh.mNumVertices);
    std::vector<float> key(3 * (1 + targets));
    for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
      const aiVector3D local = mesh.mVertices[v];
      const aiVector3D world = full * local;
      if (!Finite(world)) throw InputError(file + ": vertex " + std::to_string(v) + " of " + MeshName(mesh, m) +
                                           " has a coordinate that is not a finite number");
      key.assign({world.x, world.y, world.z});
      for (std::size_t t = 0; t < targets; ++t) {
        // The move in the mesh's own space, turned but not shifted, so a
        // vertex that stays put has a delta of exactly zero.
        aiVector3D delta;
        if (morphs[t] != nullptr) delta = linear * (morphs[t]->mVertices[v] - local);
        if (!Finite(delta)) throw InputError(file + ": morph target " + std::to_string(t) + " of " +
                                             MeshName(mesh, m) + " moves a vertex by a non-finite amount");
        key.insert(key.end(), {delta.x, delta.y, delta.z});
      }
      if (options.weld) {
        vertexOf[v] = vertices.Index(key);
      } else {
        // The pool still keeps each distinct vertex; unwelded ones get a
        // serial key so equal places stay apart.
        key.push_back(static_cast<float>(unweldedCount++));
        vertexOf[v] = vertices.Index(key);
      }
    }

    if (options.points) continue;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      const aiFace& face = mesh.mFaces[f];
      if (face.mNumIndices == 0) continue;
      if (face.mNumIndices > kMaxCount) {
        throw InputError(file + ": polygon " + std::to_string(f) + " of " + MeshName(mesh, m) + " has " +
                         Number(face.mNumIndices) + " corners; a KQ7 polygon holds at most " + Number(kMaxCount));
      }
      std::vector<uint32_t> corners;
      corners.reserve(face.mNumIndices);
      // Mirroring turns the winding round; reversing the corners turns it back.
      for (unsigned c = face.mNumIndices; c-- > 0;) {
        const unsigned v = face.mIndices[c];
        if (v >= mesh.mNumVertices) {
          throw InputError(file + ": polygon " + std::to_string(f) + " of " + MeshName(mesh, m) + " uses vertex " +
                           std::to_string(v) + " of " + std::to_string(mesh.mNumVertices));
        }
        corners.push_back(vertexOf[v]);
        auto uvAt = [&](unsigned set) -> std::array<float, 2> {
          if (!mesh.HasTextureCoords(set)) return {0, 0};
          const aiVector3D uv = mesh.mTextureCoords[set][v];
          if (!Finite(uv)) throw InputError(file + ": " + MeshName(mesh, m) + " has a UV that is not a finite number");
          return {uv.x, uv.y};
        };
        if (anyUv) uvIndices.push_back(uvs.Index(uvAt(0)));
        if (anyUv2) uv2Indices.push_back(uvs2.Index(uvAt(1)));
        if (anyColours) {
          std::array<float, 4> rgba{1, 1, 1, 1};  // meshes without colours show their texture as it is
          if (mesh.HasVertexColors(0)) {
            const aiColor4D& c4 = mesh.mColors[0][v];
            rgba = {c4.r, c4.g, c4.b, c4.a};
            for (float x : rgba) {
              if (!std::isfinite(x)) {
                throw InputError(file + ": " + MeshName(mesh, m) + " has a colour that is not a finite number");
              }
            }
          }
          colourIndices.push_back(colours.Index(rgba));
        }
      }
      polygons.push_back(std::move(corners));
    }
  }

  const std::size_t vertexCount = vertices.values().size();
  CheckLimit(file, vertexCount, "vertices");
  if (options.points) {
    if (vertexCount == 0) throw InputError(file + ": holds no vertices");
  } else {
    if (polygons.empty()) throw InputError(file + ": holds no polygons (a point set needs --points)");
    CheckLimit(file, polygons.size(), "polygons");
  }

  Kq7Description out;
  out.flags = options.points ? 0 : HasPolygons;
  out.positions.reserve(vertexCount);
  for (const std::vector<float>& v : vertices.values()) out.positions.push_back({v[0], v[1], v[2]});

  bool allTriangles = !polygons.empty();
  for (const auto& polygon : polygons) {
    allTriangles &= polygon.size() == 3;
    out.polygons.emplace_back(polygon.begin(), polygon.end());
  }
  if (allTriangles) out.flags |= AllTriangles;

  const auto narrow = [](const std::vector<uint32_t>& in) { return std::vector<uint16_t>(in.begin(), in.end()); };

  // The first texture and its UVs.
  std::string texture = options.texture;
  const std::vector<std::string> found = options.points ? std::vector<std::string>{}
                                                        : DiffuseTextures(scene, placed, file, warnings);
  if (options.points) {
    if (!texture.empty()) {
      warnings.push_back(file + ": --texture is not used by a point set; its sprites show --env or --texture2");
    }
  } else if (texture.empty() && !found.empty()) {
    texture = found.front();
    if (found.size() > 1) {
      warnings.push_back(file + ": the materials name several textures (" + JoinNames(found) + "); the first, " +
                         texture + ", is used");
    }
  }
  if (!options.points) {
    if (anyUv && !texture.empty()) {
      CheckName(file, texture, "texture");
      CheckLimit(file, uvs.values().size(), "UVs");
      out.flags |= HasTexture;
      out.textureName = texture;
      out.uvs = uvs.values();
      out.uvIndices = narrow(uvIndices);
    } else if (anyUv) {
      warnings.push_back(file + ": the UVs are dropped: no material names a texture (name one with --texture NAME)");
    } else if (!options.texture.empty()) {
      throw InputError(file + ": has no UVs to put the texture " + options.texture + " on");
    } else if (!texture.empty()) {
      warnings.push_back(file + ": the texture " + texture + " is dropped: the mesh has no UVs");
    }
    if (moreUvSets) warnings.push_back(file + ": UV sets past the second are dropped");
  }

  if (anyColours && !options.points) {
    CheckLimit(file, colours.values().size(), "colours");
    out.flags |= HasColours;
    out.colours = colours.values();
    out.colourIndices = narrow(colourIndices);
    if (moreColourSets) warnings.push_back(file + ": colour sets past the first are dropped");
  } else if (anyColours) {
    warnings.push_back(file + ": the vertex colours are dropped: a point set has no corners to colour");
  }

  if (!options.texture2.empty()) {
    CheckName(file, options.texture2, "second texture");
    if (!options.points && !anyUv2) {
      throw InputError(file + ": has no second UV set to put the texture " + options.texture2 + " on");
    }
    CheckLimit(file, uvs2.values().size(), "second UVs");
    out.flags |= HasSecondTexture;
    out.secondTextureName = options.texture2;
    out.uvs2 = uvs2.values();
    out.uv2Indices = narrow(uv2Indices);
  } else if (anyUv2 && !options.points) {
    warnings.push_back(file + ": the second UV set is dropped: name its texture with --texture2 NAME");
  }

  if (!options.environmentMap.empty()) {
    CheckName(file, options.environmentMap, "environment map");
    out.flags |= HasEnvironmentMap;
    out.environmentMapName = options.environmentMap;
    if (!options.texture2.empty()) {
      warnings.push_back(file + ": with --texture2 the player shows " + options.texture2 +
                         " and not the environment map " + options.environmentMap);
    }
  }

  if (targets > 0) {
    out.flags |= HasMorphTargets;
    out.morphTargets.resize(targets);
    for (std::size_t v = 0; v < vertexCount; ++v) {
      const std::vector<float>& key = vertices.values()[v];
      for (std::size_t t = 0; t < targets; ++t) {
        const float* d = &key[3 * (t + 1)];
        if (d[0] != 0 || d[1] != 0 || d[2] != 0) {
          out.morphTargets[t].push_back({d[0], d[1], d[2], static_cast<uint16_t>(v)});
        }
      }
    }
  }

  if (anyNormals && options.normalsFromFile) {
    warnings.push_back(file + ": the normals are dropped; the player computes its own from the polygons");
  }
  if (anyBones) warnings.push_back(file + ": the bones and their weights are dropped");
  return out;
}

}  // namespace stagwerk::kq7
