#include "gl/FixedFunctionRenderer.h"

#include "gl/FixedFunction.h"
#include "frame/PipelineState.h"
#include "gl/MeshCalls.h"
#include "gl/OverlayDrawing.h"
#include "gl/TextureObjects.h"
#include "gl/Viewport.h"
#include "objects/Mesh.h"
#include "textures/Texture.h"

namespace stagwerk {

namespace {

// A screen-facing square of half side s at the modelview's origin, texture
// coordinate t = 0 at its bottom edge; s = 1 under identity matrices covers
// the viewport.
void DrawSquare(float s) {
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 0);
  glVertex3f(-s, -s, 0);
  glTexCoord2f(0, 1);
  glVertex3f(-s, s, 0);
  glTexCoord2f(1, 0);
  glVertex3f(s, -s, 0);
  glTexCoord2f(1, 1);
  glVertex3f(s, s, 0);
  glEnd();
}

// The same square around each centre, as one run of triangles with the
// strip's winding.
void DrawSquares(const float* centres, uint32_t count, float size) {
  glBegin(GL_TRIANGLES);
  for (uint32_t i = 0; i < count; ++i) {
    const float x = centres[3 * i], y = centres[3 * i + 1], z = centres[3 * i + 2];
    glTexCoord2f(0, 0); glVertex3f(x - size, y - size, z);
    glTexCoord2f(0, 1); glVertex3f(x - size, y + size, z);
    glTexCoord2f(1, 0); glVertex3f(x + size, y - size, z);
    glTexCoord2f(1, 0); glVertex3f(x + size, y - size, z);
    glTexCoord2f(0, 1); glVertex3f(x - size, y + size, z);
    glTexCoord2f(1, 1); glVertex3f(x + size, y + size, z);
  }
  glEnd();
}

RenderHandle Keep(std::vector<GLuint>& names, GLuint name) {
  names.push_back(name);
  return static_cast<RenderHandle>(names.size());
}

GLuint Take(std::vector<GLuint>& names, RenderHandle handle) {
  if (handle == 0 || handle > names.size()) return 0;
  const GLuint name = names[handle - 1];
  names[handle - 1] = 0;
  return name;
}

}  // namespace

FixedFunctionRenderer::FixedFunctionRenderer(GlProcLookup lookup, int width, int height, float aspect)
    : aspect_(aspect), stateSet_(SetupGlState(lookup)), framebuffer_(width, height, lookup) {
  lights_ = std::array<LightSlot, 8>{};
  ResizeViewport(aspect_, width, height);
}

FixedFunctionRenderer::~FixedFunctionRenderer() {
  for (GLuint list : lists_) {
    if (list != 0) glDeleteLists(list, 1);
  }
  for (GLuint texture : textures_) {
    if (texture != 0) glDeleteTextures(1, &texture);
  }
}

void FixedFunctionRenderer::PrepareTexture(Image& image) const { PrepareFixedFunctionTexture(image); }

RenderHandle FixedFunctionRenderer::CreateTexture(const Texture&, const Image& image) {
  const GLuint name = UploadTexture(image);
  cache_.NoteUpload(name);
  return Keep(textures_, name);
}

void FixedFunctionRenderer::ReleaseTexture(RenderHandle texture) {
  const GLuint name = Take(textures_, texture);
  if (name == 0) return;
  glDeleteTextures(1, &name);
  cache_.NoteDeleted(name);
}

RenderHandle FixedFunctionRenderer::CreateMesh(const Mesh& mesh) { return Keep(lists_, CompileMesh(mesh)); }

void FixedFunctionRenderer::ReleaseMesh(RenderHandle mesh) {
  const GLuint list = Take(lists_, mesh);
  if (list != 0) glDeleteLists(list, 1);
}

GLuint FixedFunctionRenderer::TextureName(RenderHandle handle) const {
  return handle != 0 && handle <= textures_.size() ? textures_[handle - 1] : 0;
}

void FixedFunctionRenderer::UseProjection(ProjectionKind kind, const Projection& p) {
  if (kind == projectionKind_ &&
      (kind == ProjectionKind::Identity ||
       (p.fieldOfView == projection_.fieldOfView && p.aspect == projection_.aspect &&
        p.nearPlane == projection_.nearPlane && p.farPlane == projection_.farPlane))) {
    return;
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (kind == ProjectionKind::Perspective) gluPerspective(p.fieldOfView, p.aspect, p.nearPlane, p.farPlane);
  glMatrixMode(GL_MODELVIEW);
  projectionKind_ = kind;
  projection_ = p;
}

void FixedFunctionRenderer::LoadModelview(const Matrix4& m) { glLoadMatrixf(m.m.data()); }

void FixedFunctionRenderer::SetCurrentAttributes(const Draw& draw) {
  glNormal3fv(draw.normal.data());
  glMultiTexCoord2fARB(GL_TEXTURE1_ARB, draw.unit1Coord[0], draw.unit1Coord[1]);
}

void FixedFunctionRenderer::SetFrameState(const Frame& frame) {
  if (frame.clearColour != clearColour_) {
    glClearColor(frame.clearColour[0], frame.clearColour[1], frame.clearColour[2], frame.clearColour[3]);
    clearColour_ = frame.clearColour;
  }
  if (frame.ambient != ambient_) {
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, frame.ambient.data());
    ambient_ = frame.ambient;
  }
  if (frame.fogColour != fogColour_) {
    glFogfv(GL_FOG_COLOR, frame.fogColour.data());
    fogColour_ = frame.fogColour;
  }
  if (frame.fogStart != fogStart_) glFogf(GL_FOG_START, fogStart_ = frame.fogStart);
  if (frame.fogEnd != fogEnd_) glFogf(GL_FOG_END, fogEnd_ = frame.fogEnd);
  // Positions and directions are eye space already: GL takes them under an
  // identity modelview as they are.
  bool identity = false;
  for (std::size_t i = 0; i < frame.lights.size(); ++i) {
    const LightSlot& want = frame.lights[i];
    LightSlot& held = lights_[i];
    const bool known = lightKnown_[i];
    const GLenum light = GL_LIGHT0 + static_cast<GLenum>(i);
    if (!known || want.on != held.on) want.on ? glEnable(light) : glDisable(light);
    if (!known || want.position != held.position || want.spotDirection != held.spotDirection) {
      if (!identity) glLoadIdentity();
      identity = true;
      glLightfv(light, GL_POSITION, want.position.data());
      glLightfv(light, GL_SPOT_DIRECTION, want.spotDirection.data());
    }
    if (!known || want.diffuse != held.diffuse) glLightfv(light, GL_DIFFUSE, want.diffuse.data());
    if (!known || want.spotCutoff != held.spotCutoff) glLightf(light, GL_SPOT_CUTOFF, want.spotCutoff);
    held = want;
    lightKnown_[i] = true;
  }
}

void FixedFunctionRenderer::Apply(const Draw& draw) {
  cache_.Apply(draw.state, {TextureName(draw.state.units[0].texture), TextureName(draw.state.units[1].texture)});
}

void FixedFunctionRenderer::DrawPicture(const Draw& draw, const Projection& projection) {
  Apply(draw);
  UseProjection(ProjectionKind::Identity, projection);
  LoadModelview(Matrix4::Identity());
  SetCurrentAttributes(draw);
  DrawSquare(1.0f);
}

void FixedFunctionRenderer::DrawFrame(const Frame& frame) {
  SetFrameState(frame);
  for (const Draw& draw : frame.draws) {
    switch (draw.kind) {
      case DrawKind::ClearColour: glClear(GL_COLOR_BUFFER_BIT); break;
      case DrawKind::ClearDepth:
        cache_.SetDepthWrite(draw.state.Has(kDepthWrite));
        glClear(GL_DEPTH_BUFFER_BIT);
        break;
      case DrawKind::Picture: DrawPicture(draw, frame.projection); break;
      case DrawKind::Mesh:
        Apply(draw);
        UseProjection(ProjectionKind::Perspective, frame.projection);
        LoadModelview(draw.modelview);
        if (draw.mesh->renderHandle != 0 && draw.mesh->renderHandle <= lists_.size()) {
          glCallList(lists_[draw.mesh->renderHandle - 1]);
        }
        if (draw.mesh->Has(HasColours)) cache_.ForgetColour();
        break;
      case DrawKind::MorphedMesh:
        Apply(draw);
        UseProjection(ProjectionKind::Perspective, frame.projection);
        LoadModelview(draw.modelview);
        SendMesh(*draw.mesh);
        if (draw.mesh->Has(HasColours)) cache_.ForgetColour();
        break;
      case DrawKind::Sprites:
        Apply(draw);
        UseProjection(ProjectionKind::Perspective, frame.projection);
        LoadModelview(Matrix4::Identity());
        SetCurrentAttributes(draw);
        DrawSquares(&frame.points[std::size_t{3} * draw.first], draw.count, draw.size);
        break;
      case DrawKind::Flare:
        Apply(draw);
        UseProjection(ProjectionKind::Perspective, frame.projection);
        LoadModelview(draw.modelview);
        SetCurrentAttributes(draw);
        DrawSquare(draw.size);
        break;
    }
  }
  glFlush();
}

void FixedFunctionRenderer::DrawLoadingPicture(const Texture& picture) {
  // Drawn before any frame, as frames draw their pictures.
  PipelineState state;
  state.FlatPicture();
  state.EnableAndBind(0, picture.renderHandle);
  DrawPicture(state.Snapshot(DrawKind::Picture), projection_);
}

void FixedFunctionRenderer::Resize(int width, int height) {
  framebuffer_.Resize(width, height);
  ResizeViewport(aspect_, width, height);
}

std::vector<unsigned char> FixedFunctionRenderer::ReadPicture() const { return framebuffer_.ReadRgb(); }

void FixedFunctionRenderer::StartReadPicture() { framebuffer_.StartRead(); }

std::vector<unsigned char> FixedFunctionRenderer::TakePicture() { return framebuffer_.TakeRead(); }

void FixedFunctionRenderer::KeepPicture() { framebuffer_.Keep(); }

void FixedFunctionRenderer::RestorePicture() { framebuffer_.Restore(); }

void FixedFunctionRenderer::PresentToWindow() { framebuffer_.BlitToWindow(); }

void FixedFunctionRenderer::DrawOverlay(const Overlay& overlay) {
  // Without an off-screen picture the window's buffer is the picture, and
  // an overlay drawn there would end up in the next motion-blur trail.
  if (!framebuffer_.offScreen()) return;
  framebuffer_.BindWindow();
  DrawOverlayCalls(overlay, framebuffer_.width(), framebuffer_.height());
  framebuffer_.BindPicture();
}

void FixedFunctionRenderer::Finish() { glFinish(); }


void PrepareFixedFunctionTexture(Image& image) { PrepareUpload(image); }

std::unique_ptr<Renderer> MakeFixedFunctionRenderer(GlProcLookup lookup, int width, int height, float aspect) {
  return std::make_unique<FixedFunctionRenderer>(lookup, width, height, aspect);
}

}  // namespace stagwerk
