// Window sizes and the zoom.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::HeadlessRun;
using testing::PlateSpec;

// The zoom on the frame a run left in the window.
class ZoomTest : public ::testing::Test {
 protected:
  void frame(int width, int height) {
    run_ = std::make_unique<HeadlessRun>(
        1, 1, 1, [=](int) { return cv::Mat(height, width, CV_8UC3, cv::Scalar::all(200)); });
    ASSERT_EQ(run_->run(""), 0);
    run_->analyzer().resetZoom(true);
  }
  PlateAnalyzer& analyzer() { return run_->analyzer(); }
  cv::Rect region() { return analyzer().zoomRegion(); }

  std::unique_ptr<HeadlessRun> run_;
};

TEST_F(ZoomTest, EachClickShowsEightyPerCentAroundIt) {
  frame(1000, 800);
  analyzer().zoomAt(Vec2(500, 400), 0.8f);
  analyzer().zoomAt(Vec2(500, 400), 0.8f);
  analyzer().zoomAt(Vec2(500, 400), 0.8f);
  EXPECT_NEAR(analyzer().zoomFactor(), 0.512f, 1e-6f);
  EXPECT_EQ(region().size(), cv::Size(512, 409));
  EXPECT_TRUE(analyzer().zoomed());
  analyzer().zoomAt(Vec2(10, 10), 1.0f);
  EXPECT_EQ(region().tl(), cv::Point(0, 0));
  // Near the right edge the shown region is clipped; the stored one keeps its width.
  analyzer().zoomAt(Vec2(990, 400), 1.0f);
  EXPECT_EQ(region().width, 512);
  EXPECT_EQ(region().x + region().width, 990 - 256 + 512);
  analyzer().zoomAt(Vec2(0, 0), 3.0f);  // back past 1: the whole frame
  EXPECT_FALSE(analyzer().zoomed());
}

TEST_F(ZoomTest, OntoAHypocotylWidensToTheFrameAspect) {
  frame(400, 300);
  Snake& tall = *analyzer().snake(0);
  tall.append(Vec2(380, 50));
  tall.append(Vec2(385, 250));
  analyzer().zoomToHypocotyl(0, 0, 5);
  EXPECT_EQ(region(), cv::Rect(120, 45, 280, 210));

  tall.clear();
  tall.append(Vec2(10, 290));
  tall.append(Vec2(200, 295));
  analyzer().zoomToHypocotyl(0, 0, 5);
  EXPECT_EQ(region(), cv::Rect(5, 150, 200, 150));

  const cv::Rect before = region();
  analyzer().zoomToHypocotyl(1, 0, 5);
  analyzer().zoomToHypocotyl(0, 3, 5);
  EXPECT_EQ(region(), before);
}

TEST(DisplaySession, LargeFramesOpenAtFiveHundredPixelsAndScaleWithKeys) {
  HeadlessRun run(1, 1, 1, [](int) { return testing::lightPlate(2000, 1500); });
  std::vector<cv::Size> sizes;
  run.onWait = [&](int) {
    const auto& w = run.windows().window("StemScan");
    sizes.emplace_back(w.width, w.height);
  };
  ASSERT_EQ(run.run("key i\n"), 0) << run.err << run.out;
  ASSERT_GE(sizes.size(), 2u);
  EXPECT_EQ(sizes[0], cv::Size(500, 375));
  EXPECT_EQ(sizes[1], cv::Size(625, 468));
  EXPECT_EQ(run.windows().window("StemScan").x, 100);
  EXPECT_TRUE(testing::contains(run.out, "image size 2000 1500\n"));

  HeadlessRun small(1, 1, 1, [](int) { return testing::lightPlate(300, 200); });
  ASSERT_EQ(small.run(""), 0);
  EXPECT_EQ(small.windows().window("StemScan").width, 300);
  EXPECT_EQ(small.analyzer().displayScale(), 1.0f);
}

TEST(DisplaySession, ClicksWhileZoomedMapToTheFrame) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 1);
  const cv::Point top = testing::topOf(plate, 0, 0, 0);
  // A plain right click zooms to 80 % around (180, 120): the region starts at (36, 24).
  const std::string script = "mouse StemScan rup 180 120\nmouse StemScan rup " +
                             std::to_string(top.x - 36) + " " + std::to_string(top.y - 24) +
                             " alt\n";
  ASSERT_EQ(run.run(script), 0);
  const auto tips = run.values("_tip.txt");
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_NEAR(tips[0][0], top.x, 1.0f);
  EXPECT_NEAR(tips[0][1], top.y, 1.0f);
}

TEST(DisplaySession, EachRedrawLeavesNothingOfTheLastOne) {
  // A redraw puts back only the boxes where the last redraw of the whole frame drew: through
  // new images, zooms, drags and steps back, what is shown is the clean frame with every
  // contour drawn anew.
  PlateSpec plate;
  HeadlessRun run(plate, 4);
  int compared = 0;
  run.onWait = [&](int) {
    PlateAnalyzer& a = run.analyzer();
    if (a.shownImage().empty() || a.cleanFrame().empty() || a.zoomed()) return;
    a.refreshDisplay(kRed);
    cv::Mat expected = a.cleanFrame().clone();
    for (int i = 0; i < a.snakeCount(); ++i) {
      const Snake& s = *a.snake(i);
      if (i != a.selectedIndex() && !s.isInUse()) continue;
      s.draw(expected, a.contourColour(i));
      s.drawTrackers(expected);
    }
    EXPECT_EQ(cv::norm(a.shownImage(), expected, cv::NORM_INF), 0.0) << "wait " << compared;
    ++compared;
  };
  const cv::Point top = testing::topOf(plate, 0, 1, 1);
  const cv::Point below(top.x, top.y + 20);
  const cv::Point dragged(below.x + 6, below.y + 2);
  const cv::Point moved(top.x + 5, top.y - 3);
  const std::string script =
      testing::selectAllAndCalibrate(plate) + testing::spaceKeys(2) +
      testing::mouseLine("rup", below) + testing::mouseLine("lup", cv::Point(40, 30), " shift") +
      "key z\n" + testing::mouseLine("ldown", below, " ctrl") +
      testing::mouseLine("move", dragged, " ctrl") + testing::mouseLine("lup", dragged) +
      "key space\nkey b\n" + testing::mouseLine("lup", cv::Point(top.x - 4, top.y), " shift") +
      testing::mouseLine("ldown", top, " shift ctrl") +
      testing::mouseLine("move", moved, " shift") + testing::mouseLine("lup", moved) +
      "key v\nkey n\nkey space\n";
  ASSERT_EQ(run.run(script), 0) << run.err;
  EXPECT_GT(compared, 10);
}

}  // namespace
}  // namespace stemscan
