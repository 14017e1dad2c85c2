// Group statistics against values worked out by hand and from tables of Student's t.
#include "stats/group_stats.h"

#include <gtest/gtest.h>

#include <cmath>

namespace stemscan {
namespace {

TEST(GroupStatistics, AgreeWithTheirTextbookValues) {
  const GroupSummary s = summarise({2.0, 4.0, 4.0, 4.0, 5.0, 5.0, 7.0, 9.0});
  EXPECT_DOUBLE_EQ(s.mean, 5.0);
  EXPECT_NEAR(*s.sd, 2.13809, 1e-5);
  // t(0.975, 7) = 2.364624
  EXPECT_NEAR(*s.ciHigh - s.mean, 2.364624 * *s.sd / std::sqrt(8.0), 1e-5);
  // Welch's test of two samples whose means differ by about two of their standard deviations.
  const auto test = welchTest({19.1, 20.3, 21.0, 22.4, 19.8}, {17.2, 18.1, 18.9, 19.4, 17.7});
  ASSERT_TRUE(test);
  EXPECT_NEAR(test->difference, 2.26, 1e-9);
  EXPECT_LT(test->p, 0.05);
  EXPECT_GT(test->p, 0.001);
  EXPECT_FALSE(welchTest({1.0}, {2.0, 3.0}));
}

}  // namespace
}  // namespace stemscan
