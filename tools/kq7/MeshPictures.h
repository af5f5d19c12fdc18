#pragma once
// The picture a converted mesh names, found beside its source and written
// where the player looks for it; a texture that cannot be had is dropped
// from the mesh, so the player never looks for a file that is not there.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "kq7/formats/demoscene/GltfTextures.h"
#include "objects/Kq7Writer.h"

struct aiScene;

namespace stagwerk::kq7 {

// kq7 convert's folder for OUT's pictures: textures/ beside OUT's folder
// when that folder is called Objects (in any case), else textures/ in it.
std::filesystem::path DefaultTextureDir(const std::filesystem::path& out);

// The picture of a glTF file's meshes first to end - 1 (all of them by default).
GltfTexture GltfMeshTexture(GltfTextures& textures, std::size_t first, std::size_t end);
// The file a LightWave object's surface image names, for the texture called name.
GltfTexture LightWaveMeshTexture(const std::string& in, const std::string& name);
// The file (or embedded picture) an assimp material names, for the texture called name.
GltfTexture AssimpMeshTexture(const aiScene& scene, const std::string& in, const std::string& name);

void DropTexture(Kq7Description& mesh);

struct TexturePlacement {
  std::filesystem::path dir;
  bool userNamed = false;  // --texture: kept, without a warning, when its picture is missing
  std::map<std::string, PictureOutcome>* done = nullptr;  // pictures already written this run, by name
};

// Writes the mesh's texture from choice into place.dir; returns the line
// that says what happened ("  DIR/NAME.jpg (converted from ...)"), empty
// when the mesh has no texture.
std::string PlaceTexture(Kq7Description& mesh, const GltfTexture& choice, const TexturePlacement& place,
                         const std::string& in, std::vector<std::string>& warnings);

}  // namespace stagwerk::kq7
