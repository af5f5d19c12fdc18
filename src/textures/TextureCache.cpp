#include "textures/TextureCache.h"

#include <memory>

#include "anim/LoadError.h"
#include "anim/PathString.h"
#include "textures/Image.h"

namespace stagwerk {

TextureCache::TextureCache(const DataDirectories& directories, bool keepPixels)
    : directories_(directories), keepPixels_(keepPixels) {}

TextureCache::~TextureCache() {
  if (!hooks_.release) return;
  for (Texture& texture : textures_) hooks_.release(texture);
}

std::string TextureCache::NamePath(const std::string& name) const {
  PathString path;
  path.Append(directories_.rootDir).Append("/").Append(directories_.textureDir).Append("/").Append(name).Append(".jpg");
  return path.str();
}

std::string TextureCache::ScenePath(const std::string& relative) const {
  PathString path;
  path.Append(directories_.rootDir).Append("/").Append(relative);
  return path.str();
}

Texture& TextureCache::FindOrLoad(const std::string& name) { return FindOrLoadPath(NamePath(name)); }

Texture& TextureCache::FindOrLoadPath(const std::string& path) {
  for (Texture& texture : textures_) {
    if (texture.path == path) return texture;
  }
  auto texture = std::make_unique<Texture>();
  texture->path = path;
  Image image = Image::Load(path);
  texture->channels = image.channels;
  texture->height = image.height;
  texture->width = image.width;
  RequireTextureSize(image.width, image.height);
  // The upload refuses these; a run without GL refuses them the same way.
  if (image.channels < 1 || image.channels > 4) throw LoadError("Unrecognized Image");
  if (hooks_.upload) hooks_.upload(*texture, image);
  if (keepPixels_) texture->pixels = std::move(image.pixels);
  return textures_.Append(std::move(texture));
}

}  // namespace stagwerk
