#pragma once
// Pictures written where the player looks for them: a mesh's texture as
// textures/NAME.jpg with its opacity in NAME.a.jpg, a scene's BGImage or
// FGImage as a JPEG, or a 32-bit TGA when it has opacity. Files are written
// beside their place and renamed over it; a source is never overwritten.
#include <filesystem>
#include <optional>
#include <string>

#include "kq7/formats/pictures/PictureFitting.h"

namespace stagwerk::kq7 {

struct PictureSource {
  std::string label;  // for messages: the file, or "scene.glb image 2"
  std::string bytes;
  std::optional<std::filesystem::path> file;  // when it is a file on disk
};

// Throws InputError naming path when it cannot be read.
PictureSource ReadPictureFile(const std::filesystem::path& path);

// What became of one picture.
struct PictureOutcome {
  bool usable = false;   // the player will find it
  std::string note;      // "(converted from SRC, 300x200 -> 256x256)", "(copied from SRC)", "(present)", "(missing)"
  std::string problem;   // why it is not usable, for a warning
  std::string relative;  // scene pictures: the path under the data folder the scene names
};

// One word the player can read as a texture name: blanks, quotes, slashes
// and the like become _; nothing left is "texture".
std::string TextureWord(const std::string& text);

// textureDir/NAME.jpg from source; with no source, present when the file is
// already there. A stale NAME.a.jpg is removed when the picture has no opacity.
PictureOutcome ProvideMeshTexture(const std::optional<PictureSource>& source, const std::filesystem::path& textureDir,
                                  const std::string& name, const PictureOptions& options);

// dataDir/textures/STEM.jpg or .tga from source; with no source, present
// when dataDir/written (the scene's own path) or the .jpg is already there.
PictureOutcome ProvideScenePicture(const std::optional<PictureSource>& source, const std::filesystem::path& dataDir,
                                   const std::string& written);

}  // namespace stagwerk::kq7
