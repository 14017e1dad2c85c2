// Selecting, creating, dragging, deleting and recalibrating hypocotyls with the mouse; row
// bottoms; the smoothness slider.
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
using testing::topOf;

TEST(MouseSession, CreatesInTheCellClickedUntilNoEntryIsFree) {
  PlateSpec plate;
  plate.cols = 6;
  plate.width = 600;
  HeadlessRun run(plate, 1);
  // The centre of the cell of column 2 of the 1 x 6 grid.
  const std::string script = mouseLine("rup", cv::Point(250, 120), " alt") +
                             mouseLine("rup", cv::Point(50, 120), " ctrl alt");
  ASSERT_EQ(run.run(script), 0);
  EXPECT_TRUE(contains(run.out, "new hypocotyl: 2\nnew hypocotyl: 0\n"));
  EXPECT_TRUE(run.analyzer().snake(2)->isInUse());
  EXPECT_NEAR(run.analyzer().snake(2)->point(0).x, 250.0f, 0.5f);
  EXPECT_NEAR(run.analyzer().snake(2)->point(0).y, 120.0f, 0.5f);

  HeadlessRun full(plate, 1);
  std::string all;
  for (int c = 0; c < 7; ++c) all += mouseLine("rup", topOf(plate, 0, c % 6, 0), " alt");
  ASSERT_EQ(full.run(all), 0);
  EXPECT_TRUE(contains(full.out, "new hypocotyl: -1\nno more snakes available\n"));
}

TEST(MouseSession, DeleteAndSelectAgainBringsTheOldPointsBack) {
  PlateSpec plate;
  HeadlessRun run(plate, 1);
  std::vector<Vec2> before;
  std::vector<std::pair<bool, int>> states;  // (in use, selected) at each wait
  run.onWait = [&](int) {
    const Snake& s = *run.analyzer().snake(1);
    states.emplace_back(s.isInUse(), run.analyzer().selectedIndex());
    if (before.empty() && s.isInUse()) before.assign(s.points.begin(), s.points.begin() + s.count);
  };
  const cv::Point top = topOf(plate, 0, 1, 0);
  const std::string script = selectAllAndCalibrate(plate) + "timeout\n" +
                             mouseLine("rup", top, " ctrl") + "timeout\n" +
                             mouseLine("ldown", top) + "timeout\n" + mouseLine("ldown", top) +
                             "timeout\n" + mouseLine("ldown", top) + "timeout\n";
  ASSERT_EQ(run.run(script), 0);
  const std::size_t n = states.size();
  ASSERT_GE(n, 5u);
  EXPECT_EQ(states[n - 5], std::make_pair(true, -1));
  EXPECT_EQ(states[n - 4], std::make_pair(false, -1));  // deleted
  EXPECT_EQ(states[n - 3], std::make_pair(true, 1));    // selected and back
  EXPECT_EQ(states[n - 2], std::make_pair(true, -1));   // a second click deselects
  EXPECT_EQ(states[n - 1], std::make_pair(true, 1));
  const Snake& s = *run.analyzer().snake(1);
  ASSERT_EQ(static_cast<std::size_t>(s.count), before.size());
}

TEST(MouseSession, DragsMoveExactlyWhatTheyShould) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 1);
  std::vector<Snake> after;
  std::vector<int> shows;
  run.onWait = [&](int delayMs) {
    if (delayMs != 10) return;  // the monitoring waits
    after.push_back(*run.analyzer().snake(0));
    shows.push_back(run.windows().window("StemScan").shows);
  };
  const cv::Point top = topOf(plate, 0, 0, 0);
  // Select first: selecting moves the smoothness slider, which refits the contour once.
  std::string script = selectAllAndCalibrate(plate) + mouseLine("ldown", top) + "timeout\n";
  ASSERT_EQ(run.run(script + "timeout\n"), 0);
  ASSERT_GE(after.size(), 2u);
  const Snake settled = after[1];
  const Vec2 p3 = settled.point(3);
  const cv::Point grab(static_cast<int>(p3.x), static_cast<int>(p3.y));
  const cv::Point to(grab.x + 9, grab.y);
  // A point drag: Ctrl press on point 3, move with Ctrl, release.
  script += mouseLine("ldown", grab, " ctrl") + mouseLine("move", to, " ctrl") +
            mouseLine("lup", to) + "timeout\n" +
            // Moves without a drag change nothing and draw nothing.
            mouseLine("move", cv::Point(5, 5), " ctrl") + mouseLine("move", cv::Point(6, 6)) +
            "timeout\n" +
            // A whole-contour drag by (4, -3).
            mouseLine("ldown", top, " shift ctrl") +
            mouseLine("move", cv::Point(top.x + 4, top.y - 3), " shift") +
            mouseLine("lup", cv::Point(top.x + 4, top.y - 3)) + "timeout\n";

  HeadlessRun drags(plate, 1);
  after.clear();
  shows.clear();
  drags.onWait = [&](int delayMs) {
    if (delayMs != 10) return;
    after.push_back(*drags.analyzer().snake(0));
    shows.push_back(drags.windows().window("StemScan").shows);
  };
  ASSERT_EQ(drags.run(script), 0);
  ASSERT_GE(after.size(), 5u);
  EXPECT_EQ(after[1].points, settled.points);
  const Snake& pointDragged = after[2];
  for (int i = 0; i < settled.count; ++i) {
    EXPECT_EQ(pointDragged.point(i), i == 3 ? Vec2(to.x, to.y) : settled.point(i)) << i;
  }
  EXPECT_EQ(shows[3], shows[2]);
  EXPECT_EQ(after[3].points, pointDragged.points);
  const Snake& moved = after[4];
  for (int i = 0; i < settled.count; ++i) {
    EXPECT_EQ(moved.point(i), pointDragged.point(i) + Vec2(4, -3)) << i;
  }
  EXPECT_EQ(moved.topTracker.pos, pointDragged.topTracker.pos + Vec2(4, -3));
  EXPECT_EQ(moved.baseTracker.pos, pointDragged.baseTracker.pos + Vec2(4, -3));
}

TEST(MouseSession, RowBottomPinsTheNearestRow) {
  PlateSpec plate;
  plate.rows = 2;
  plate.cols = 2;
  plate.height = 480;  // rows end at 180 and 420
  HeadlessRun run(plate, 1);
  std::string script;
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 2; ++c) script += mouseLine("rup", topOf(plate, r, c, 0), " alt");
  }
  script += "key space\nkey space\n" + mouseLine("move", cv::Point(10, 300)) +
            mouseLine("lup", cv::Point(10, 400)) + "key space\n";
  ASSERT_EQ(run.run(script), 0);
  const PlateAnalyzer& a = run.analyzer();
  EXPECT_EQ(a.snake(2)->lastPoint().y, 400.0f);
  EXPECT_EQ(a.snake(3)->lastPoint().y, 400.0f);
  EXPECT_EQ(a.snake(3)->baseTracker.pos.y, 400.0f);
  EXPECT_LT(a.snake(0)->lastPoint().y, 200.0f);
}

TEST(MouseSession, SmoothnessSliderSetsTheSelectedContoursWeight) {
  PlateSpec plate;
  HeadlessRun run(plate, 1);
  // Before any selection the slider already stands where the contours' stiffness does.
  int before = -1;
  run.onWait = [&](int) {
    if (before < 0) before = run.windows().window("StemScan").sliders.at("smoothness").position;
  };
  const std::string script = selectAllAndCalibrate(plate) +
                             mouseLine("ldown", topOf(plate, 0, 1, 0)) +
                             "slider StemScan smoothness 10\n";
  ASSERT_EQ(run.run(script), 0);
  EXPECT_FLOAT_EQ(run.analyzer().snake(1)->internalWeight, 0.2f);
  EXPECT_EQ(run.analyzer().snake(0)->internalWeight, 1.0f);
  EXPECT_EQ(run.windows().window("StemScan").sliders.at("smoothness").position, 10);
  EXPECT_EQ(before, 50);
}

TEST(MouseSession, RecalibrationWaitsForG) {
  PlateSpec plate;
  HeadlessRun run(plate, 2);
  const cv::Point top = topOf(plate, 0, 2, 0);
  const std::string script = selectAllAndCalibrate(plate) + mouseLine("rup", top, " shift") +
                             "slider thresholding threshold 80\nkey space\nkey g\n";
  ASSERT_EQ(run.run(script), 0);
  EXPECT_TRUE(contains(run.out,
                       "resetting thresholding for hypocotyl 2\npress 'g' when done\n"
                       "done\n"));
  // After a global calibration every hypocotyl follows the slider.
  EXPECT_EQ(run.analyzer().thresholds().values(), (std::vector<int>{80, 80, 80}));
}

TEST(MouseSession, ScriptEndingInTheRecalibrationEndsTheRunInOrder) {
  PlateSpec plate;
  HeadlessRun run(plate, 3);
  const std::string script = selectAllAndCalibrate(plate) + "key space\n" +
                             mouseLine("rup", topOf(plate, 0, 0, 1), " shift");
  EXPECT_EQ(run.run(script), 1);
  EXPECT_TRUE(contains(run.err, "the session script ended while waiting for 'g'"));
  EXPECT_EQ(testing::lines(run.table("_len.txt")).size(), 1u);  // image 0 was stored
}

}  // namespace
}  // namespace stemscan
