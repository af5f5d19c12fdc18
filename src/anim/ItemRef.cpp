#include "anim/ItemRef.h"

#include "base/SceneReader.h"

namespace stagwerk {

ItemRef ItemRef::FromId(uint32_t id) {
  ItemRef ref;
  ref.kind = static_cast<uint16_t>(id >> 28);
  if (ref.kind == kBone) {
    ref.index = static_cast<uint16_t>((id >> 16) & 0x0FFF);
    ref.ownerIndex = static_cast<uint16_t>(id & 0xFFFF);
  } else {
    ref.index = static_cast<uint16_t>(id & 0xFFFF);
  }
  return ref;
}

ItemRef ItemRef::Read(SceneReader& reader) {
  uint32_t id = 0;
  ConvertHex(reader.NextToken(), &id);
  return FromId(id);
}

}  // namespace stagwerk
