#include "util/vec2.h"

#include <gtest/gtest.h>

#include <sstream>

#include "util/random_source.h"

namespace stemscan {
namespace {

TEST(Vec2, TruncatesTowardZeroForPixelsAndRoundsHalfUp) {
  EXPECT_EQ(toPoint(Vec2(2.9f, -2.9f)), cv::Point(2, -2));
  EXPECT_EQ(rounded(Vec2(2.5f, 3.49f)), Vec2(3.0f, 3.0f));
  EXPECT_EQ(rounded(Vec2(-0.7f, 0.0f)), Vec2(0.0f, 0.0f));
}

TEST(Vec2, ArithmeticAndNorm) {
  EXPECT_EQ(Vec2(), Vec2(0.0f, 0.0f));
  EXPECT_EQ(norm(Vec2(3, 4)), 5.0f);
  EXPECT_EQ(squaredNorm(Vec2(3, 4)), 25.0f);
  Vec2 a(1.5, 2.0);
  a += Vec2(1, 1);
  a -= Vec2(0.5f, 0.0f);
  EXPECT_EQ(a, Vec2(2.0f, 3.0f));
  EXPECT_EQ((a - Vec2(1, 1)) * 2.0f, Vec2(2.0f, 4.0f));
  std::ostringstream text;
  text << Vec2(1.5f, -2.0f);
  EXPECT_EQ(text.str(), "1.5 -2");
}

TEST(RandomSource, SeededSourcesRepeatAndStayInRange) {
  RandomSource a(42);
  RandomSource b(42);
  for (int i = 0; i < 1000; ++i) {
    const int value = a.next();
    EXPECT_EQ(value, b.next());
    EXPECT_GE(value, 0);
    EXPECT_LE(value, RandomSource::kMax);
  }
  // Reseeding from the clock is a no-op for a seeded source.
  RandomSource c(7);
  RandomSource d(7);
  c.reseedFromClock();
  EXPECT_EQ(c.next(), d.next());
}

}  // namespace
}  // namespace stemscan
