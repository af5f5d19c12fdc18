#pragma once
// The picture each glTF mesh shows, read from the JSON itself: the base
// colour texture of the first primitive whose material has one, its image
// from a file, a data: URI or a buffer view, and how its alpha is meant.
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kq7/formats/demoscene/GltfFile.h"
#include "kq7/formats/pictures/TextureFiles.h"

namespace stagwerk::kq7 {

struct GltfTexture {
  std::string name;                     // the KQ7 texture name; empty when there is nothing to name
  std::optional<PictureSource> source;  // empty when the image cannot be had: problem says why
  PictureOptions options;               // from the material's alphaMode and alphaCutoff
  std::string problem;
  std::size_t othersDropped = 0;  // further images the meshes' primitives name: a KQ7 mesh has one texture
};

// Texture names are one word: the image's name, else its file's stem, else
// the material's name, else the mesh's; an image keeps its name for the
// whole file and two images never share one (a _2, _3 is added).
class GltfTextures {
 public:
  explicit GltfTextures(const GltfFile& file) : file_(file) {}

  // For glTF meshes first to end - 1; nothing when no material of theirs has a base colour texture.
  std::optional<GltfTexture> ForMeshes(std::size_t first, std::size_t end);

 private:
  std::string NameFor(std::size_t image, const nlohmann::json& material, const nlohmann::json& mesh);
  void Fetch(std::size_t image, GltfTexture& texture) const;
  std::set<std::size_t> OtherImages(std::size_t first, std::size_t end, std::size_t chosen) const;

  const GltfFile& file_;
  std::map<std::size_t, std::string> names_;
  std::set<std::string> used_;
};

}  // namespace stagwerk::kq7
