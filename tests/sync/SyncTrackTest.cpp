// Rocket's key shapes, the saved track format and its faults.
#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "base/LoadError.h"
#include "sync/SyncTrack.h"
#include "sync/TrackFile.h"

namespace stagwerk {
namespace {

TEST(SyncTrack, ShapesBetweenKeysAsRocketDefinesThem) {
  SyncTrack track("s:Camera.x");
  // Set out of order, and row 20 twice: the second replaces the first.
  track.SetKey({30, 50.0f, KeyShape::Step});
  track.SetKey({10, 0.0f, KeyShape::Linear});
  track.SetKey({20, 99.0f, KeyShape::Step});
  track.SetKey({20, 10.0f, KeyShape::Smooth});
  track.SetKey({40, 0.0f, KeyShape::Ramp});
  track.SetKey({50, 100.0f, KeyShape::Linear});
  ASSERT_EQ(track.keys().size(), 5u);

  EXPECT_FALSE(track.ValueAt(9.99));  // before the first key: the scene's own value
  EXPECT_DOUBLE_EQ(*track.ValueAt(10), 0.0);
  EXPECT_DOUBLE_EQ(*track.ValueAt(12.5), 2.5);                 // linear 0 -> 10
  EXPECT_DOUBLE_EQ(*track.ValueAt(22.5), 10 + 40 * 0.15625);   // smooth: t=.25, t*t*(3-2t)
  EXPECT_DOUBLE_EQ(*track.ValueAt(27.5), 10 + 40 * 0.84375);   // smooth: t=.75
  EXPECT_DOUBLE_EQ(*track.ValueAt(39.9), 50.0);                // step holds
  EXPECT_DOUBLE_EQ(*track.ValueAt(42.5), 100 * 0.0625);        // ramp: t=.25, t*t
  EXPECT_DOUBLE_EQ(*track.ValueAt(50), 100.0);
  EXPECT_DOUBLE_EQ(*track.ValueAt(1e9), 100.0);                // the last value holds

  EXPECT_TRUE(track.DeleteKey(20));
  EXPECT_FALSE(track.DeleteKey(21));
  EXPECT_DOUBLE_EQ(*track.ValueAt(20), 25.0);  // linear 0 -> 50 over rows 10..30
  EXPECT_FALSE(SyncTrack().ValueAt(0));
}

TEST(SyncTrackFile, RoundTripsAndNamesFilesAsRocketDoes) {
  EXPECT_EQ(TrackFileName("finale:Camera.zoom"), "finale#Camera.zoom.track");
  const std::vector<SyncKey> keys = {{0, -1.5f, KeyShape::Ramp}, {7, 3.25f, KeyShape::Smooth},
                                     {0x01020304, 1e30f, KeyShape::Step}};
  const std::string bytes = EncodeTrackFile(keys);
  // Little-endian, 9 bytes a key: the count, then row 7 of the second key.
  ASSERT_EQ(bytes.size(), 4u + 3 * 9);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x03\0\0\0", 4));
  EXPECT_EQ(bytes.substr(13, 4), std::string("\x07\0\0\0", 4));
  EXPECT_EQ(bytes[12], 3);

  testing::TempDir dir;
  const std::string path = dir / "sync/finale#Camera.zoom.track";
  WriteTrackFile(path, keys);  // makes sync/
  WriteTrackFile(path, keys);  // and replaces
  EXPECT_EQ(ReadTrackFile(path), keys);
  EXPECT_EQ(testing::ReadFile(path), bytes);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "sync"), {}), 1);  // no temporary left
  WriteTrackFile(path, {});
  EXPECT_TRUE(ReadTrackFile(path).empty());
}

TEST(SyncTrackFile, BrokenFilesAreLoadErrorsNamingFileAndFault) {
  testing::TempDir dir;
  const std::string good = EncodeTrackFile({{1, 1.0f, KeyShape::Linear}, {2, 2.0f, KeyShape::Step}});
  auto errorFor = [&](std::string bytes) {
    const std::string path = dir.Write("t.track", bytes);
    try {
      ReadTrackFile(path);
    } catch (const LoadError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_NE(errorFor("\x01\0").find("too short"), std::string::npos);
  EXPECT_NE(errorFor(good.substr(0, good.size() - 1)).find("2 keys need 22 bytes, the file has 21"), std::string::npos);
  EXPECT_NE(errorFor(std::string("\xff\xff\xff\xff", 4) + good).find("4294967295 keys need"), std::string::npos);
  EXPECT_NE(errorFor(good + "x").find("1 bytes after the last key"), std::string::npos);
  std::string shape = good;
  shape[4 + 9 + 8] = 4;
  EXPECT_NE(errorFor(shape).find("key 2 (row 2) has shape 4"), std::string::npos);
  std::string unsorted = good;
  unsorted[4 + 9] = 1;  // second key on row 1 too
  EXPECT_NE(errorFor(unsorted).find("key 2 (row 1) does not come after row 1"), std::string::npos);
  std::string nan = good;
  nan.replace(4 + 4, 4, std::string("\0\0\xc0\x7f", 4));
  EXPECT_NE(errorFor(nan).find("not a finite number"), std::string::npos);
  EXPECT_THROW(ReadTrackFile(dir / "missing.track"), LoadError);
}

}  // namespace
}  // namespace stagwerk
