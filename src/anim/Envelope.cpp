#include "anim/Envelope.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "anim/EnvelopeEvaluation.h"
#include "anim/BlockReading.h"
#include "base/LoadError.h"
#include "base/SceneReader.h"

namespace stagwerk {

Envelope::Envelope(std::vector<EnvelopeKey> keys, int32_t pre, int32_t post)
    : pre(pre), post(post), keys_(std::move(keys)) {
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    keys_[i].prev = i > 0 ? &keys_[i - 1] : nullptr;
    keys_[i].next = i + 1 < keys_.size() ? &keys_[i + 1] : nullptr;
  }
}

float ScalarOrEnvelope::ValueAt(float t) const { return envelope ? EvaluateEnvelope(*envelope, t) : value; }

Envelope ReadEnvelope(SceneReader& reader) {
  reader.SkipToken();  // "{"
  ExpectToken(reader, "Envelope", "Not Envelope");
  int32_t count = 0;
  reader.ReadInt(&count);
  if (count == 0) count = 1;
  // A negative count cannot be matched by key lines. A count larger than the
  // keys present ends in "Not Key" at the end of the data.
  if (count < 0) throw LoadError("Not Key");

  std::vector<EnvelopeKey> keys;
  // Every key line takes at least 20 bytes; don't trust the count further.
  keys.reserve(std::min<std::size_t>(static_cast<std::size_t>(count), reader.remaining() / 20 + 1));
  for (int32_t i = 0; i < count; ++i) {
    ExpectToken(reader, "Key", "Not Key");
    EnvelopeKey key;
    reader.ReadFloat(&key.value);
    reader.ReadFloat(&key.time);
    reader.ReadInt(&key.shape);
    switch (key.shape) {
      case kShapeTcb:
        reader.ReadFloat(&key.tension);
        reader.ReadFloat(&key.continuity);
        reader.ReadFloat(&key.bias);
        reader.SkipTokens(3);
        break;
      case kShapeHermite:
      case kShapeBezier1D:
        reader.SkipTokens(3);
        reader.ReadFloat(&key.param0);
        reader.ReadFloat(&key.param1);
        reader.SkipToken();
        break;
      case kShapeLinear:
      case kShapeStepped:
        reader.SkipTokens(6);
        break;
      case kShapeBezier2D:
        reader.ReadFloat(&key.param0);
        reader.ReadFloat(&key.param1);
        reader.ReadFloat(&key.param2);
        reader.ReadFloat(&key.param3);
        reader.SkipTokens(2);
        break;
      default:
        break;  // no parameters consumed: the next keyword check fails
    }
    keys.push_back(key);
  }
  ExpectToken(reader, "Behaviors", "Not Behaviors");
  int32_t pre = 0;
  int32_t post = 0;
  reader.ReadInt(&pre);
  reader.ReadInt(&post);
  reader.SkipToken();  // "}"
  return Envelope(std::move(keys), pre, post);
}

MotionChannels ReadMotionChannels(SceneReader& reader) {
  ExpectToken(reader, "NumChannels", "Not NumChannels");
  int32_t count = 0;
  reader.ReadInt(&count);
  MotionChannels motion;
  if (count < 1) return motion;
  for (int32_t i = 0; i < count; ++i) {
    reader.SkipTokens(2);  // "Channel" and its number: the order alone counts
    motion.channels.push_back(ReadEnvelope(reader));
  }
  return motion;
}

ScalarOrEnvelope ReadScalarOrEnvelope(SceneReader& reader) {
  ScalarOrEnvelope scalar;
  const std::string_view token = reader.NextToken();
  if (token == "(envelope)") {
    scalar.envelope = std::make_unique<Envelope>(ReadEnvelope(reader));
  } else {
    ConvertFloat(token, &scalar.value);
  }
  return scalar;
}

}  // namespace stagwerk
