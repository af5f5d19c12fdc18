#include "gl/TextureObjects.h"

#include "base/LoadError.h"
#include "gl/GlState.h"
#include "textures/Image.h"
#include "textures/MipmapChain.h"

namespace stagwerk {

namespace {

struct Formats {
  GLint internal;
  GLenum pixel;
};

bool FormatsFor(int channels, Formats* out) {
  switch (channels) {
    case 1: *out = {GL_LUMINANCE8, GL_LUMINANCE}; return true;
    case 2: *out = {GL_LUMINANCE8_ALPHA8, GL_LUMINANCE_ALPHA}; return true;
    case 3: *out = {GL_RGB8, GL_BGR_EXT}; return true;
    case 4: *out = {GL_RGBA8, GL_BGRA_EXT}; return true;
    default: return false;
  }
}

}  // namespace

void PrepareUpload(Image& image) { PrepareMipmaps(image, MipLayout::AsStored); }

GLuint UploadTexture(const Image& image) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  Formats formats{};
  if (!FormatsFor(image.channels, &formats)) {
    glDeleteTextures(1, &name);
    throw LoadError("Unrecognized Image");
  }
  // The levels GLU would build, made off this thread when the picture was
  // prepared; here only when it was not.
  std::vector<MipLevel> made;
  const std::vector<MipLevel>& levels = LevelsToUpload(image, MipLayout::AsStored, made);
  for (std::size_t i = 0; i < levels.size(); ++i) {
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), formats.internal, levels[i].width, levels[i].height, 0,
                 formats.pixel, GL_UNSIGNED_BYTE, levels[i].pixels.data());
  }
  return name;
}

}  // namespace stagwerk
