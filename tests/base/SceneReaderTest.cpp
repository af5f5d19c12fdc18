#include "base/SceneReader.h"

#include <gtest/gtest.h>

#include <string>

#include "base/LoadError.h"
#include "base/PathString.h"
#include "base/WholeFile.h"
#include "TempDir.h"

namespace stagwerk {
namespace {

std::string Token(SceneReader& reader) {
  PathString token;
  reader.ReadToken(token);
  return token.str();
}

TEST(SceneReader, EmptyInputIsAtEndAndYieldsEmptyTokens) {
  SceneReader reader{std::string_view()};
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(Token(reader), "");
  float f = 7.0f;
  reader.ReadFloat(&f);
  EXPECT_EQ(f, 7.0f);
  reader.SkipTokens(5);
  EXPECT_TRUE(reader.AtEnd());
}

TEST(SceneReader, AnyRunOfNonPrintingBytesSeparates) {
  const std::string text = std::string("  Key\t1\r\n\f2") + "\x80\xff" + "3\x01\x7f{Envelope }";
  SceneReader reader{text};
  EXPECT_EQ(Token(reader), "Key");
  EXPECT_EQ(Token(reader), "1");
  EXPECT_EQ(Token(reader), "2");
  EXPECT_EQ(Token(reader), "3");
  EXPECT_EQ(Token(reader), "{Envelope");  // a brace against a word is one token
  EXPECT_EQ(Token(reader), "}");
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(Token(reader), "");
}

TEST(SceneReader, LastTokenEndingAtLastByteIsReadWhole) {
  const std::string text = "a bc";
  SceneReader reader{std::string_view(text.data(), 4)};
  reader.SkipToken();
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_EQ(Token(reader), "bc");
  EXPECT_TRUE(reader.AtEnd());
}

TEST(SceneReader, ReadingStopsAtTheGivenSize) {
  const std::string text = "abc def";
  SceneReader reader{std::string_view(text.data(), 5)};  // "abc d"
  reader.SkipToken();
  EXPECT_EQ(Token(reader), "d");
  EXPECT_TRUE(reader.AtEnd());
}

TEST(SceneReader, SkipTokensIgnoresCountsBelowOne) {
  SceneReader reader{std::string_view("a b c")};
  reader.SkipTokens(0);
  reader.SkipTokens(-3);
  EXPECT_EQ(reader.offset(), 0u);
  reader.SkipTokens(2);
  EXPECT_EQ(Token(reader), "c");
}

TEST(SceneReader, LongTokensAreCutAndConsumedWhole) {
  const std::string longToken(300, 'x');
  const std::string text = longToken + " next";
  SceneReader reader{text};
  PathString token;
  reader.ReadToken(token);
  EXPECT_EQ(token.size(), PathString::kMaxLength);
  EXPECT_EQ(token.str(), std::string(249, 'x'));
  EXPECT_EQ(Token(reader), "next");
}

TEST(SceneReader, NumbersConvertAsTheCLibraryDoes) {
  SceneReader reader{std::string_view("0.5 -1e-2 abc 12abc 3.9 -7 -1 4294967296 1e3")};
  float f = 9.0f;
  reader.ReadFloat(&f);
  EXPECT_FLOAT_EQ(f, 0.5f);
  reader.ReadFloat(&f);
  EXPECT_FLOAT_EQ(f, -0.01f);
  reader.ReadFloat(&f);  // letters: unchanged
  EXPECT_FLOAT_EQ(f, -0.01f);
  int32_t i = 5;
  reader.ReadInt(&i);
  EXPECT_EQ(i, 12);
  reader.ReadInt(&i);  // "%d" on a fraction takes the integer part
  EXPECT_EQ(i, 3);
  reader.ReadInt(&i);
  EXPECT_EQ(i, -7);
  uint32_t u = 0;
  reader.ReadUnsigned(&u);  // "%u" wraps negative numbers
  EXPECT_EQ(u, 4294967295u);
  reader.ReadInt(&i);
  EXPECT_EQ(i, 0);  // low 32 bits of 2^32
  reader.ReadUnsigned(&u);
  EXPECT_EQ(u, 1u);  // "%u" stops at the exponent
  uint32_t hex = 0;
  EXPECT_TRUE(ConvertHex("1000000a", &hex));
  EXPECT_EQ(hex, 0x1000000au);
}

TEST(PathString, AppendRefusesToGrowPastTheLimit) {
  PathString path(std::string(200, 'a'));
  path.Append(std::string(49, 'b'));
  EXPECT_EQ(path.size(), 249u);
  EXPECT_THROW(path.Append("c"), LoadError);
  EXPECT_EQ(path.size(), 249u);
}

TEST(WholeFile, MissingFileNamesThePath) {
  try {
    MapWholeFile("data/scenes/intro.lws");
    FAIL() << "no error";
  } catch (const LoadError& error) {
    EXPECT_STREQ(error.what(), "Cannot load file data/scenes/intro.lws from directory");
  }
}

TEST(WholeFile, MapsEmptyAndSmallFilesAndRefusesDirectories) {
  testing::TempDir dir;
  WholeFile empty = MapWholeFile(dir.Write("empty.txt", ""));
  EXPECT_TRUE(empty.reader().AtEnd());
  EXPECT_EQ(empty.reader().base(), nullptr);
  EXPECT_EQ(Token(empty.reader()), "");

  WholeFile ten = MapWholeFile(dir.Write("ten.txt", "0123456789"));
  EXPECT_EQ(ten.reader().size(), 10u);
  EXPECT_EQ(ten.reader().position(), ten.reader().base());
  EXPECT_EQ(Token(ten.reader()), "0123456789");
  EXPECT_TRUE(ten.reader().AtEnd());

  EXPECT_THROW(MapWholeFile(dir.path().string()), LoadError);
}

}  // namespace
}  // namespace stagwerk
