// The threshold window and the calibration dialogues.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::HeadlessRun;
using testing::PlateSpec;

std::string createAll(const PlateSpec& plate) {
  std::string script;
  for (int c = 0; c < plate.cols; ++c) {
    const cv::Point top = testing::topOf(plate, 0, c, 0);
    script +=
        "mouse StemScan rup " + std::to_string(top.x) + " " + std::to_string(top.y) + " alt\n";
  }
  return script;
}

TEST(ThresholdCalibration, EachHypocotylGetsItsOwnValueAfterD) {
  PlateSpec plate;
  HeadlessRun run(plate, 2);
  const std::string script = createAll(plate) +
                             "key space\n"
                             "key d\n"
                             "slider thresholding threshold 90\nkey space\n"
                             "slider thresholding threshold 100\nkey space\n"
                             "slider thresholding threshold 120\nkey space\n";
  ASSERT_EQ(run.run(script), 0) << run.err;
  EXPECT_EQ(run.analyzer().thresholds().values(), (std::vector<int>{90, 100, 120}));
  EXPECT_EQ(run.analyzer().thresholds().sharing(), false);
  EXPECT_FALSE(run.windows().window("thresholding").exists);
  EXPECT_EQ(testing::lines(run.table("_len.txt")).size(), 2u);
}

TEST(ThresholdCalibration, EachHypocotylOnItsOwnSaysWhichAndResizesWithIAndO) {
  PlateSpec plate;
  HeadlessRun run(plate, 1);
  std::vector<std::string> titles;
  std::vector<int> widths;
  run.onWait = [&](int) {
    titles.push_back(run.windows().window("StemScan").title);
    widths.push_back(run.windows().window("thresholding").width);
  };
  ASSERT_EQ(run.run(createAll(plate) + "key space\nkey d\nkey i\nkey i\ntimeout\nkey space\n" +
                    "key o\ntimeout\nkey space\nkey space\n"),
            0);
  const auto seen = [&](const std::string& title) {
    return std::find(titles.begin(), titles.end(), title) != titles.end();
  };
  EXPECT_TRUE(seen("StemScan - calibration: hypocotyl 1 of 3 (space: next)"));
  EXPECT_TRUE(seen("StemScan - calibration: hypocotyl 2 of 3 (space: next)"));
  EXPECT_TRUE(seen("StemScan - calibration: hypocotyl 3 of 3 (space: next)"));
  // 200 px, enlarged twice by 1/0.8, then the next hypocotyl's window shrunk once.
  EXPECT_NE(std::find(widths.begin(), widths.end(), 312), widths.end());
  EXPECT_NE(std::find(widths.begin(), widths.end(), 249), widths.end());
}

TEST(ThresholdCalibration, GlobalSliderReachesEveryHypocotyl) {
  PlateSpec plate;
  HeadlessRun run(plate, 1);
  // Created before calibration (its value is "none") and selected with a plain click: the
  // dialogue's slider still sets all three.
  const cv::Point top = testing::topOf(plate, 0, 1, 0);
  const std::string script = createAll(plate) + "mouse StemScan ldown " + std::to_string(top.x) +
                             " " + std::to_string(top.y) +
                             "\nkey space\nslider thresholding threshold 95\nkey space\n";
  ASSERT_EQ(run.run(script), 0);
  EXPECT_EQ(run.analyzer().thresholds().values(), (std::vector<int>{95, 95, 95}));
  EXPECT_EQ(run.analyzer().thresholds().sharedValue(), 95);
}

TEST(ThresholdCalibration, NoHypocotylYetOpensAtTheDefaultValue) {
  PlateSpec plate;
  HeadlessRun run(plate, 1);
  int seen = -1;
  run.onWait = [&](int) {
    const auto& w = run.windows().window("thresholding");
    if (w.exists && seen < 0) seen = w.sliders.at("threshold").position;
  };
  ASSERT_EQ(run.run("key space\n"), 0);
  EXPECT_EQ(seen, 110);
  EXPECT_EQ(run.analyzer().thresholds().values(), (std::vector<int>{110, 110, 110}));
}

TEST(ThresholdCalibration, WindowSizeStepsAndNeverVanishes) {
  PlateSpec plate;
  HeadlessRun grow(plate, 1);
  ASSERT_EQ(grow.run("key space\nkey i\nkey i\nkey i\nkey space\n"), 0);
  EXPECT_EQ(grow.analyzer().thresholdWindowSize().width, 390);
  EXPECT_EQ(grow.analyzer().thresholdWindowSize().height, 390);

  HeadlessRun shrink(plate, 1);
  std::string script = "key space\nkey o\n";
  ASSERT_EQ(shrink.run(script), 0);
  EXPECT_EQ(shrink.analyzer().thresholdWindowSize().width, 160);

  HeadlessRun tiny(plate, 1);
  script = "key space\n";
  for (int i = 0; i < 30; ++i) script += "mouse thresholding rdown 5 5\n";
  script += "mouse thresholding move 5 5\nmouse thresholding ldown 5 5\nkey space\n";
  ASSERT_EQ(tiny.run(script), 0);
  EXPECT_EQ(tiny.analyzer().thresholdWindowSize().width,
            62);  // 50 at the least, then enlarged once
}

}  // namespace
}  // namespace stemscan
