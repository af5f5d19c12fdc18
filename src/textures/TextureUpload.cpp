#include "textures/TextureUpload.h"

#include "anim/LoadError.h"
#include "gl/GlState.h"
#include "textures/Image.h"
#include "textures/Texture.h"

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

TextureHooks GlTextureHooks() { return {&UploadTexture, &DeleteTexture}; }

void UploadTexture(Texture& texture, const Image& image) {
  texture.target = GL_TEXTURE_2D;
  GLuint name = 0;
  glGenTextures(1, &name);
  texture.glName = name;
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(texture.target);
  glBindTexture(texture.target, texture.glName);
  glTexParameteri(texture.target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(texture.target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  Formats formats{};
  if (!FormatsFor(texture.channels, &formats)) {
    // The texture never reaches the cache, so nothing else would free its name.
    DeleteTexture(texture);
    throw LoadError("Unrecognized Image");
  }
  glTexImage2D(texture.target, 0, formats.internal, texture.width, texture.height, 0, formats.pixel,
               GL_UNSIGNED_BYTE, image.pixels.data());
  gluBuild2DMipmaps(texture.target, formats.internal, texture.width, texture.height, formats.pixel,
                    GL_UNSIGNED_BYTE, image.pixels.data());
}

void BindTexture(const Texture& texture, int unit) {
  glActiveTextureARB(unit == 0 ? GL_TEXTURE0_ARB : GL_TEXTURE1_ARB);
  glEnable(texture.target);
  glBindTexture(texture.target, texture.glName);
}

void DeleteTexture(Texture& texture) {
  if (texture.glName == 0) return;
  const GLuint name = texture.glName;
  glDeleteTextures(1, &name);
  texture.glName = 0;
}

}  // namespace stagwerk
