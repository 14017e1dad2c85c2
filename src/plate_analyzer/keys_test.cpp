// Monitoring keys, the walk through the images already analysed, and the command console.
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
using testing::selectAllAndCalibrate;
using testing::spaceKeys;

// Keys pressed on the frame a run left in the window.
class KeyTest : public ::testing::Test {
 protected:
  KeyTest() : run_(1, 1, 1, [](int) { return testing::lightPlate(200, 200); }) {
    EXPECT_EQ(run_.run(""), 0);
  }

  PlateAnalyzer& analyzer() { return run_.analyzer(); }

  HeadlessRun run_;
};

TEST_F(KeyTest, PlusAndMinusReportThePointsLeft) {
  Snake& s = *analyzer().snake(0);
  s.clear();
  for (int i = 0; i < 5; ++i) s.append(Vec2(10, 10 + 5 * i));
  analyzer().toggleSelection(0);
  testing::CapturedOutput output;
  for (int k = 0; k < 3; ++k) analyzer().handleMonitoringKey('-');
  analyzer().handleMonitoringKey('+');
  EXPECT_EQ(output.out(),
            "removing points: 3 points left\nremoving points: 2 points left\n"
            "removing points: 2 points left\nadding points: 4 points left\n");
  analyzer().toggleSelection(0);
  analyzer().handleMonitoringKey('+');
  EXPECT_EQ(s.count, 4);
}

TEST_F(KeyTest, OnlyExactCodesEndTheWait) {
  using End = PlateAnalyzer::WaitEnd;
  EXPECT_EQ(analyzer().handleMonitoringKey('Q'), End::kNone);
  EXPECT_EQ(analyzer().handleMonitoringKey('q'), End::kQuit);
  EXPECT_EQ(analyzer().handleMonitoringKey(' '), End::kNext);
  EXPECT_EQ(analyzer().handleMonitoringKey(0x100 | 'q'), End::kQuit);  // low 8 bits count
  EXPECT_EQ(analyzer().handleMonitoringKey(kNoKey), End::kNone);
  EXPECT_EQ(analyzer().handleMonitoringKey('{'), End::kNone);
  // At the present, 'n' and 'v' go on like <space>.
  EXPECT_EQ(analyzer().handleMonitoringKey('n'), End::kNext);
  EXPECT_EQ(analyzer().handleMonitoringKey('v'), End::kNext);
}

TEST(KeySession, PlusAddsTwoPointsToTheSelectedContour) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 2);
  const std::string select = "mouse StemScan ldown " + at(testing::topOf(plate, 0, 0, 1)) + "\n";
  ASSERT_EQ(run.run(selectAllAndCalibrate(plate) + select + "key +\nkey Q\n"), 0);
  EXPECT_TRUE(contains(run.out, "adding points: 12 points left\n"));
  EXPECT_EQ(testing::lines(run.table("_len.txt")).size(), 2u);  // 'Q' did not quit
}

TEST(KeySession, PlusAndMinusLeaveTheTrackedEndsAlone) {
  PlateSpec plate;
  plate.growth = 3.0f;  // the tops move 3 px an image
  const std::string select = mouseLine("ldown", testing::topOf(plate, 0, 0, 0));
  const std::string start = selectAllAndCalibrate(plate) + select + spaceKeys(3);
  HeadlessRun plain(plate, 5);
  HeadlessRun edited(plate, 5);
  ASSERT_EQ(plain.run(start + spaceKeys(2)), 0);
  ASSERT_EQ(edited.run(start + "key +\nkey +\nkey -\n" + spaceKeys(2)), 0);
  const auto before = plain.values("_tip.txt");
  const auto after = edited.values("_tip.txt");
  ASSERT_EQ(after.size(), 5u);
  EXPECT_EQ(after[3], before[3]);
  EXPECT_EQ(after[4], before[4]);
}

TEST(KeySession, OrientationSliderComesAndGoesWithTheWindowSize) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 1);
  std::vector<std::size_t> sliders;
  run.onWait = [&](int) { sliders.push_back(run.windows().window("StemScan").sliders.size()); };
  ASSERT_EQ(
      run.run(selectAllAndCalibrate(plate) + "key l\nslider StemScan orientation_parameter 30\n"
                                             "key l\n"),
      0)
      << run.err;
  const auto& window = run.windows().window("StemScan");
  EXPECT_EQ(window.sliders.size(), 1u);
  EXPECT_EQ(window.sliders.count("smoothness"), 1u);
  EXPECT_EQ(window.width, plate.width);
  EXPECT_EQ(window.x, 100);
  EXPECT_EQ(sliders[sliders.size() - 2], 2u);  // the orientation slider was there meanwhile
  EXPECT_EQ(run.analyzer().tuningParameters().orientation_length, 30);
}

TEST(KeySession, WalkBackCorrectSaveAndReturnToThePresent) {
  PlateSpec plate;
  HeadlessRun run(plate, 8);
  const cv::Point moved(40, 30);
  const std::string script =
      selectAllAndCalibrate(plate) + spaceKeys(3) +
      // Image 3: switch hypocotyl 2 off, so it has no record at times 3 and 4.
      "mouse StemScan rup " + at(testing::topOf(plate, 0, 2, 3)) + " ctrl\n" + spaceKeys(2) +
      // Image 5: back to image 4, move the top of hypocotyl 0, save, return.
      "key b\nmouse StemScan ldown " + at(moved) + " shift\nkey v\nkey n\n" + spaceKeys(3);
  ASSERT_EQ(run.run(script), 0) << run.err;
  EXPECT_TRUE(contains(run.out, "saving analysis of image 4\n")) << run.out;
  EXPECT_TRUE(contains(run.out, "back to present\n"));
  const auto tips = run.values("_tip.txt");
  ASSERT_EQ(tips.size(), 8u);
  EXPECT_EQ(tips[4][0], moved.x);
  EXPECT_EQ(tips[4][1], moved.y);
  EXPECT_TRUE(std::isnan(tips[4][4]));
  EXPECT_TRUE(std::isnan(tips[3][4]));
  EXPECT_FALSE(std::isnan(tips[2][4]));
  // Back at the present the contours are those of before the walk: image 5 was measured on
  // the seedling, not from the corrected top.
  EXPECT_NEAR(tips[5][0], testing::topOf(plate, 0, 0, 5).x, 3.0f);
  EXPECT_TRUE(std::isnan(tips[5][4]));
}

TEST(KeySession, SpaceOnAPastImageContinuesFromThereAndReplacesLaterRecords) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 7);
  // Image 5: back to image 3, put the top on empty agar (nothing there to track), go on.
  const std::string script = selectAllAndCalibrate(plate) + spaceKeys(5) +
                             "key b\nkey b\nmouse StemScan ldown 20 20 shift\n" + spaceKeys(4);
  ASSERT_EQ(run.run(script), 0) << run.err;
  const auto tips = run.values("_tip.txt");
  ASSERT_EQ(tips.size(), 7u);
  for (int t = 3; t < 7; ++t) {
    EXPECT_EQ(tips[t][0], 20.0f) << t;
    EXPECT_EQ(tips[t][1], 20.0f) << t;
  }
  EXPECT_NEAR(tips[2][0], testing::topOf(plate, 0, 0, 2).x, 3.0f);
}

TEST(KeySession, BackOnTheFirstImageChangesNothing) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 2);
  ASSERT_EQ(run.run(selectAllAndCalibrate(plate) + "key b\nkey n\n" + spaceKeys(2)), 0);
  // 'n' on the newest image goes on like <space>, saying so.
  EXPECT_TRUE(contains(run.out, "back to present"));
  EXPECT_EQ(testing::lines(run.table("_len.txt")).size(), 2u);
  EXPECT_FALSE(std::isnan(run.values("_len.txt")[0][0]));
}

TEST(ConsoleSession, TakesOneKeyOrTimesOut) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 2);
  const std::string script = selectAllAndCalibrate(plate) +
                             "mouse StemScan ldown 5 5 alt\ntimeout\n"
                             "mouse StemScan ldown 5 5 alt\nkey q\n"
                             "mouse StemScan ldown 5 5 alt\nkey o\n"
                             "mouse StemScan ldown 5 5 alt\nkey code 0\n" +
                             spaceKeys(2);
  ASSERT_EQ(run.run(script), 0);
  EXPECT_TRUE(contains(run.out, "command: \nnot a known command\n"));
  EXPECT_TRUE(contains(run.out, "command: q\nnot a known command\n"));  // 'q' did not quit
  EXPECT_TRUE(contains(run.out, "command: o\nStemScan\n"));
  EXPECT_TRUE(contains(run.out, "no command\n"));
  EXPECT_EQ(run.windows().window("StemScan").width, 288);  // 360 x 0.8
  EXPECT_EQ(testing::lines(run.table("_len.txt")).size(), 2u);
}

}  // namespace
}  // namespace stemscan
