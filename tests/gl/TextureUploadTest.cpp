// Textures into GL: pixel layouts, sizes, and the failure path.
#include "GlTestSupport.h"
#include "base/LoadError.h"
#include "gl/TextureObjects.h"
#include "textures/MipmapChain.h"

#include <bit>

namespace stagwerk {
namespace {

using testing::GlTest;
using testing::Near;

class TextureUpload : public GlTest {
 protected:
  // The GL texture of the newest upload: it is left bound on unit 0.
  static GLuint Name(const Texture&) {
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    return static_cast<GLuint>(bound);
  }
  // Draws the texture over the whole window, unlit and unblended, and reads the centre.
  static testing::Rgba Sample(const Texture& texture) {
    glDisable(GL_BLEND);
    DrawOverWindow(texture);
    return Pixel(32, 32);
  }
  static void DrawOverWindow(const Texture& texture) {
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glClear(GL_COLOR_BUFFER_BIT);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, Name(texture));
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex2f(-1, -1);
    glTexCoord2f(0, 1); glVertex2f(-1, 1);
    glTexCoord2f(1, 1); glVertex2f(1, 1);
    glTexCoord2f(1, 0); glVertex2f(1, -1);
    glEnd();
  }
};

TEST_F(TextureUpload, PixelLayoutsByChannelCount) {
  auto red = MakeTexture(1, 1, 3, {0, 0, 255});  // blue, green, red
  GLint unit = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
  EXPECT_EQ(unit, GL_TEXTURE0_ARB);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_TRUE(glIsTexture(static_cast<GLuint>(bound)));
  EXPECT_TRUE(Near(Sample(*red), {255, 0, 0, -1}));

  auto bgra = MakeTexture(2, 2, 4, {255, 0, 0, 128, 255, 0, 0, 128, 255, 0, 0, 128, 255, 0, 0, 128});
  EXPECT_TRUE(Near(Sample(*bgra), {0, 0, 255, -1}));

  // Luminance with opacity (a grey JPEG with an opacity file).
  auto inkWithAlpha = MakeTexture(4, 4, 2, std::vector<unsigned char>{90, 200, 90, 200, 90, 200, 90, 200,
                                                                      90, 200, 90, 200, 90, 200, 90, 200,
                                                                      90, 200, 90, 200, 90, 200, 90, 200,
                                                                      90, 200, 90, 200, 90, 200, 90, 200});
  GLint format = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  EXPECT_EQ(format, GL_LUMINANCE8_ALPHA8);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  DrawOverWindow(*inkWithAlpha);
  const int blended = 90 * 200 / 255;
  EXPECT_TRUE(Near(Pixel(32, 32), {blended, blended, blended, -1}));

  // A 1 x 1 texture is a complete mipmap chain of one level.
  auto grey = MakeTexture(1, 1, 1, {77});
  EXPECT_TRUE(Near(Sample(*grey), {77, 77, 77, -1}));
}

TEST_F(TextureUpload, UnrecognizedImageFreesItsTextureName) {
  Texture texture;
  Image image;
  image.width = 1;
  image.height = 1;
  image.channels = 5;
  image.pixels.assign(5, 0);
  try {
    renderer_->CreateTexture(texture, image);
    FAIL() << "five channels uploaded";
  } catch (const LoadError& e) {
    EXPECT_STREQ(e.what(), "Unrecognized Image");
  }
  // It was bound when the failure struck; deleting it unbound it.
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);
}

// Both back ends upload mipmaps made on the CPU: every level must hold the
// texels GLU builds, or pictures change wherever a texture is drawn small.
// Prepared (off the GL thread) and unprepared uploads give the same levels.
TEST_F(TextureUpload, CpuMipmapsMatchGlusTexelForTexel) {
  const GLenum formats[] = {0, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_BGR_EXT, GL_BGRA_EXT};
  uint32_t seed = 12345;
  auto noise = [&seed] { return static_cast<unsigned char>((seed = seed * 1664525u + 1013904223u) >> 24); };
  for (auto [w, h, channels] : {std::array<int, 3>{16, 4, 3}, {8, 8, 4}, {1, 8, 1}, {4, 2, 2}}) {
    Image image;
    image.width = static_cast<uint16_t>(w);
    image.height = static_cast<uint16_t>(h);
    image.channels = static_cast<uint8_t>(channels);
    image.pixels.resize(static_cast<std::size_t>(w * h * channels));
    for (unsigned char& p : image.pixels) p = noise();
    GLuint glu = 0;
    glGenTextures(1, &glu);
    glBindTexture(GL_TEXTURE_2D, glu);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, w, h, formats[channels], GL_UNSIGNED_BYTE, image.pixels.data());
    const std::vector<MipLevel> rgba = MipmapsOf(image, MipLayout::Rgba);
    auto unprepared = MakeTexture(w, h, channels, image.pixels);
    Image prepared = image;
    PrepareUpload(prepared);
    ASSERT_TRUE(prepared.pixels.empty());
    const GLuint fixed[] = {Name(*unprepared), UploadTexture(prepared)};
    ASSERT_EQ(rgba.size(), static_cast<std::size_t>(std::bit_width(static_cast<unsigned>(std::max(w, h)))));
    for (std::size_t level = 0; level < rgba.size(); ++level) {
      const std::size_t bytes = std::size_t{4} * static_cast<std::size_t>(rgba[level].width * rgba[level].height);
      std::vector<unsigned char> want(bytes);
      glBindTexture(GL_TEXTURE_2D, glu);
      glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA, GL_UNSIGNED_BYTE, want.data());
      ASSERT_EQ(rgba[level].pixels, want) << w << "x" << h << "x" << channels << " level " << level;
      for (GLuint name : fixed) {
        std::vector<unsigned char> got(bytes);
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA, GL_UNSIGNED_BYTE, got.data());
        // Luminance reads back as red alone.
        for (std::size_t i = 0; i < bytes; ++i) {
          if (channels <= 2 && i % 4 != 0 && i % 4 != 3) continue;
          ASSERT_EQ(got[i], want[i]) << "level " << level << " byte " << i;
        }
      }
    }
    glDeleteTextures(1, &glu);
    glDeleteTextures(1, &fixed[1]);
  }
}

}  // namespace
}  // namespace stagwerk
