// Two refined contours on one stem: the one that moved onto the other's goes back.
#include "analysis/keep_apart.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "support/synthetic.h"

namespace stemscan {
namespace {

// Eleven points from (x, top) straight down to (x, bottom).
Snake stem(float x, float top, float bottom) {
  Snake s;
  for (int k = 0; k <= 10; ++k) s.append(Vec2(x, top + (bottom - top) * k / 10.0f));
  s.activate();
  s.topTracker.pos = s.point(0);
  s.baseTracker.pos = s.lastPoint();
  return s;
}

TEST(KeepApart, TheContourThatRanOntoAnothersStemGoesBack) {
  cv::Mat plate = testing::lightPlate(300, 300);
  testing::drawStroke(plate, {100, 60}, {100, 260}, 8);
  testing::drawStroke(plate, {200, 80}, {200, 260}, 8);
  Thresholds thresholds(2, 120);
  thresholds.startSequence(plate.size());
  thresholds.nextImage(plate, cv::Mat());
  thresholds.set(0, 120);
  thresholds.set(1, 120);

  std::vector<Snake> snakes = {stem(100, 64, 256), stem(200, 84, 256)};
  const std::vector<ContourBefore> before = contoursBefore(snakes);
  // Hypocotyl 1's fit followed hypocotyl 0's stem; hypocotyl 0 barely moved.
  snakes[0] = stem(100, 62, 256);
  snakes[1] = stem(101, 70, 250);
  const std::vector<bool> back = keepApart(snakes, before, thresholds, 0.5f);
  EXPECT_EQ(back, (std::vector<bool>{false, true}));
  EXPECT_EQ(snakes[1].point(0).x, 200.0f);
  EXPECT_EQ(snakes[1].topTracker.pos.x, 200.0f);
  EXPECT_EQ(snakes[0].point(0).y, 62.0f);

  // Apart, nothing goes back.
  std::vector<Snake> apart = {stem(100, 62, 256), stem(200, 82, 256)};
  EXPECT_EQ(keepApart(apart, before, thresholds, 0.5f), (std::vector<bool>{false, false}));
}

}  // namespace
}  // namespace stemscan
