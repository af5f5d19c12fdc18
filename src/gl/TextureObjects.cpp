#include "gl/TextureObjects.h"

#include "anim/LoadError.h"
#include "gl/GlState.h"
#include "textures/Image.h"

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
  // Every level, the first included: a glTexImage2D of level 0 before it
  // would only be stored over again.
  gluBuild2DMipmaps(GL_TEXTURE_2D, formats.internal, image.width, image.height, formats.pixel, GL_UNSIGNED_BYTE,
                    image.pixels.data());
  return name;
}

}  // namespace stagwerk
