#include "objects/Bone.h"

#include <string_view>

#include "anim/BlockReading.h"
#include "base/LoadError.h"
#include "base/SceneReader.h"

namespace stagwerk {

std::unique_ptr<Bone> Bone::Read(SceneReader& reader) {
  auto bone = std::make_unique<Bone>();
  ExpectToken(reader, "AddBone", "Not AddBone");
  reader.SkipTokens(7);
  ExpectToken(reader, "BoneRestPosition", "Not BoneRestPosition");
  for (float& value : bone->restPosition) reader.ReadFloat(&value);
  ExpectToken(reader, "BoneRestDirection", "Not BoneRestDirection");
  reader.ReadFloat(&bone->restDirection[1]);  // heading
  reader.ReadFloat(&bone->restDirection[0]);  // pitch
  reader.ReadFloat(&bone->restDirection[2]);  // bank
  reader.SkipTokens(12);
  ExpectToken(reader, "BoneMotion", "Not BoneMotion");
  bone->motion = ReadMotionChannels(reader);
  ExpectToken(reader, "ParentItem", "Bone without Parent");
  bone->parentRef = ItemRef::Read(reader);
  return bone;
}

}  // namespace stagwerk
