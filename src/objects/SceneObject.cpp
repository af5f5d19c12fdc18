#include "objects/SceneObject.h"

#include <string_view>

#include "anim/BlockReading.h"
#include "anim/ChainLoops.h"
#include "base/LoadError.h"
#include "base/SceneReader.h"
#include "objects/Mesh.h"

namespace stagwerk {

namespace {

bool IsBlockKeyword(std::string_view token) {
  for (std::string_view keyword :
       {"ObjectDissolve", "ShadowOptions", "MorphAmount", "UnseenByRays", "UnaffectedByFog", "PolygonSize", "Plugin",
        "UnseenByCamera", "LineThickness", "UnseenByAlphaChannel"}) {
    if (token == keyword) return true;
  }
  return false;
}

void ReadBones(SceneObject& object, SceneReader& reader, const std::string& label) {
  const int count = object.mesh != nullptr ? object.mesh->boneCount() : 0;
  for (int i = 0; i < count; ++i) object.bones.push_back(Bone::Read(reader));
  for (auto& bone : object.bones) {
    if (bone->parentRef->kind == ItemRef::kBone) {
      if (bone->parentRef->index >= object.bones.size()) {
        throw LoadError(label + ": bone parent " + std::to_string(bone->parentRef->index) + " does not exist");
      }
      bone->parent = object.bones[bone->parentRef->index].get();
    } else {
      bone->parent = &object;
    }
  }
  // A loop among the bones would never end a walk up the skeleton.
  const auto loop = FirstLoopingChain(object.bones.size(), [&](std::size_t i) {
    const ItemRef& ref = *object.bones[i]->parentRef;
    return ref.kind == ItemRef::kBone ? std::size_t{ref.index} : kChainEnd;
  });
  if (loop) throw LoadError(label + ": bone parents form a loop");
}

void RequireMorphMesh(const SceneObject& object, const std::string& label) {
  if (object.mesh == nullptr) throw LoadError(label + ": a null object cannot morph");
}

void ReadMixer(SceneObject& object, SceneReader& reader, const std::string& label) {
  int32_t channelCount = 0;
  int32_t groups = 0;
  reader.ReadInt(&channelCount);
  reader.ReadInt(&groups);
  if (channelCount < 0) throw LoadError(label + ": negative morph mixer channel count");
  if (channelCount > object.mesh->targetCount()) {
    throw LoadError(label + ": morph mixer has " + std::to_string(channelCount) + " channels but the mesh has " +
                    std::to_string(object.mesh->targetCount()) + " morph targets");
  }
  object.mixerChannels.resize(static_cast<std::size_t>(channelCount));
  std::size_t filled = 0;
  for (int32_t group = 0; group < groups; ++group) {
    if (reader.AtEnd()) throw LoadError(label + ": morph mixer data ends early");
    reader.SkipTokens(2);
    int32_t n = 0;
    reader.ReadInt(&n);
    reader.SkipTokens(2);
    for (int32_t i = 0; i < n; ++i) {
      if (filled == object.mixerChannels.size()) {
        throw LoadError(label + ": morph mixer has more envelopes than its " + std::to_string(channelCount) +
                        " channels");
      }
      reader.SkipTokens(4);
      object.mixerChannels[filled++] = std::make_unique<Envelope>(ReadEnvelope(reader));
      reader.SkipToken();
    }
  }
  if (filled != object.mixerChannels.size()) {
    throw LoadError(label + ": morph mixer has " + std::to_string(filled) + " envelopes for its " +
                    std::to_string(channelCount) + " channels");
  }
}

}  // namespace

std::unique_ptr<SceneObject> SceneObject::Read(SceneReader& reader, Mesh* mesh, const std::string& name,
                                               const std::string& label) {
  auto object = std::make_unique<SceneObject>();
  object->mesh = mesh;
  object->name = name;
  PathString token;
  auto next = [&] { reader.ReadToken(token); };

  next();
  if (token == "ShowObject") {
    reader.SkipTokens(2);
    next();
  }
  if (token == "SchematicPosition") {
    reader.SkipTokens(2);
    next();
  }
  if (!(token == "ObjectMotion")) throw LoadError("Not ObjectMotion");
  object->motion = ReadMotionChannels(reader);
  next();

  if (token == "BoneFalloffType") {
    reader.SkipToken();
    ReadBones(*object, reader, label);
    next();
  }
  SkipChannelOptions(reader, token);
  if (token == "ParentItem") object->parentRef = ItemRef::Read(reader);

  // The end of the data ends the block too.
  while (!token.empty() && !IsBlockKeyword(token.view())) next();

  if (token == "MorphAmount") {
    object->morphAmount = std::make_unique<ScalarOrEnvelope>(ReadScalarOrEnvelope(reader));
    RequireMorphMesh(*object, label);
    object->morphs = true;
    // A missing MorphTarget or MorphSurfaces line leaves its place's word to
    // the steps below instead of swallowing it.
    next();
    if (token == "MorphTarget") {
      reader.ReadInt(&object->morphTargetNumber);
      next();
    }
    if (token == "MorphSurfaces") {
      reader.SkipToken();
      next();
    }
  }
  if (token == "Plugin") {
    reader.SkipTokens(2);
    next();
    if (!(token == "LW_MorphMixer")) throw LoadError("Not EndoMorphMixer");
    RequireMorphMesh(*object, label);
    object->morphs = true;
    ReadMixer(*object, reader, label);
    reader.SkipToken();
    next();
    if (token == "PluginEnabled") {
      reader.SkipToken();
      next();
    } else {
      object->flags |= ObjectFlag::MorphMixer;
    }
  }
  if (token == "ObjectDissolve") {
    object->dissolve = std::make_unique<ScalarOrEnvelope>(ReadScalarOrEnvelope(reader));
    if (!object->dissolve->envelope && object->dissolve->value > 0.9999f) object->dissolve.reset();
    next();
  } else {
    object->dissolve = std::make_unique<ScalarOrEnvelope>();
  }
  if (token == "PolygonSize") {
    object->polygonSize = ReadScalarOrEnvelope(reader);
    next();
  } else {
    object->polygonSize.value = 1.0f;
  }
  if (token == "LineThickness") {
    next();
    object->flags |= token == "2" ? ObjectFlag::DoubleBrightness : ObjectFlag::QuadrupleBrightness;
    reader.SkipTokens(3);
    next();
  }
  if (token == "UnaffectedByFog") {
    object->flags |= ObjectFlag::Unlit;
    reader.SkipToken();
    next();
  }
  if (token == "UnseenByRays") {
    object->flags |= ObjectFlag::Additive;
    reader.SkipToken();
    next();
  }
  if (token == "UnseenByCamera") {
    object->flags |= ObjectFlag::NoDepthTest;
    reader.SkipToken();
    next();
  }
  if (token == "UnseenByAlphaChannel") object->flags |= ObjectFlag::NoBlend;
  return object;
}

}  // namespace stagwerk
