// Corrections that stick, tables that hold only measurements, and a title that says where the
// user is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <opencv2/imgcodecs.hpp>

#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::HeadlessRun;
using testing::mouseLine;
using testing::PlateSpec;
using testing::selectAllAndCalibrate;
using testing::spaceKeys;

PlateSpec plants(int cols) {
  PlateSpec plate;
  plate.cols = cols;
  return plate;
}

TEST(DraggedEnds, StayWhereTheUserPutThemAtTheNextImage) {
  HeadlessRun run(plants(1), 3);
  const cv::Point top = testing::topOf(run.plate, 0, 0, 0);
  const cv::Point moved = top + cv::Point(0, 15);
  ASSERT_EQ(
      run.run(selectAllAndCalibrate(run.plate) + mouseLine("ldown", top, " ctrl") +
              mouseLine("move", moved, " ctrl") + mouseLine("lup", moved, " ctrl") + spaceKeys(3)),
      0);
  const auto tips = run.values("_tip.txt");
  ASSERT_EQ(tips.size(), 3u);
  EXPECT_EQ(tips[0][1], moved.y);
  EXPECT_NEAR(tips[1][1], moved.y, 3.0) << "the top went back to its tracker";
}

TEST(DraggedPoints, StayInsideTheImage) {
  HeadlessRun run(plants(1), 2);
  const cv::Point top = testing::topOf(run.plate, 0, 0, 0);
  ASSERT_EQ(run.run(selectAllAndCalibrate(run.plate) + mouseLine("ldown", top, " ctrl") +
                    mouseLine("move", {90000, -90000}, " ctrl") +
                    mouseLine("lup", {90000, -90000}, " ctrl") + spaceKeys(2)),
            0);
  for (const auto& row : run.values("_tip.txt")) {
    EXPECT_GE(row[0], 0.0);
    EXPECT_LE(row[0], run.plate.width - 1);
    EXPECT_GE(row[1], 0.0);
    EXPECT_LE(row[1], run.plate.height - 1);
  }
}

TEST(SwitchedOffOnAStoredImage, IsAbsentThereAfterSaving) {
  HeadlessRun run(plants(2), 5);
  const cv::Point top = testing::topOf(run.plate, 0, 0, 2);
  ASSERT_EQ(run.run(selectAllAndCalibrate(run.plate) + spaceKeys(3) + "key b\n" +
                    mouseLine("rup", top, " ctrl") + "key v\nkey n\n" + spaceKeys(2)),
            0);
  const auto lengths = run.values("_len.txt");
  ASSERT_EQ(lengths.size(), 5u);
  EXPECT_TRUE(std::isnan(lengths[2][0]));
  EXPECT_FALSE(std::isnan(lengths[2][1]));
  EXPECT_FALSE(std::isnan(lengths[1][0]));
  EXPECT_FALSE(std::isnan(lengths[3][0]));
}

TEST(ClickOnACellNeverUsed, BringsBackNoStartUpPoints) {
  HeadlessRun run(plants(3), 2);
  const cv::Point empty(run.plate.width * 5 / 6, run.plate.height / 2);  // the third cell
  ASSERT_EQ(run.run(mouseLine("rup", testing::topOf(run.plate, 0, 0, 0), " alt") +
                    "key space\nkey space\nkey space\n" + mouseLine("ldown", empty) + spaceKeys(2)),
            0);
  EXPECT_EQ(run.analyzer().store().columnCount(), 1u);
  EXPECT_EQ(run.values("_len.txt")[1].size(), 1u);

  HeadlessRun none(plants(3), 2);
  ASSERT_EQ(none.run("key space\nkey space\nkey space\n" + mouseLine("ldown", empty)), 0);
  EXPECT_TRUE(contains(none.out, "no hypocotyl selected: the run will measure nothing"));
  EXPECT_TRUE(contains(none.out, "no hypocotyl here yet: create one with Alt + right click"));
  EXPECT_EQ(none.analyzer().store().columnCount(), 0u);
}

TEST(UnreadableLastImage, StillGetsItsLine) {
  HeadlessRun run(plants(1), 12);
  testing::writeFile(run.dir().file("plate11.png"), "cut");
  ASSERT_EQ(run.run(selectAllAndCalibrate(run.plate) + spaceKeys(12)), 0);
  const auto lengths = run.values("_len.txt");
  ASSERT_EQ(lengths.size(), 12u);
  EXPECT_TRUE(std::isnan(lengths[11][0]));
  EXPECT_FALSE(std::isnan(lengths[10][0]));
}

TEST(OverlaySavedWhileZoomed, ShowsTheWholeFrameWithEveryContour) {
  HeadlessRun run(plants(3), 2);
  const std::string overlays = run.dir().file("shot.png");
  const cv::Point first = testing::topOf(run.plate, 0, 0, 0);
  ASSERT_EQ(run.run(selectAllAndCalibrate(run.plate) + mouseLine("rup", first) + spaceKeys(2),
                    {"imagefile=" + overlays}),
            0);
  const cv::Mat shot = cv::imread(run.dir().file("shot000.png"));
  ASSERT_EQ(shot.size(), cv::Size(run.plate.width, run.plate.height));
  // The third contour, outside the zoomed region, is drawn in red.
  const cv::Point third = testing::topOf(run.plate, 0, 2, 0) + cv::Point(0, 20);
  int red = 0;
  for (int dx = -4; dx <= 4; ++dx) {
    const cv::Vec3b pixel = shot.at<cv::Vec3b>(third + cv::Point(dx, 0));
    red += pixel[2] > 150 && pixel[1] < 80 ? 1 : 0;
  }
  EXPECT_GT(red, 0);
}

TEST(AddingPoints, KeepsTheLengthOfAContourOnItsHypocotyl) {
  HeadlessRun plain(plants(1), 1);
  HeadlessRun grown(plants(1), 1);
  const std::string select =
      selectAllAndCalibrate(plain.plate) + mouseLine("ldown", testing::topOf(plain.plate, 0, 0, 0));
  std::string presses;
  for (int i = 0; i < 20; ++i) presses += "key +\n";
  ASSERT_EQ(plain.run(select + spaceKeys(1)), 0);
  ASSERT_EQ(grown.run(select + presses + spaceKeys(1)), 0);
  const double before = plain.values("_len.txt")[0][0];
  const double after = grown.values("_len.txt")[0][0];
  EXPECT_NEAR(after, before, 0.02 * before);
  EXPECT_TRUE(contains(grown.out, "adding points: 50 points left"));
}

TEST(MainWindowTitle, SaysThePhaseAndTheImageShown) {
  HeadlessRun run(plants(2), 4);
  std::vector<std::string> titles;
  run.onWait = [&](int) { titles.push_back(run.windows().window("StemScan").title); };
  // A wait after the clicks shows the selection's title before the calibration's.
  std::string script = selectAllAndCalibrate(run.plate);
  script.insert(script.find("key space"), "timeout\n");
  ASSERT_EQ(run.run(script + spaceKeys(2) + "key b\nkey q\n"), 0);
  auto seen = [&](const std::string& part) {
    for (const std::string& title : titles) {
      if (contains(title, part)) return true;
    }
    return false;
  };
  EXPECT_TRUE(seen("StemScan - selection: 2 hypocotyls selected"));
  EXPECT_TRUE(seen("StemScan - threshold calibration"));
  EXPECT_TRUE(seen("StemScan - image 2 of 4: plate01.png"));
  EXPECT_EQ(run.windows().window("StemScan").title,
            "StemScan - stored image 2 of 4: plate01.png (n: forward, f: next flagged, v: save "
            "corrections)");
}

TEST(MainWindowTitle, SaysWhatTheScaleWaitsFor) {
  HeadlessRun run(plants(1), 2);
  std::vector<std::string> titles;
  run.onWait = [&](int) { titles.push_back(run.windows().window("StemScan").title); };
  ASSERT_EQ(run.run(selectAllAndCalibrate(run.plate) +
                    "key m\ntimeout\nmouse StemScan ldown 10 20\ntimeout\n"
                    "mouse StemScan ldown 10 120\nkey 1\nkey 0\ntimeout\nkey enter\n" +
                    spaceKeys(2)),
            0);
  for (const char* title :
       {"StemScan - scale: click the first end (Esc: cancel)",
        "StemScan - scale: click the other end (Esc: cancel)",
        "StemScan - scale: type the length in mm: 10_ (Enter: done, Esc: cancel)",
        "StemScan - image 1 of 2: plate00.png"}) {
    EXPECT_NE(std::find(titles.begin(), titles.end(), title), titles.end()) << title;
  }
  EXPECT_TRUE(contains(run.out, "scale: 10 px/mm\n"));
}

}  // namespace
}  // namespace stemscan
