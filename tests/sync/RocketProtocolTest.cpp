// The editor's command stream in any pieces, its garbage, and what the demo sends.
#include <gtest/gtest.h>

#include "sync/RocketProtocol.h"

namespace stagwerk {
namespace {

const std::string kStream = std::string("\x00\0\0\0\1\0\0\1\0\x3f\xc0\0\0\x02", 14)  // key track 1 row 256, 1.5 smooth
                            + std::string("\x01\0\0\0\0\0\0\0\x05", 9)               // delete track 0 row 5
                            + std::string("\x03\0\1\0\0", 5)                         // row 65536
                            + std::string("\x04\x01\x04\x00", 4)                     // pause, play
                            + std::string("\x05", 1);                                // save

std::vector<RocketCommand> Expected() {
  using K = RocketCommandKind;
  return {{K::SetKey, 1, 256, 1.5f, KeyShape::Smooth}, {K::DeleteKey, 0, 5}, {K::SetRow, 0, 65536},
          {K::Pause, 0, 0, 0.0f, KeyShape::Step, true}, {K::Pause}, {K::SaveTracks}};
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

TEST(RocketCommandReader, SameCommandsWhateverThePieces) {
  for (std::size_t piece : {kStream.size(), std::size_t{1}, std::size_t{3}, std::size_t{13}}) {
    RocketCommandReader reader(2);
    std::vector<RocketCommand> commands;
    for (std::size_t at = 0; at < kStream.size(); at += piece) {
      ASSERT_TRUE(reader.Feed(Bytes(kStream) + at, std::min(piece, kStream.size() - at), commands));
    }
    EXPECT_EQ(commands, Expected()) << "pieces of " << piece;
  }
}

TEST(RocketCommandReader, GarbageStopsTheStreamForGood) {
  struct Case {
    std::string bytes, error;
  };
  for (const Case& c : {Case{std::string("\x05\x02", 2), "unknown command 2"},  // GET_TRACK is ours, not the editor's
                        Case{"\x05\x09", "unknown command 9"},
                        Case{std::string("\x01\0\0\0\2\0\0\0\0", 9), "key on track 2, of 2 requested"},
                        Case{std::string("\x00\0\0\0\0\0\0\0\0\0\0\0\0\x04", 14), "key shape 4"},
                        Case{std::string("\x00\0\0\0\0\0\0\0\0\x7f\x80\0\0\x00", 14), "not a finite number"}}) {
    RocketCommandReader reader(2);
    std::vector<RocketCommand> commands;
    EXPECT_FALSE(reader.Feed(Bytes(c.bytes), c.bytes.size(), commands));
    EXPECT_NE(reader.error().find(c.error), std::string::npos) << reader.error();
    EXPECT_EQ(commands.size(), c.bytes[0] == 5 ? 1u : 0u);  // what came before the garbage stands
    EXPECT_FALSE(reader.Feed(Bytes(kStream), kStream.size(), commands));
  }
}

TEST(RocketProtocol, EncodesRequestsRowsAndKeysBigEndian) {
  std::string out;
  AppendGetTrack(out, "s:Cam.x");
  AppendSetRow(out, 0x01020304);
  AppendSetKey(out, 3, {9, -2.0f, KeyShape::Ramp});
  EXPECT_EQ(out, std::string("\x02\0\0\0\x07s:Cam.x", 12) + std::string("\x03\x01\x02\x03\x04", 5) +
                     std::string("\x00\0\0\0\x03\0\0\0\x09\xc0\0\0\0\x03", 14));

  EXPECT_EQ(ParseRocketAddress("1338")->Text(), "127.0.0.1:1338");
  EXPECT_EQ(ParseRocketAddress("editor.lan:99")->Text(), "editor.lan:99");
  for (const char* bad : {"", "0", "65536", ":1338", "host:", "13x8", "-1"}) EXPECT_FALSE(ParseRocketAddress(bad)) << bad;
}

}  // namespace
}  // namespace stagwerk
