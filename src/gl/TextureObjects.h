#pragma once
// Textures into GL: a 2D texture with every mipmap level.
#include "gl/GlHeaders.h"

namespace stagwerk {

struct Image;

// What UploadTexture takes: the picture with its mipmap levels, made
// without GL.
void PrepareUpload(Image& image);

// Leaves the new texture bound on unit 0 with GL_TEXTURE_2D enabled there and
// unit 0 active. Throws LoadError "Unrecognized Image" for a channel count
// outside 1 to 4, having deleted the texture name it made.
GLuint UploadTexture(const Image& image);

}  // namespace stagwerk
