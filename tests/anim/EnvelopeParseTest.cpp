#include <gtest/gtest.h>

#include <string>

#include "anim/Envelope.h"
#include "base/LoadError.h"
#include "base/SceneReader.h"

namespace stagwerk {
namespace {

Envelope Parse(const std::string& text) {
  SceneReader reader{text};
  return ReadEnvelope(reader);
}

std::string ParseError(const std::string& text) {
  try {
    Parse(text);
  } catch (const LoadError& error) {
    return error.what();
  }
  return "no error";
}

TEST(EnvelopeParse, ReadsEachShapesParameters) {
  const Envelope envelope = Parse(
      "{ Envelope\n  4\n"
      "  Key 1 0 0 0.5 -0.5 0.25 9 9 9\n"
      "  Key 2 1 1 9 9 9 0.7 0.8 9\n"
      "  Key 3 2 5 0.1 0.2 0.3 0.4 9 9\n"
      "  Key 4 3 4 9 9 9 9 9 9\n"
      "  Behaviors 2 3\n}\n");
  ASSERT_EQ(envelope.count(), 4);
  const EnvelopeKey* k = envelope.keys();
  EXPECT_FLOAT_EQ(k[0].tension, 0.5f);
  EXPECT_FLOAT_EQ(k[0].continuity, -0.5f);
  EXPECT_FLOAT_EQ(k[0].bias, 0.25f);
  EXPECT_EQ(k[1].shape, kShapeHermite);
  EXPECT_FLOAT_EQ(k[1].param0, 0.7f);
  EXPECT_FLOAT_EQ(k[1].param1, 0.8f);
  EXPECT_FLOAT_EQ(k[1].tension, 0.0f);
  EXPECT_FLOAT_EQ(k[2].param0, 0.1f);
  EXPECT_FLOAT_EQ(k[2].param3, 0.4f);
  EXPECT_FLOAT_EQ(k[3].value, 4.0f);
  EXPECT_FLOAT_EQ(k[3].time, 3.0f);
  EXPECT_EQ(k[3].param0, 0.0f);
  EXPECT_EQ(envelope.pre, kBehaviorRepeat);
  EXPECT_EQ(envelope.post, kBehaviorOscillate);
  // Linked both ways, ends open.
  EXPECT_EQ(k[0].prev, nullptr);
  EXPECT_EQ(k[0].next, &k[1]);
  EXPECT_EQ(k[2].prev, &k[1]);
  EXPECT_EQ(k[3].next, nullptr);
}

TEST(EnvelopeParse, CountZeroOrNotANumberStillReadsOneKey) {
  for (const char* count : {"0", "many"}) {
    const Envelope envelope = Parse(std::string("{ Envelope ") + count + " Key 5 0 3 0 0 0 0 0 0 Behaviors 1 1 }");
    EXPECT_EQ(envelope.count(), 1);
    EXPECT_FLOAT_EQ(envelope.keys()[0].value, 5.0f);
  }
}

TEST(EnvelopeParse, MismatchesThrowTheirTexts) {
  const std::string key = " Key 0 0 3 0 0 0 0 0 0";
  EXPECT_EQ(ParseError("{ Envelop 1" + key + " Behaviors 1 1 }"), "Not Envelope");
  EXPECT_EQ(ParseError("{ Envelope 2" + key + " Behaviors 1 1 }"), "Not Key");
  EXPECT_EQ(ParseError("{ Envelope 1" + key + key + " Behaviors 1 1 }"), "Not Behaviors");
  // Unknown shapes consume no parameters.
  EXPECT_EQ(ParseError("{ Envelope 2 Key 0 0 6 0 0 0 0 0 0" + key + " Behaviors 1 1 }"), "Not Key");
  EXPECT_EQ(ParseError("{ Envelope 1 Key 0 0 -1 0 0 0 0 0 0 Behaviors 1 1 }"), "Not Behaviors");
  // A token that merely begins with the keyword does not match.
  EXPECT_EQ(ParseError("{ Envelope 1 Keys 0 0 3 0 0 0 0 0 0 Behaviors 1 1 }"), "Not Key");
}

TEST(EnvelopeParse, EndOfDataAndBadCountsEndInErrors) {
  EXPECT_EQ(ParseError(""), "Not Envelope");
  EXPECT_EQ(ParseError("{ Envelope 2147483647 Key 0 0 3 0 0 0 0 0 0"), "Not Key");
  EXPECT_EQ(ParseError("{ Envelope -3 Key 0 0 3 0 0 0 0 0 0 Behaviors 1 1 }"), "Not Key");
  EXPECT_EQ(ParseError("{ Envelope 1 Key 0 0 3 0 0 0 0 0 0"), "Not Behaviors");
}

TEST(MotionChannelsParse, ReadsChannelsInOrderWhateverTheirLabels) {
  const std::string channel = " { Envelope 1 Key 7 0 0 0 0 0 0 0 0 Behaviors 1 1 }";
  const std::string text = "NumChannels 2 Channel 5" + channel + " Foo Bar" + channel + " Tail";
  SceneReader reader{text};
  const MotionChannels motion = ReadMotionChannels(reader);
  ASSERT_EQ(motion.count(), 2);
  EXPECT_FLOAT_EQ(motion.channels[1].keys()[0].value, 7.0f);
  EXPECT_EQ(reader.NextToken(), "Tail");
}

TEST(MotionChannelsParse, EmptyNegativeAndNonNumericCountsReadNothing) {
  for (const char* count : {"0", "-4", "x"}) {
    const std::string text = std::string("NumChannels ") + count + " Next";
    SceneReader reader{text};
    EXPECT_EQ(ReadMotionChannels(reader).count(), 0);
    EXPECT_EQ(reader.NextToken(), "Next");
  }
  SceneReader wrong{std::string_view("NumChannel 1")};
  EXPECT_THROW(ReadMotionChannels(wrong), LoadError);
  SceneReader tooMany{std::string_view("NumChannels 100000000 Channel 0")};
  try {
    ReadMotionChannels(tooMany);
    FAIL();
  } catch (const LoadError& error) {
    EXPECT_STREQ(error.what(), "Not Envelope");
  }
}

TEST(ScalarOrEnvelopeParse, ConstantOrEnvelope) {
  SceneReader constant{std::string_view("2.5 next")};
  ScalarOrEnvelope a = ReadScalarOrEnvelope(constant);
  EXPECT_EQ(a.envelope, nullptr);
  EXPECT_FLOAT_EQ(a.ValueAt(100.0f), 2.5f);

  SceneReader notNumber{std::string_view("abc")};
  EXPECT_FLOAT_EQ(ReadScalarOrEnvelope(notNumber).value, 0.0f);

  SceneReader animated{std::string_view(
      "(envelope) x Envelope 2 Key 0 0 3 0 0 0 0 0 0 Key 10 1 3 0 0 0 0 0 0 Behaviors 1 1 }")};
  ScalarOrEnvelope b = ReadScalarOrEnvelope(animated);
  ASSERT_NE(b.envelope, nullptr);
  EXPECT_FLOAT_EQ(b.ValueAt(0.5f), 5.0f);

  SceneReader wrong{std::string_view("(envelope) { Curve 1")};
  EXPECT_THROW(ReadScalarOrEnvelope(wrong), LoadError);
}

}  // namespace
}  // namespace stagwerk
