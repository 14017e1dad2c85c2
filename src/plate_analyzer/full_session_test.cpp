// One long session that uses every key and mouse action once; the tables must show what the
// actions did.
#include <gtest/gtest.h>

#include <cmath>

#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::at;
using testing::contains;
using testing::HeadlessRun;
using testing::mouseLine;
using testing::PlateSpec;
using testing::spaceKeys;
using testing::topOf;

TEST(FullSession, EveryKeyAndMouseActionLeavesItsMark) {
  PlateSpec plate;
  HeadlessRun run(plate, 9);
  const auto top = [&plate](int c, int t) { return topOf(plate, 0, c, t); };
  const cv::Point movedTop(70, 90);     // image 1: the top of hypocotyl 0
  const cv::Point movedBase(190, 170);  // image 2: the base of hypocotyl 1
  std::string s;
  // Selection, with the window scaled up and down.
  for (int c = 0; c < 3; ++c) s += mouseLine("rup", top(c, 0), " alt");
  s += "key i\nkey o\nkey space\n";
  // One threshold for all; every row's bottom on y = 180 (the bases).
  s += "slider thresholding threshold 105\nkey space\n";
  s += mouseLine("move", cv::Point(10, 175)) + mouseLine("lup", cv::Point(10, 180)) +
       mouseLine("rup", cv::Point(20, 20)) + "key space\n";
  // Image 0: select hypocotyl 1, stiffen it, add and remove points.
  s += mouseLine("ldown", top(1, 0)) + "slider StemScan smoothness 30\nkey +\nkey -\nkey space\n";
  // Image 1: move the top of hypocotyl 0.
  s += mouseLine("ldown", movedTop, " shift") + "key space\n";
  // Image 2: move the base of hypocotyl 1.
  s += mouseLine("rup", cv::Point(movedBase.x, movedBase.y - 70), " shift ctrl");
  s += mouseLine("rup", movedBase, " shift ctrl") + "key space\n";
  // Image 3: delete hypocotyl 2.
  s += mouseLine("rup", top(2, 3), " ctrl") + "key space\n";
  // Image 4: zoom in, back out, the orientation slider on and off, the console.
  s += mouseLine("rup", cv::Point(180, 120)) + "key z\nkey l\nkey l\n" +
       mouseLine("ldown", cv::Point(5, 5), " alt") + "key i\nkey space\n";
  // Image 5: a point drag on hypocotyl 0, a whole-contour drag of hypocotyl 1.
  const cv::Point p0(top(0, 5).x, top(0, 5).y + 30);
  s += mouseLine("ldown", p0, " ctrl") + mouseLine("move", cv::Point(p0.x + 6, p0.y), " ctrl") +
       mouseLine("lup", cv::Point(p0.x + 6, p0.y));
  s += mouseLine("ldown", top(1, 5), " shift ctrl") +
       mouseLine("move", cv::Point(top(1, 5).x + 5, top(1, 5).y), " shift") +
       mouseLine("lup", cv::Point(top(1, 5).x + 5, top(1, 5).y)) + "key space\n";
  // Image 6: recalibrate hypocotyl 0, an ignored key, back to image 5, save it, return.
  s += mouseLine("rup", top(0, 6), " shift") + "slider thresholding threshold 100\nkey g\n";
  s += "key x\nkey b\nkey v\nkey n\nkey space\n";
  // Image 7: quit.
  s += "key q\n";

  ASSERT_EQ(run.run(s), 0) << run.err;
  EXPECT_TRUE(contains(run.out, "adding points: 12 points left\nremoving points: 10 points left"));
  EXPECT_TRUE(contains(run.out, "command: i\n"));
  EXPECT_TRUE(contains(run.out, "resetting thresholding for hypocotyl 0\n"));
  EXPECT_TRUE(contains(run.out, "saving analysis of image 5\n"));
  EXPECT_TRUE(contains(run.out, "back to present\n"));
  EXPECT_EQ(run.analyzer().thresholds().values(), (std::vector<int>{100, 100, 100}));
  EXPECT_FLOAT_EQ(run.analyzer().snake(1)->internalWeight, 0.6f);

  const auto tips = run.values("_tip.txt");
  const auto segs = run.values("_seg.txt");
  ASSERT_EQ(tips.size(), 7u);  // 'q' on image 7 keeps images 0 to 6
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(tips[0][2 * c + 1] - segs[0][2 * c + 1], 180.0f, 1e-3f) << "base of " << c;
  }
  EXPECT_EQ(tips[1][0], movedTop.x);
  EXPECT_EQ(tips[1][1], movedTop.y);
  EXPECT_NEAR(tips[2][2] - segs[2][2], movedBase.x, 1e-3f);
  EXPECT_NEAR(tips[2][3] - segs[2][3], movedBase.y, 1e-3f);
  for (int t = 3; t < 7; ++t) EXPECT_TRUE(std::isnan(tips[t][4])) << t;
  EXPECT_FALSE(std::isnan(tips[2][4]));
  // The contour drag moved hypocotyl 1 by 5 px right at image 5.
  EXPECT_NEAR(tips[5][2] - tips[4][2], 5.0f, 1.5f);
}

}  // namespace
}  // namespace stemscan
