#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "base/Matrix4.h"
#include "anim/SceneItem.h"
#include "base/SceneReader.h"
#include "SceneText.h"

namespace stagwerk {
namespace {

MotionChannels Motion(const std::vector<float>& values) {
  const std::string text = testing::Channels(values);
  SceneReader reader{text};
  return ReadMotionChannels(reader);
}

void ExpectNear(const Matrix4& a, const Matrix4& b, float tolerance = 1e-5f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
}

// Point transformed by a column-major matrix.
std::array<float, 3> Apply(const Matrix4& m, float x, float y, float z) {
  return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
          m[2] * x + m[6] * y + m[10] * z + m[14]};
}

TEST(Matrix4, ComposesByRightMultiplication) {
  Matrix4 m;
  m.Translate(1, 2, 3);
  m.Rotate(90, 0, 0, 1);
  // Rotate first, then translate: (1, 0, 0) -> (0, 1, 0) -> (1, 3, 3).
  const auto p = Apply(m, 1, 0, 0);
  EXPECT_NEAR(p[0], 1.0f, 1e-6f);
  EXPECT_NEAR(p[1], 3.0f, 1e-6f);
  EXPECT_NEAR(p[2], 3.0f, 1e-6f);
  // Single-axis rotations keep the axis entry exactly 1.
  Matrix4 r;
  r.Rotate(33.0f, 0, -1, 0);
  EXPECT_EQ(r[5], 1.0f);
  // An arbitrary axis is normalised; a null axis changes nothing.
  Matrix4 a, b;
  a.Rotate(40, 0, 0, 5);
  b.Rotate(40, 0, 0, 1);
  ExpectNear(a, b, 1e-7f);
  Matrix4 general;
  general.Rotate(120, 1, 1, 1);  // cycles the axes
  const auto q = Apply(general, 1, 0, 0);
  EXPECT_NEAR(q[1], 1.0f, 1e-6f);
  Matrix4 none;
  none.Rotate(50, 0, 0, 0);
  EXPECT_EQ(none, Matrix4::Identity());
  Matrix4 s;
  s.Scale(2, 3, 4);
  s.Translate(1, 1, 1);
  EXPECT_EQ(s[12], 2.0f);
  EXPECT_EQ(s[13], 3.0f);
  EXPECT_EQ(s[14], 4.0f);
}

TEST(ItemMotion, HeadingTurnsAboutYAndScaleNeedsNineChannels) {
  const float halfPi = 1.5707963f;
  Matrix4 m;
  ApplyMotion(m, Motion({0, 0, 0, halfPi, 0, 0}), 0.0f);
  const auto p = Apply(m, 0, 0, 1);  // +Z turns to +X
  EXPECT_NEAR(p[0], 1.0f, 1e-6f);
  EXPECT_NEAR(p[2], 0.0f, 1e-6f);

  for (int count : {6, 7, 8, 9}) {
    std::vector<float> values{5, 0, 0, 0, 0, 0, 2, 2, 2};
    values.resize(static_cast<std::size_t>(count));
    Matrix4 scaled;
    ApplyMotion(scaled, Motion(values), 0.0f);
    EXPECT_FLOAT_EQ(Apply(scaled, 1, 0, 0)[0], count == 9 ? 7.0f : 6.0f) << count;
  }
  // Fewer than six channels: the missing ones read 0.
  Matrix4 partial;
  ApplyMotion(partial, Motion({1, 2}), 0.0f);
  EXPECT_EQ(Apply(partial, 0, 0, 0), (std::array<float, 3>{1, 2, 0}));
}

TEST(ItemMotion, InverseMotionUndoesMotion) {
  const MotionChannels motion = Motion({1.5f, -2, 3, 0.3f, -1.1f, 2.2f});
  Matrix4 m;
  ApplyMotion(m, motion, 0.0f);
  ApplyInverseMotion(m, motion, 0.0f);
  ExpectNear(m, Matrix4::Identity());
}

}  // namespace
}  // namespace stagwerk
