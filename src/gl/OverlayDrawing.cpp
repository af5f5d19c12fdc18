#include "gl/OverlayDrawing.h"

#include <algorithm>
#include <array>

#include "frame/BitmapFont.h"
#include "gl/GlState.h"

namespace stagwerk {

namespace {

// glBitmap takes rows bottom first.
std::array<GLubyte, kGlyphSize> BottomUp(const std::array<uint8_t, kGlyphSize>& rows) {
  std::array<GLubyte, kGlyphSize> flipped{};
  for (int i = 0; i < kGlyphSize; ++i) flipped[static_cast<std::size_t>(i)] = rows[static_cast<std::size_t>(kGlyphSize - 1 - i)];
  return flipped;
}

void Text(const std::string& line, int x, int y) {
  glRasterPos2i(x, y);
  for (char c : line) {
    const auto bits = BottomUp(Glyph(c));
    glBitmap(kGlyphSize, kGlyphSize, 0, 0, kGlyphSize, 0, bits.data());
  }
}

void Colour(const OverlayColour& c) { glColor4f(c.r, c.g, c.b, c.a); }

void Rect(float x0, float y0, float x1, float y1) {
  glBegin(GL_QUADS);
  glVertex2f(x0, y0);
  glVertex2f(x1, y0);
  glVertex2f(x1, y1);
  glVertex2f(x0, y1);
  glEnd();
}

}  // namespace

void DrawOverlayCalls(const Overlay& overlay, int width, int height) {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  for (GLenum unit : {GL_TEXTURE1_ARB, GL_TEXTURE0_ARB}) {
    glActiveTextureARB(unit);
    glDisable(GL_TEXTURE_2D);
  }
  for (GLenum cap : {GL_LIGHTING, GL_DEPTH_TEST, GL_FOG, GL_ALPHA_TEST, GL_CULL_FACE, GL_SCISSOR_TEST,
                     GL_STENCIL_TEST, GL_COLOR_MATERIAL}) {
    glDisable(cap);
  }
  glViewport(0, 0, width, height);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  // A dark panel behind the text keeps it readable over any picture.
  const int lines = static_cast<int>(overlay.lines.size());
  std::size_t longest = 0;
  for (const std::string& line : overlay.lines) longest = std::max(longest, line.size());
  const float top = static_cast<float>(height);
  if (lines > 0) {
    Colour(kOverlayPanel);
    Rect(0, top - static_cast<float>(2 * kOverlayMargin + lines * kOverlayLineHeight),
         static_cast<float>(2 * kOverlayMargin + static_cast<int>(longest) * kGlyphSize), top);
  }
  glColor4f(1, 1, 1, 1);
  for (int i = 0; i < lines; ++i) {
    // The raster position is the glyph's bottom row.
    Text(overlay.lines[static_cast<std::size_t>(i)], kOverlayMargin, height - OverlayTextTop(i) - kGlyphSize);
  }

  // The seek bar: the whole demo, the part played, the loop.
  const float w = static_cast<float>(width);
  const float bar = static_cast<float>(kSeekBarHeight);
  Colour(kOverlayPanel);
  Rect(0, 0, w, bar);
  if (overlay.loopIn >= 0 && overlay.loopOut >= 0) {
    Colour(kOverlayLoop);
    Rect(overlay.loopIn * w, 0, overlay.loopOut * w, bar);
  }
  Colour(kOverlayPlayed);
  Rect(0, kSeekBarInset, std::clamp(overlay.played, 0.0f, 1.0f) * w, bar - kSeekBarInset);

  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopClientAttrib();
  glPopAttrib();
}

}  // namespace stagwerk
