#include "kq7/formats/demoscene/LightWaveSceneReader.h"

// Item ids and parents, resolved once every item is known; what the player would not follow is dropped.

namespace stagwerk::kq7::lightwave_scene {

bool IsHexId(std::string_view word) {
  if (word.size() != 8) return false;
  for (char c : word) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

uint32_t HexValue(std::string_view word) {
  uint32_t id = 0;
  ConvertHex(word, &id);
  return id;
}

// An item id written after the keyword by LightWave 7 and later.
std::optional<uint32_t> Reader::ExplicitId(bool moreAfter) {
  if (!in_.MoreOnLine() || !IsHexId(in_.Peek())) return std::nullopt;
  if (moreAfter) {
    LineTokens ahead = in_;
    ahead.Next();
    if (!ahead.MoreOnLine()) return std::nullopt;
  }
  return HexValue(in_.Next());
}

void Reader::Link(bool byNumber, uint32_t value) {
  PendingLink link{kind_, 0, 0, byNumber, value};
  switch (kind_) {
    case Kind::Object: link.index = scene().objects.size() - 1; break;
    case Kind::Bone:
      link.index = scene().objects.size() - 1;
      link.bone = scene().objects.back().bones.size() - 1;
      boneLinked_ = true;
      break;
    case Kind::Light: link.index = scene().lights.size() - 1; break;
    case Kind::Camera: link.index = scene().cameras.size() - 1; break;
    case Kind::None: return;
  }
  links_.push_back(link);
}

std::optional<ItemLink> Reader::Target(const PendingLink& p, const std::string& label) {
  ItemLink link;
  std::size_t count = 0;
  if (p.byNumber) {
    link.kind = ItemRef::kObject;
    link.index = static_cast<uint16_t>(p.value - 1);
    count = scene().objects.size();
  } else {
    const ItemRef ref = ItemRef::FromId(p.value);
    link.kind = ref.kind;
    link.index = ref.index;
    link.owner = ref.ownerIndex;
    const std::map<uint32_t, uint16_t>* ids = nullptr;
    switch (ref.kind) {
      case ItemRef::kObject: ids = &objectIds_, count = scene().objects.size(); break;
      case ItemRef::kLight: ids = &lightIds_, count = scene().lights.size(); break;
      case ItemRef::kCamera: ids = &cameraIds_, count = scene().cameras.size(); break;
      case ItemRef::kBone:
        return link;  // the player gives items no bone parents; kept as written
      default: break;
    }
    if (ids != nullptr) {
      if (const auto it = ids->find(p.value); it != ids->end()) link.index = it->second;
    }
  }
  if (link.index >= count) {
    Warn(label + ": its parent " + std::to_string(p.value) + " is not an item of the scene; it is dropped");
    return std::nullopt;
  }
  return link;
}

void Reader::Resolve() {
  DemoScene& s = scene();
  for (const PendingLink& p : links_) {
    switch (p.item) {
      case Kind::Object: s.objects[p.index].parent = Target(p, "object " + std::to_string(p.index + 1)); break;
      case Kind::Light: s.lights[p.index].parent = Target(p, "light " + std::to_string(p.index + 1)); break;
      case Kind::Camera: s.cameras[p.index].parent = Target(p, "camera " + std::to_string(p.index + 1)); break;
      case Kind::Bone: {
        DemoBone& bone = s.objects[p.index].bones[p.bone];
        const std::optional<ItemLink> link = Target(p, "a bone of object " + std::to_string(p.index + 1));
        if (link) bone.parent = *link;
        break;
      }
      case Kind::None: break;
    }
  }
  for (const auto& [object, id] : morphIds_) {
    const auto it = objectIds_.find(id);
    s.objects[object].morphTarget = (it != objectIds_.end() ? it->second : static_cast<int32_t>(id & 0xFFFF)) + 1;
  }
  for (std::size_t i = 0; i < s.objects.size(); ++i) {
    DemoObject& o = s.objects[i];
    const std::string label = "object " + std::to_string(i + 1) + " (" + o.label + ")";
    if (o.morphTarget != -1 && (o.morphTarget < 1 || static_cast<std::size_t>(o.morphTarget) > s.objects.size() ||
                                s.objects[static_cast<std::size_t>(o.morphTarget) - 1].mesh.empty())) {
      Warn(label + ": morph target " + std::to_string(o.morphTarget) + " is not an object with a mesh; it is dropped");
      o.morphTarget = -1;
    }
    // The player morphs only with both an amount and a target.
    if (o.morphTarget == -1 || !o.morphAmount) {
      o.morphTarget = -1;
      o.morphAmount.reset();
    }
    if (o.mesh.empty() && (o.morphAmount || !o.mixer.empty() || o.boneFalloff)) {
      Warn(label + ": a null object cannot morph or carry bones; its morph and bones are dropped");
      o.morphAmount.reset();
      o.morphTarget = -1;
      o.mixer.clear();
      o.boneFalloff.reset();
      o.bones.clear();
    }
    if (!o.bones.empty() && !o.boneFalloff) o.boneFalloff = "0";
    if (o.boneFalloff && o.bones.empty()) o.boneFalloff.reset();
  }
  for (DemoLight& l : s.lights) {
    if (l.type == 2 && !l.coneAngle) l.coneAngle = Scalar::Of(30);
  }
}

}  // namespace stagwerk::kq7::lightwave_scene
