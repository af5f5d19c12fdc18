#include "music/DemoMusic.h"

#include <gtest/gtest.h>

#include <cmath>

namespace stagwerk::music {
namespace {

double Loudness(const std::vector<float>& samples, double from, double to) {
  const auto first = static_cast<std::size_t>(from * kDemoMusicRate) * kDemoMusicChannels;
  const auto last = static_cast<std::size_t>(to * kDemoMusicRate) * kDemoMusicChannels;
  double sum = 0.0;
  for (std::size_t i = first; i < last; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return std::sqrt(sum / static_cast<double>(last - first));
}

TEST(DemoMusic, SectionsTheScriptCanCutOnAreWhereTheMusicChanges) {
  const std::vector<float> all = RenderDemoMusic();
  EXPECT_GE(DemoMusicLength(), 45.0);
  EXPECT_LE(DemoMusicLength(), 60.0);
  ASSERT_EQ(all.size(), static_cast<std::size_t>(DemoMusicLength() * kDemoMusicRate) * kDemoMusicChannels);
  for (const float sample : all) ASSERT_LE(std::abs(sample), 1.0f);

  const auto& sections = DemoMusicSections();
  ASSERT_EQ(sections.size(), 6u);
  EXPECT_EQ(sections.front().start, 0.0);
  for (std::size_t i = 1; i < sections.size(); ++i) EXPECT_GT(sections[i].start, sections[i - 1].start);
  EXPECT_LT(sections.back().start, DemoMusicLength());
  // The band comes in with the build and the drop, drops out for the break
  // and the outro: a cut placed there falls on an audible change.
  const auto level = [&](std::size_t section) {
    const double start = sections[section].start;
    return Loudness(all, start + 0.5, start + 3.5);
  };
  EXPECT_GT(level(1), 2.0 * level(0));  // build over intro
  EXPECT_GT(level(2), level(3) * 1.3);  // drop over break
  EXPECT_GT(level(4), level(3) * 1.3);  // finale over break
  EXPECT_LT(Loudness(all, DemoMusicLength() - 0.2, DemoMusicLength()), 0.01);  // fades out

  // The same piece every time, and a cut-short render is its beginning.
  const std::vector<float> start = RenderDemoMusic(2.0);
  ASSERT_EQ(start.size(), static_cast<std::size_t>(2.0 * kDemoMusicRate) * kDemoMusicChannels);
  EXPECT_TRUE(std::equal(start.begin(), start.end(), all.begin()));
}

}  // namespace
}  // namespace stagwerk::music
