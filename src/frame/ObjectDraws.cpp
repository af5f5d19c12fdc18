#include "frame/ObjectDraws.h"

#include "frame/Frame.h"
#include "frame/MorphCopies.h"
#include "frame/PipelineState.h"
#include "frame/ScenePose.h"
#include "frame/SyncValues.h"
#include "frame/TextureUnits.h"
#include "objects/SceneObject.h"

namespace stagwerk {

namespace {

// What the last corner of a mesh leaves as GL's current attributes.
void KeepLastCorner(PipelineState& s, const Mesh& mesh) {
  if (mesh.cornerTotal() == 0) return;
  const uint32_t c = mesh.cornerTotal() - 1;
  const float* n = &mesh.normals()[std::size_t{3} * mesh.vertexIndices()[c]];
  s.normal = {n[0], n[1], n[2]};
  if (mesh.Has(HasColours)) {
    const float* k = &mesh.colours()[std::size_t{4} * mesh.colourIndices()[c]];
    s.colour = {k[0], k[1], k[2], k[3]};
  }
  if (mesh.Has(HasSecondTexture)) {
    const float* uv = &mesh.uvs2()[std::size_t{2} * mesh.uv2Indices()[c]];
    s.unit1Coord = {uv[0], uv[1]};
  }
}

void AddMesh(ObjectPass& pass, DrawKind kind, const Mesh& drawn, const Mesh& base, ObjectFlags flags,
             const Matrix4& modelview) {
  BindMeshTextures(pass.state, base, flags);
  Draw& draw = pass.frame.draws.emplace_back(pass.state.Snapshot(kind));
  draw.modelview = modelview;
  draw.mesh = &drawn;
  KeepLastCorner(pass.state, drawn);
}

// A square at each vertex's eye position, parallel to the screen: the
// object's rotation and scale never reach it.
void AddSprites(ObjectPass& pass, const Mesh& points, const Mesh& base, float size, const Matrix4& m) {
  BindSpriteTexture(pass.state, base);
  std::vector<float>& out = pass.frame.points;
  Draw& draw = pass.frame.draws.emplace_back(pass.state.Snapshot(DrawKind::Sprites));
  draw.size = size;
  draw.first = static_cast<uint32_t>(out.size() / 3);
  const std::span<const float> p = points.positions();
  for (std::size_t i = 0; i + 2 < p.size(); i += 3) {
    out.push_back(m[0] * p[i] + m[4] * p[i + 1] + m[8] * p[i + 2] + m[12]);
    out.push_back(m[1] * p[i] + m[5] * p[i + 1] + m[9] * p[i + 2] + m[13]);
    out.push_back(m[2] * p[i] + m[6] * p[i + 1] + m[10] * p[i + 2] + m[14]);
  }
  draw.count = static_cast<uint32_t>(out.size() / 3) - draw.first;
}

}  // namespace

void AddObject(ObjectPass& pass, const SceneObject& object) {
  if (object.mesh == nullptr || !object.dissolve) return;
  PipelineState& s = pass.state;
  const Matrix4& modelview = pass.pose.Placed(object);

  const ObjectFlags flags = object.flags;
  s.lighting = !flags.Has(ObjectFlag::Unlit);
  s.depthTest = !flags.Has(ObjectFlag::NoDepthTest);
  const float d = pass.sync.ItemOr(object, SyncChannel::Dissolve, pass.pose.Dissolve(object));
  const float k = pass.blurred ? (1.0f - d) * pass.blurFade : 1.0f - d;
  if (flags.Has(ObjectFlag::Additive)) {
    // Fades by darkening: it adds less light.
    s.depthWrite = false;
    s.blendFunc = BlendFunc::Additive;
    s.colour = {k, k, k, 1.0f};
  } else {
    s.depthWrite = true;
    s.blendFunc = BlendFunc::Alpha;
    s.colour = {1.0f, 1.0f, 1.0f, k};
  }
  s.blend = !flags.Has(ObjectFlag::NoBlend);

  const Mesh& mesh = *object.mesh;
  const bool mixer = flags.Has(ObjectFlag::MorphMixer);
  Mesh* copy = pass.morphs.CopyOf(object);
  if ((object.morphTargetNumber == -1 && !mixer) || copy == nullptr) {
    if (mesh.Has(HasPolygons)) {
      AddMesh(pass, DrawKind::Mesh, mesh, mesh, flags, modelview);
    } else {
      AddSprites(pass, mesh, mesh, object.polygonSize.ValueAt(pass.time), modelview);
    }
    return;
  }
  if (object.morphTargetNumber != -1) pass.morphs.BlendChain(object, pass.time);
  if (mixer) pass.morphs.ApplyMixer(object, pass.time);
  if (copy->Has(HasPolygons)) {
    // Unlit copies skip the normals: nothing reads them, unless an
    // environment map is generated from them.
    if (!flags.Has(ObjectFlag::Unlit) || mesh.Has(HasEnvironmentMap)) copy->ComputeNormals();
    AddMesh(pass, DrawKind::MorphedMesh, *copy, mesh, flags, modelview);
  } else {
    AddSprites(pass, *copy, mesh, object.polygonSize.ValueAt(pass.time), modelview);
  }
}

}  // namespace stagwerk
