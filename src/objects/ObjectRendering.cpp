#include "objects/ObjectRendering.h"

#include <vector>

#include "anim/EnvelopeEvaluation.h"
#include "gl/GlState.h"
#include "objects/MeshDrawing.h"
#include "objects/SceneObject.h"
#include "scene/Camera.h"

namespace stagwerk {

namespace {

void Switch(GLenum state, bool on) {
  if (on) {
    glEnable(state);
  } else {
    glDisable(state);
  }
}

float ValueOrZero(const ScalarOrEnvelope* scalar, float time) { return scalar ? scalar->ValueAt(time) : 0.0f; }

}  // namespace

void RenderObject(SceneObject& object, float time, const Camera& camera, const Matrix4& view) {
  if (object.mesh == nullptr || !object.dissolve) return;
  Matrix4 modelview = view;
  ApplyItemTransform(modelview, object, time);
  glLoadMatrixf(modelview.m.data());

  Switch(GL_LIGHTING, !(object.flags & Unlit));
  Switch(GL_DEPTH_TEST, !(object.flags & NoDepthTest));
  const float d = object.dissolve->ValueAt(time);
  const float k = camera.blurLength ? (1.0f - d) * CameraBlurFade(camera, time) : 1.0f - d;
  if (object.flags & Additive) {
    // Fades by darkening: it adds less light.
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor4f(k, k, k, 1.0f);
  } else {
    glDepthMask(GL_TRUE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 1.0f, k);
  }
  Switch(GL_BLEND, !(object.flags & NoBlend));
  DrawObject(object, time, modelview);
}

void BlendMorphChain(SceneObject& object, float time) {
  // The chain X -> T1 -> T2 ... ends at the first target without a target of
  // its own; it is blended from that end back. Loops were refused at load.
  thread_local std::vector<SceneObject*> chain;
  chain.clear();
  for (SceneObject* walk = &object; walk != nullptr && walk->morphTargetNumber != -1 && walk->morphTarget != nullptr;
       walk = walk->morphTarget) {
    chain.push_back(walk);
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    SceneObject& x = **it;
    const SceneObject& target = *x.morphTarget;
    if (!x.morphMesh) continue;
    const Mesh& to = target.morphTargetNumber != -1 && target.morphMesh ? *target.morphMesh : *target.mesh;
    x.morphMesh->Blend(*x.mesh, to, ValueOrZero(x.morphAmount.get(), time));
  }
}

void ApplyMorphMixer(SceneObject& object, float time) {
  Mesh& copy = *object.morphMesh;
  if (object.morphTargetNumber == -1) copy.CopyPositionsFrom(*object.mesh);
  for (std::size_t i = 0; i < object.mixerChannels.size(); ++i) {
    const float w = object.mixerChannels[i] ? EvaluateEnvelope(*object.mixerChannels[i], time) : 0.0f;
    if (w > 0.0001f) copy.ApplyMorphTarget(static_cast<uint32_t>(i), w);
  }
}

void DrawObject(SceneObject& object, float time, const Matrix4& modelview) {
  const Mesh& mesh = *object.mesh;
  const bool mixer = (object.flags & MorphMixer) != 0;
  if ((object.morphTargetNumber == -1 && !mixer) || !object.morphMesh) {
    if (mesh.Has(HasPolygons)) {
      BindTextures(mesh, object.flags);
      glCallList(mesh.displayList);
    } else {
      DrawSprites(mesh, object.polygonSize.ValueAt(time), modelview);
    }
    return;
  }
  if (object.morphTargetNumber != -1) BlendMorphChain(object, time);
  if (mixer) ApplyMorphMixer(object, time);

  Mesh& copy = *object.morphMesh;
  if (copy.Has(HasPolygons)) {
    // Unlit copies skip the normals: nothing reads them, unless an
    // environment map is generated from them.
    if (!(object.flags & Unlit) || mesh.Has(HasEnvironmentMap)) copy.ComputeNormals();
    BindTextures(mesh, object.flags);
    if (mesh.Has(AllTriangles)) {
      DrawTriangles(copy);
    } else {
      DrawPolygons(copy);
    }
  } else {
    DrawSprites(copy, object.polygonSize.ValueAt(time), modelview);
  }
}

}  // namespace stagwerk
