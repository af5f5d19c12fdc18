#pragma once
// A glTF 2.0 scene as demo scenes: one per animation (or one still scene),
// every node an object placed by its parent, cameras, KHR_lights_punctual
// lights, morph weights as the morph mixer. Coordinates are mirrored in Z
// as kq7 convert mirrors meshes.
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kq7/formats/demoscene/DemoScene.h"
#include "kq7/formats/demoscene/GltfFile.h"
#include "kq7/formats/demoscene/GltfSkinBake.h"

namespace stagwerk::kq7 {

struct GltfSceneOptions {
  std::string name;           // the demo scene's name; animations add theirs
  std::optional<double> fps;  // default: the rate the key times fall on, else 30
  std::optional<std::size_t> animation;  // only this one, as a scene named name
  // Skinned meshes bake at most this many delta records (14 bytes each).
  std::size_t maxSkinDeltas = kMaxSkinDeltas;
};

struct GltfMeshObject {
  std::string objectName;  // as the scenes name it (Objects/NAME.lwo)
  std::size_t mesh;        // the glTF mesh
  int bake = -1;           // its skin's frames in GltfScenes::skins, or -1
};

struct GltfScenes {
  std::vector<std::pair<std::string, DemoScene>> scenes;  // name, scene
  std::vector<GltfMeshObject> meshes;
  std::vector<GltfSkinBake> skins;
  double fps = 30;
};

// What the player cannot carry is dropped with one warning per thing and
// node. Throws InputError for a file whose structure cannot be followed.
GltfScenes ConvertGltfScenes(const GltfFile& file, const GltfSceneOptions& options,
                             std::vector<std::string>& warnings);

}  // namespace stagwerk::kq7
