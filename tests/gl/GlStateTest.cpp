// The window's viewport rule, the fixed GL state, the loading picture.
#include "GlTestSupport.h"
#include "base/LoadError.h"
#include "gl/Viewport.h"

#include <SDL2/SDL.h>

namespace stagwerk {
namespace {

using testing::GlTest;
using testing::Near;

TEST(Viewport, FitsTheDemoAspectAndTruncates) {
  EXPECT_EQ(FitViewport(4.0f / 3.0f, 800, 600), (ViewportRect{0, 0, 800, 600}));
  EXPECT_EQ(FitViewport(16.0f / 9.0f, 1024, 768), (ViewportRect{0, 96, 1024, 575}));  // 575.99 truncated
  EXPECT_EQ(FitViewport(4.0f / 3.0f, 1920, 1080), (ViewportRect{240, 0, 1440, 1080}));
  EXPECT_EQ(FitViewport(4.0f / 3.0f, 640, 0), (ViewportRect{319, 0, 1, 1}));  // minimised: height 1
}

void* NoMultiTexCoord(const char* name) {
  return std::string(name) == "glMultiTexCoord2fARB" ? nullptr : reinterpret_cast<void*>(&glFlush);
}
void* NoActiveTexture(const char* name) {
  return std::string(name) == "glActiveTextureARB" ? nullptr : reinterpret_cast<void*>(&glFlush);
}

class GlState : public GlTest {};

TEST_F(GlState, MissingEntryPointsAreNamedBeforeAnyStateIsSet) {
  auto message = [](GlProcLookup lookup) {
    try {
      SetupGlState(lookup);
    } catch (const LoadError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  glDisable(GL_CULL_FACE);
  EXPECT_EQ(message(&NoMultiTexCoord), "glMultiTexCoord2fARB unreachable");
  EXPECT_EQ(message(&NoActiveTexture), "glActiveTextureARB unreachable");
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  SetupGlState([](const char* name) { return SDL_GL_GetProcAddress(name); });
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(GlState, ClockwiseDrawnCounterClockwiseCulledAndAlphaZeroDiscarded) {
  GLint unit = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
  EXPECT_EQ(unit, GL_TEXTURE0_ARB);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColor4f(1, 1, 1, 1);
  glBegin(GL_TRIANGLES);
  // Left half: clockwise on screen. Right half: counter-clockwise.
  glVertex2f(-1, -1); glVertex2f(-1, 1); glVertex2f(0, -1);
  glVertex2f(0.1f, -1); glVertex2f(1, -1); glVertex2f(0.1f, 1);
  glEnd();
  EXPECT_TRUE(Near(Pixel(4, 8), {255, 255, 255, -1}));
  EXPECT_TRUE(Near(Pixel(40, 8), {0, 0, 0, -1}));

  // One texel of alpha 0 never reaches the picture, blending or not.
  auto clear = MakeTexture(1, 1, 4, {255, 255, 255, 0});
  glDisable(GL_BLEND);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBegin(GL_TRIANGLES);
  glTexCoord2f(0, 0);
  glVertex2f(0.1f, -1); glVertex2f(0.1f, 1); glVertex2f(1, -1);
  glEnd();
  EXPECT_TRUE(Near(Pixel(40, 8), {0, 0, 0, -1}));
}

class LoadingPicture : public GlTest {
 protected:
  LoadingPicture() : GlTest(128, 72, 4.0f / 3.0f) {}  // viewport x 16, width 96
};

TEST_F(LoadingPicture, FillsTheFourByThreeViewportOfAWideWindowWithBlackBars) {
  auto picture = MakeTexture(2, 2, 3, std::vector<unsigned char>(12, 200));
  renderer_->DrawLoadingPicture(*picture);
  EXPECT_TRUE(Near(Pixel(8, 36), {0, 0, 0, -1}));
  EXPECT_TRUE(Near(Pixel(15, 36), {0, 0, 0, -1}));
  EXPECT_TRUE(Near(Pixel(16, 0), {200, 200, 200, -1}));
  EXPECT_TRUE(Near(Pixel(64, 36), {200, 200, 200, -1}));
  EXPECT_TRUE(Near(Pixel(111, 71), {200, 200, 200, -1}));
  EXPECT_TRUE(Near(Pixel(112, 36), {0, 0, 0, -1}));
}

}  // namespace
}  // namespace stagwerk
