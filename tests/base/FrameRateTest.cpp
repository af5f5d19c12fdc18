// Recording rates as the exact fractions video sites and archives use.
#include <gtest/gtest.h>

#include "base/FrameRate.h"

namespace stagwerk {
namespace {

TEST(FrameRate, ParsesWholeFractionalAndDecimalRatesReduced) {
  struct Case {
    const char* text;
    int64_t num, den;
  };
  for (const Case& c : {Case{"30", 30, 1}, Case{"60000/1001", 60000, 1001}, Case{"30000/1001", 30000, 1001},
                        Case{"29.97", 2997, 100}, Case{"25.0", 25, 1}, Case{"50/2", 25, 1}, Case{"1000", 1000, 1},
                        Case{"1", 1, 1}}) {
    const auto rate = FrameRate::Parse(c.text);
    ASSERT_TRUE(rate) << c.text;
    EXPECT_EQ(rate->num, c.num) << c.text;
    EXPECT_EQ(rate->den, c.den) << c.text;
  }
  for (const char* bad : {"", "0", "1001", "1/0", "0/5", "1/2", "-30", "30fps", "30/", "/30", "2.", ".5", "1e2",
                          "1234567890/1", "29.9700001"}) {
    EXPECT_FALSE(FrameRate::Parse(bad)) << bad;
  }
  EXPECT_EQ(FrameRate::Parse("60000/1001")->Text(), "60000/1001");
  EXPECT_EQ(FrameRate::Parse("25.00")->Text(), "25");
}

// Frame k's time comes from k, not from adding up frame lengths; the
// frames of a span are those whose times lie in it, a hair of rounding
// either way included.
TEST(FrameRate, FrameTimesAndSpansStayExactOverLongCaptures) {
  const FrameRate ntsc{60000, 1001};
  EXPECT_DOUBLE_EQ(ntsc.Seconds(60000), 1001.0);
  EXPECT_DOUBLE_EQ(ntsc.Seconds(60000LL * 24 * 365), 1001.0 * 24 * 365);
  EXPECT_EQ(ntsc.FirstAtOrAfter(1.0), 60);
  EXPECT_EQ(ntsc.LastAtOrBefore(1.1), 65);
  EXPECT_EQ(ntsc.FirstAtOrAfter(ntsc.Seconds(600)), 600);
  EXPECT_EQ(ntsc.LastAtOrBefore(ntsc.Seconds(600)), 600);
  const FrameRate ten{10, 1};
  EXPECT_EQ(ten.FirstAtOrAfter(1.2), 12);
  EXPECT_EQ(ten.LastAtOrBefore(1.6), 16);
}

}  // namespace
}  // namespace stagwerk
