// Sessions started from the seedlings and the threshold the program proposes (--detect).
#include <gtest/gtest.h>

#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::HeadlessRun;
using testing::mouseLine;

// A light plate 360 x 240 with bare dark stems standing at the given x, tops at y 60.
cv::Mat stemsAt(const std::vector<int>& xs) {
  cv::Mat image = testing::lightPlate(360, 240);
  for (int x : xs) testing::drawStroke(image, {x, 60}, {x, 180}, 5);
  return image;
}

TEST(ProposalSession, AFullRowTakesItsEntriesLeftToRightHoweverTheSeedlingsStand) {
  // Cell 0 holds no seedling and cell 1 two: a click at each top in turn would give the
  // leftmost seedling entry 1; the row is full, so it takes entry 0, as a layout expects.
  HeadlessRun run(1, 3, 2, [](int) { return stemsAt({150, 200, 330}); });
  ASSERT_EQ(run.run("", {"--detect"}), 0) << run.err;
  EXPECT_TRUE(contains(run.out, "seedlings found: 3\n"));
  EXPECT_TRUE(contains(run.out, "hypocotyl 0 (row 1, col 1): top 150 "));
  EXPECT_TRUE(contains(run.out, "hypocotyl 2 (row 1, col 3): top 330 "));
  const auto tips = run.values("_tip.txt");
  ASSERT_EQ(tips.size(), 2u);
  ASSERT_EQ(tips[0].size(), 6u);
  EXPECT_NEAR(tips[0][0], 150.0, 3.0);
  EXPECT_NEAR(tips[0][2], 200.0, 3.0);
  EXPECT_NEAR(tips[0][4], 330.0, 3.0);
  EXPECT_TRUE(contains(run.out, "automatic threshold: "));
}

TEST(ProposalSession, TheUserRemovesAProposalAndAddsTheSeedlingMissed) {
  // The right stem is too faint to be found; the middle one the user does not want.
  HeadlessRun run(1, 3, 2, [](int) {
    cv::Mat image = stemsAt({60, 180});
    testing::drawStroke(image, {300, 60}, {300, 180}, 5, 185);
    return image;
  });
  const std::string script = mouseLine("rup", {180, 62}, " ctrl") +
                             mouseLine("rup", {300, 62}, " ctrl alt") + "key space\n";
  ASSERT_EQ(run.run(script, {"--detect"}), 0) << run.err;
  EXPECT_TRUE(contains(run.out, "seedlings found: 2\n"));
  EXPECT_TRUE(contains(run.out, "entries left empty: 2\n"));
  const auto tips = run.values("_tip.txt");
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_NEAR(tips[0][0], 60.0, 3.0);
  EXPECT_TRUE(std::isnan(tips[0][2]));  // removed
  EXPECT_NEAR(tips[0][4], 300.0, 3.0);
}

TEST(ProposalSession, EachHypocotylCalibratedAloneStartsFromItsOwnValue) {
  // The left stem stands on darker agar than the right one.
  HeadlessRun run(1, 2, 1, [](int) {
    cv::Mat image = testing::lightPlate(240, 240);
    image(cv::Rect(0, 0, 120, 240)).setTo(cv::Scalar::all(120));
    testing::drawStroke(image, {60, 60}, {60, 180}, 5, 20);
    testing::drawStroke(image, {180, 60}, {180, 180}, 5, 100);
    return image;
  });
  ASSERT_EQ(run.run("key space\nkey d\n", {"--detect"}), 0) << run.err;
  const std::vector<int>& values = run.analyzer().thresholds().values();
  ASSERT_EQ(values.size(), 2u);
  EXPECT_GT(values[0], 20);
  EXPECT_LT(values[0], 120);
  EXPECT_GT(values[1], 100);
  EXPECT_LT(values[1], 200);
  EXPECT_TRUE(contains(run.out, "automatic threshold of hypocotyl 1: "));
}

}  // namespace
}  // namespace stemscan
