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

// An object block's lines come in a fixed order, each one optional. Every
// step reads its own line when the current word names it and leaves the
// word after it in token_ for the next step.
class ObjectBlock {
 public:
  ObjectBlock(SceneReader& reader, SceneObject& object, const std::string& label)
      : reader_(reader), object_(object), label_(label) {}

  void Read() {
    ReadMotion();
    ReadSkeleton();
    ReadParent();
    // The end of the data ends the block too.
    while (!token_.empty() && !IsBlockKeyword(token_.view())) Next();
    ReadMorphAmount();
    ReadMorphMixer();
    ReadDissolve();
    ReadPolygonSize();
    ReadDrawingSwitches();
  }

 private:
  void Next() { reader_.ReadToken(token_); }

  // A line of keyword and n values nothing here needs.
  void SkipLine(std::string_view keyword, int32_t n) {
    if (!(token_ == keyword)) return;
    reader_.SkipTokens(n);
    Next();
  }

  void ReadMotion() {
    Next();
    SkipLine("ShowObject", 2);
    SkipLine("SchematicPosition", 2);
    if (!(token_ == "ObjectMotion")) throw LoadError("Not ObjectMotion");
    object_.motion = ReadMotionChannels(reader_);
    Next();
  }

  void ReadSkeleton() {
    if (!(token_ == "BoneFalloffType")) return;
    reader_.SkipToken();
    ReadBones(object_, reader_, label_);
    Next();
  }

  void ReadParent() {
    SkipChannelOptions(reader_, token_);
    if (token_ == "ParentItem") object_.parentRef = ItemRef::Read(reader_);
  }

  void ReadMorphAmount() {
    if (!(token_ == "MorphAmount")) return;
    object_.morphAmount = std::make_unique<ScalarOrEnvelope>(ReadScalarOrEnvelope(reader_));
    RequireMorphMesh(object_, label_);
    object_.morphs = true;
    // A missing MorphTarget or MorphSurfaces line leaves its place's word to
    // the steps below instead of swallowing it.
    Next();
    if (token_ == "MorphTarget") {
      reader_.ReadInt(&object_.morphTargetNumber);
      Next();
    }
    SkipLine("MorphSurfaces", 1);
  }

  void ReadMorphMixer() {
    if (!(token_ == "Plugin")) return;
    reader_.SkipTokens(2);
    Next();
    if (!(token_ == "LW_MorphMixer")) throw LoadError("Not EndoMorphMixer");
    RequireMorphMesh(object_, label_);
    object_.morphs = true;
    ReadMixer(object_, reader_, label_);
    reader_.SkipToken();
    Next();
    if (token_ == "PluginEnabled") {
      reader_.SkipToken();
      Next();
    } else {
      object_.flags |= ObjectFlag::MorphMixer;
    }
  }

  void ReadDissolve() {
    if (!(token_ == "ObjectDissolve")) {
      object_.dissolve = std::make_unique<ScalarOrEnvelope>();
      return;
    }
    object_.dissolve = std::make_unique<ScalarOrEnvelope>(ReadScalarOrEnvelope(reader_));
    if (!object_.dissolve->envelope && object_.dissolve->value > 0.9999f) object_.dissolve.reset();
    Next();
  }

  void ReadPolygonSize() {
    if (!(token_ == "PolygonSize")) {
      object_.polygonSize.value = 1.0f;
      return;
    }
    object_.polygonSize = ReadScalarOrEnvelope(reader_);
    Next();
  }

  // Lines whose old meanings the player reads as drawing switches.
  void ReadDrawingSwitches() {
    if (token_ == "LineThickness") {
      Next();
      object_.flags |= token_ == "2" ? ObjectFlag::DoubleBrightness : ObjectFlag::QuadrupleBrightness;
      reader_.SkipTokens(3);
      Next();
    }
    SwitchLine("UnaffectedByFog", ObjectFlag::Unlit);
    SwitchLine("UnseenByRays", ObjectFlag::Additive);
    SwitchLine("UnseenByCamera", ObjectFlag::NoDepthTest);
    if (token_ == "UnseenByAlphaChannel") object_.flags |= ObjectFlag::NoBlend;
  }

  void SwitchLine(std::string_view keyword, ObjectFlag flag) {
    if (!(token_ == keyword)) return;
    object_.flags |= flag;
    reader_.SkipToken();
    Next();
  }

  SceneReader& reader_;
  SceneObject& object_;
  const std::string& label_;
  PathString token_;
};

}  // namespace

std::unique_ptr<SceneObject> SceneObject::Read(SceneReader& reader, Mesh* mesh, const std::string& name,
                                               const std::string& label) {
  auto object = std::make_unique<SceneObject>();
  object->mesh = mesh;
  object->name = name;
  ObjectBlock(reader, *object, label).Read();
  return object;
}

}  // namespace stagwerk
