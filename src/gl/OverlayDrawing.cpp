#include "gl/OverlayDrawing.h"

#include <array>

#include "frame/BitmapFont.h"
#include "frame/OverlayLayout.h"
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

  const OverlayLayout layout = LayOutOverlay(overlay, width, height);
  for (const OverlayRect& r : layout.rects) {
    glColor4fv(r.colour.data());
    Rect(r.x0, r.y0, r.x1, r.y1);
  }
  glColor4f(1, 1, 1, 1);
  for (const OverlayText& text : layout.texts) Text(*text.line, text.x, text.y);

  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopClientAttrib();
  glPopAttrib();
}

}  // namespace stagwerk
