// Arc length along a contour: the one implementation the tables, the refined fit and the Snake
// share.
#include "snake/contour.h"

#include <gtest/gtest.h>

namespace stemscan {
namespace {

// An L: 30 px straight down from the top, then 40 px to the right.
Contour anL() { return Contour({Vec2(10, 10), Vec2(10, 40), Vec2(50, 40)}); }

TEST(ContourArcLength, WalksResamplesAndClampsAlongTheLine) {
  const Contour l = anL();
  EXPECT_FLOAT_EQ(l.length(), 70.0f);
  EXPECT_FLOAT_EQ(l.length(1), 40.0f);
  EXPECT_EQ(l.pointAt(-5.0f), Vec2(10, 10));
  EXPECT_EQ(l.pointAt(15.0f), Vec2(10, 25));
  EXPECT_EQ(l.pointAt(50.0f), Vec2(30, 40));
  EXPECT_EQ(l.pointAt(500.0f), Vec2(50, 40));
  const std::vector<Vec2> stretch = l.upTo(50.0f);
  ASSERT_EQ(stretch.size(), 3u);
  EXPECT_EQ(stretch.back(), Vec2(30, 40));

  const std::vector<Vec2> even = l.resampled(8);  // every 10 px
  ASSERT_EQ(even.size(), 8u);
  EXPECT_EQ(even.front(), Vec2(10, 10));
  EXPECT_NEAR(even.back().x, 50.0f, 1e-4f);
  for (std::size_t k = 1; k < even.size(); ++k) {
    EXPECT_NEAR(norm(even[k] - l.pointAt(10.0f * static_cast<float>(k))), 0.0f, 1e-4f) << k;
  }
  // A repeated point is a piece of no length, not a division by zero.
  const Contour repeated({Vec2(0, 0), Vec2(0, 0), Vec2(0, 10)});
  EXPECT_EQ(repeated.pointAt(5.0f), Vec2(0, 5));
}

TEST(ContourOrientation, IsZeroStraightDownAndPositiveLeaningRight) {
  EXPECT_FLOAT_EQ(anL().orientation(15.0f), 0.0f);
  EXPECT_FLOAT_EQ(anL().orientation(0.0f), 0.0f);  // the first segment's direction
  EXPECT_NEAR(Contour({Vec2(0, 0), Vec2(10, 10)}).orientation(15.0f), 45.0f, 1e-4f);
  EXPECT_NEAR(Contour({Vec2(0, 0), Vec2(-10, 10)}).orientation(5.0f), -45.0f, 1e-4f);
  EXPECT_EQ(Contour({Vec2(3, 4)}).orientation(15.0f), 1000.0f);
}

}  // namespace
}  // namespace stemscan
