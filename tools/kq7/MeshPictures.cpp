#include "kq7/MeshPictures.h"

#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "kq7/formats/Kq7Fit.h"
#include "kq7/formats/ToolError.h"
#include "kq7/formats/demoscene/SourceFiles.h"
#include "kq7/formats/lightwave/LightWaveObject.h"
#include "objects/Mesh.h"
#include "kq7/formats/FileBytes.h"

namespace stagwerk::kq7 {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// LightWave paths may start with a volume ("Images:brick.iff"), taken as a folder.
std::string WithoutVolume(std::string path) {
  const std::size_t colon = path.find(':');
  if (colon != std::string::npos && colon != 1) path[colon] = '/';
  return path;
}

// The path as written, then under Images/ as LightWave content keeps them.
GltfTexture FoundOnDisk(const std::string& written, const std::vector<fs::path>& folders) {
  GltfTexture texture;
  std::optional<fs::path> file = FindSourceFile(written, folders);
  const std::string name = fs::path(WithoutVolume(written)).filename().string();
  if (!file) file = FindSourceFile("Images/" + name, folders);
  if (!file) {
    texture.problem = "its picture " + written + " is not found";
    return texture;
  }
  try {
    texture.source = ReadPictureFile(*file);
  } catch (const InputError& e) {
    texture.problem = e.what();
  }
  return texture;
}

}  // namespace

fs::path DefaultTextureDir(const fs::path& out) {
  const fs::path folder = out.has_parent_path() ? out.parent_path() : fs::path(".");
  if (Lower(folder.filename().string()) == "objects") return folder.parent_path() / "textures";
  return folder / "textures";
}

GltfTexture GltfMeshTexture(GltfTextures& textures, std::size_t first, std::size_t end) {
  std::optional<GltfTexture> texture = textures.ForMeshes(first, end);
  return texture ? *texture : GltfTexture{};
}

GltfTexture LightWaveMeshTexture(const std::string& in, const std::string& name) {
  const std::string data = ReadFileBytes(in);
  const lightwave::LightWaveObject object =
      lightwave::ReadLightWaveObject(reinterpret_cast<const unsigned char*>(data.data()), data.size(), in);
  const std::vector<fs::path> folders = SearchFolders(in, std::nullopt);
  for (const lightwave::Surface& surface : object.surfaces) {
    for (const lightwave::ImageMap& image : surface.images) {
      if (!image.image.empty() && TextureNameOf(WithoutVolume(image.image)) == name) {
        return FoundOnDisk(image.image, folders);
      }
    }
  }
  return {};
}

GltfTexture AssimpMeshTexture(const aiScene& scene, const std::string& in, const std::string& name) {
  const std::vector<fs::path> folders = SearchFolders(in, std::nullopt);
  for (unsigned m = 0; m < scene.mNumMaterials; ++m) {
    const aiMaterial* material = scene.mMaterials[m];
    aiString path;
    if (material == nullptr || material->GetTexture(aiTextureType_DIFFUSE, 0, &path) != AI_SUCCESS) continue;
    if (const aiTexture* embedded = scene.GetEmbeddedTexture(path.C_Str())) {
      if (TextureNameOf(embedded->mFilename.C_Str()) != name || embedded->mHeight != 0) continue;
      GltfTexture texture;
      const auto* bytes = reinterpret_cast<const char*>(embedded->pcData);
      texture.source = PictureSource{in + ": embedded picture " + name, std::string(bytes, embedded->mWidth), {}};
      return texture;
    }
    if (TextureNameOf(path.C_Str()) == name) return FoundOnDisk(path.C_Str(), folders);
  }
  return {};
}

void DropTexture(Kq7Description& mesh) {
  mesh.flags = static_cast<uint8_t>(mesh.flags & ~HasTexture);
  mesh.textureName.clear();
  mesh.uvs.clear();
  mesh.uvIndices.clear();
}

std::string PlaceTexture(Kq7Description& mesh, const GltfTexture& choice, const TexturePlacement& place,
                         const std::string& in, std::vector<std::string>& warnings) {
  if (!(mesh.flags & HasTexture)) {
    if (!choice.problem.empty()) warnings.push_back(in + ": the texture is dropped: " + choice.problem);
    return "";
  }
  const std::string name = mesh.textureName;
  if (choice.othersDropped != 0) {
    warnings.push_back(in + ": " + std::to_string(choice.othersDropped) + " more base colour texture(s) of its "
                       "materials are dropped: a KQ7 mesh has one texture, " + name);
  }
  PictureOutcome outcome;
  if (place.done != nullptr && place.done->count(name) != 0) {
    outcome = place.done->at(name);
  } else {
    outcome = ProvideMeshTexture(choice.source, place.dir, name, choice.options);
    if (place.done != nullptr) (*place.done)[name] = outcome;
  }
  const std::string line = "  " + (place.dir / (name + ".jpg")).string() + " " + outcome.note;
  if (outcome.usable) return line;
  const std::string why = choice.problem.empty() ? outcome.problem : choice.problem;
  // A name given with --texture stays: its picture may come later, and the line says it is missing.
  if (place.userNamed) return line;
  warnings.push_back(in + ": the texture " + name + " is dropped (" + why + "); the mesh is written without it");
  DropTexture(mesh);
  return line;
}

}  // namespace stagwerk::kq7
