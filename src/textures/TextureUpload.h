#pragma once
// Textures into GL: a 2D texture with every mipmap level, and binding one to
// a texture unit when something is drawn with it.
#include "textures/TextureCache.h"

namespace stagwerk {

struct Image;
struct Texture;

// Upload while loading, delete at teardown.
TextureHooks GlTextureHooks();

// Leaves the new texture bound on unit 0 with GL_TEXTURE_2D enabled there.
// Throws LoadError "Unrecognized Image" for a channel count outside 1 to 4,
// having deleted the texture name it made.
void UploadTexture(Texture& texture, const Image& image);
// Unit 0 for 0, unit 1 for anything else; that unit stays active.
void BindTexture(const Texture& texture, int unit);
void DeleteTexture(Texture& texture);

}  // namespace stagwerk
