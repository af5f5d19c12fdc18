#include "kq7/formats/demoscene/LightWaveSceneReader.h"

// Envelopes, motion channels (both layouts), scalars and colours, and the morph mixer.

namespace stagwerk::kq7::lightwave_scene {

// "{ Envelope", the key count, "Key" lines, "Behaviors", "}". The count is
// not trusted: the Key lines are.
Curve Reader::ReadCurve() {
  if (in_.Next() != "{" || in_.Next() != "Envelope") Fail("expected an envelope block \"{ Envelope\"");
  in_.Next();  // the key count
  Curve curve;
  while (in_.Peek() == "Key") {
    in_.Next();
    CurveKey key;
    key.value = Number();
    key.time = Number();
    key.shape = Integer();
    if (key.shape < kShapeTcb || key.shape > kShapeBezier2D) {
      Fail("key shape " + std::to_string(key.shape) + " is not one of 0 to 5");
    }
    for (float& p : key.params) p = Number();
    curve.keys.push_back(key);
  }
  if (curve.keys.empty()) Fail("an envelope without keys");
  if (in_.Next() != "Behaviors") Fail("expected Behaviors after the keys of an envelope");
  curve.pre = Integer();
  curve.post = Integer();
  if (in_.Peek() == "}") in_.Next();
  return curve;
}

// The six numbers of a LightWave 5 key: value, frame, then the span as it
// wrote it. Its own order is linear, tension, continuity, bias; a file with
// the linear flag last is recognised by where the 0 or 1 stands.
CurveKey Reader::OldKey(float value, float frame, const std::array<float, 4>& span) {
  const auto isFlag = [](float f) { return f == 0.0f || f == 1.0f; };
  const bool flagLast = !isFlag(span[0]) && isFlag(span[3]);
  const float linear = flagLast ? span[3] : span[0];
  CurveKey key;
  key.value = value;
  key.time = frame / fps_;
  if (linear != 0.0f) {
    key.shape = kShapeLinear;
  } else {
    key.shape = kShapeTcb;
    for (int i = 0; i < 3; ++i) key.params[static_cast<std::size_t>(i)] = span[static_cast<std::size_t>(flagLast ? i : i + 1)];
  }
  return key;
}

// LightWave 5 motion: the channel count, then either per channel a key
// count and a line of six numbers per key, or (as LightWave 5 itself
// wrote motions) a key count and per key a line of every channel's value
// and a line of frame and span. One behaviour line serves all channels.
std::vector<Curve> Reader::ReadOldMotion() {
  const int32_t channels = Integer();
  if (channels < 1 || static_cast<std::size_t>(channels) > kMaxChannels) {
    Fail("a motion of " + std::to_string(channels) + " channels");
  }
  std::vector<Curve> curves(static_cast<std::size_t>(channels));
  const int32_t firstCount = Integer();
  const bool perKey = firstCount > 0 && in_.NumbersOnLine() == static_cast<std::size_t>(channels) &&
                      in_.NumbersOnLine(1) == 5;
  if (perKey) {
    for (int32_t k = 0; k < firstCount; ++k) {
      std::vector<float> values;
      for (int32_t c = 0; c < channels; ++c) values.push_back(Number());
      const float frame = Number();
      std::array<float, 4> span{};
      for (float& s : span) s = Number();
      for (int32_t c = 0; c < channels; ++c) {
        curves[static_cast<std::size_t>(c)].keys.push_back(OldKey(values[static_cast<std::size_t>(c)], frame, span));
      }
    }
  } else {
    for (int32_t c = 0; c < channels; ++c) {
      const int32_t count = c == 0 ? firstCount : Integer();
      if (count < 0 || count > 1000000) Fail("a channel of " + std::to_string(count) + " keys");
      for (int32_t k = 0; k < count; ++k) {
        const float value = Number();
        const float frame = Number();
        std::array<float, 4> span{};
        for (float& s : span) s = Number();
        curves[static_cast<std::size_t>(c)].keys.push_back(OldKey(value, frame, span));
      }
    }
  }
  int32_t pre = kBehaviorConstant, post = kBehaviorConstant;
  for (;;) {
    const std::string_view word = in_.Peek();
    if (word == "EndBehavior" || word == "PostBehavior") {
      in_.Next();
      post = Integer();
    } else if (word == "PreBehavior") {
      in_.Next();
      pre = Integer();
    } else if (word == "Behaviors" || word == "PrePostBehavior") {
      in_.Next();
      pre = Integer();
      post = Integer();
    } else {
      break;
    }
  }
  for (Curve& curve : curves) {
    if (curve.keys.empty()) curve.keys.push_back(CurveKey{});
    curve.pre = pre;
    curve.post = post;
  }
  return curves;
}

Scalar Reader::ReadScalar(float unit) {
  const std::string_view word = in_.Next();
  if (word != "(envelope)") {
    float value = 0;
    if (!ConvertFloat(word, &value)) Fail("expected a number or (envelope), found \"" + std::string(word) + "\"");
    return Scalar::Of(value * unit);
  }
  Curve curve = in_.Peek() == "{" ? ReadCurve() : ReadOldMotion().front();
  for (CurveKey& key : curve.keys) key.value *= unit;
  return {curve.keys.front().value, std::move(curve)};
}

// A number the player cannot animate: its value at the first frame.
float Reader::Fixed(const Scalar& s, const std::string& what) {
  if (!s.curve) return s.value;
  const float t = static_cast<float>(scene().firstFrame) / fps_;
  const float v = s.ValueAt(t);
  Warn(Label() + ": " + what + " is animated; the player holds one value, its value at the first frame, " +
       std::to_string(v));
  return v;
}

std::array<float, 3> Reader::ReadColor(const std::string& what) {
  // LightWave 5 wrote colours as 0..255.
  const float unit = old_ ? 1.0f / 255.0f : 1.0f;
  std::array<float, 3> color{};
  for (float& c : color) c = Fixed(ReadScalar(unit), what);
  return color;
}

Motion Reader::ReadMotion() {
  Motion motion;
  if (in_.Peek() != "NumChannels") {
    in_.SkipLine();  // "(unnamed)" or a motion name
    motion.channels = ReadOldMotion();
    // LightWave 5 turned items in degrees.
    for (std::size_t c = 3; c < 6 && c < motion.channels.size(); ++c) {
      for (CurveKey& key : motion.channels[c].keys) key.value *= kRadiansPerDegree;
    }
    return motion;
  }
  in_.Next();
  const int32_t count = Integer();
  if (count < 0 || static_cast<std::size_t>(count) > kMaxChannels) Fail("NumChannels " + std::to_string(count));
  std::vector<std::optional<Curve>> read(static_cast<std::size_t>(count));
  while (in_.Peek() == "Channel") {
    in_.Next();
    const int32_t index = Integer();
    if (index < 0 || static_cast<std::size_t>(index) >= kMaxChannels) Fail("channel " + std::to_string(index));
    if (static_cast<std::size_t>(index) >= read.size()) read.resize(static_cast<std::size_t>(index) + 1);
    read[static_cast<std::size_t>(index)] = ReadCurve();
  }
  for (std::size_t c = 0; c < read.size(); ++c) {
    motion.channels.push_back(read[c] ? std::move(*read[c]) : Curve::Constant(c >= 6 && c < 9 ? 1.0f : 0.0f));
  }
  return motion;
}

// The morph mixer's data, in the one layout the player reads.
void Reader::ReadMixer(DemoObject& object) {
  const int32_t channels = Integer();
  const int32_t groups = Integer();
  if (channels < 0 || channels > 0xFFFF || groups < 0) Fail("morph mixer of " + std::to_string(channels) + " channels");
  std::vector<Curve> mixer;
  for (int32_t g = 0; g < groups; ++g) {
    in_.Next(), in_.Next();
    const int32_t n = Integer();
    in_.Next(), in_.Next();
    for (int32_t i = 0; i < n; ++i) {
      for (int w = 0; w < 4; ++w) in_.Next();
      mixer.push_back(ReadCurve());
      in_.Next();
    }
  }
  if (mixer.size() != static_cast<std::size_t>(channels)) {
    Fail("the morph mixer has " + std::to_string(mixer.size()) + " envelopes for " + std::to_string(channels) +
         " channels");
  }
  if (in_.Next() != "EndPlugin") Fail("expected EndPlugin after the morph mixer's envelopes");
  object.mixer = std::move(mixer);
  object.mixerEnabled = true;
  if (in_.Peek() == "PluginEnabled") {
    in_.Next();
    in_.Next();
    object.mixerEnabled = false;  // whatever its value, as the player has it
  }
}

}  // namespace stagwerk::kq7::lightwave_scene
