#include "objects/Bone.h"

#include <string_view>

#include "anim/LoadError.h"
#include "anim/SceneReader.h"

namespace stagwerk {

namespace {

void Expect(SceneReader& reader, std::string_view keyword, const char* message) {
  PathString token;
  reader.ReadToken(token);
  if (token.view() != keyword) throw LoadError(message);
}

}  // namespace

std::unique_ptr<Bone> Bone::Read(SceneReader& reader) {
  auto bone = std::make_unique<Bone>();
  Expect(reader, "AddBone", "Not AddBone");
  reader.SkipTokens(7);
  Expect(reader, "BoneRestPosition", "Not BoneRestPosition");
  for (float& value : bone->restPosition) reader.ReadFloat(&value);
  Expect(reader, "BoneRestDirection", "Not BoneRestDirection");
  reader.ReadFloat(&bone->restDirection[1]);  // heading
  reader.ReadFloat(&bone->restDirection[0]);  // pitch
  reader.ReadFloat(&bone->restDirection[2]);  // bank
  reader.SkipTokens(12);
  Expect(reader, "BoneMotion", "Not BoneMotion");
  bone->motion = ReadMotionChannels(reader);
  Expect(reader, "ParentItem", "Bone without Parent");
  bone->parentRef = ItemRef::Read(reader);
  return bone;
}

}  // namespace stagwerk
