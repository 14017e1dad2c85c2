// The greedy optimisation and the seedings, on small synthetic masks.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "snake/snake.h"
#include "support/synthetic.h"

namespace stemscan {
namespace {

// A light plate with a dark vertical stroke from (100, 40) to (100, 160), 7 px wide,
// thresholded at 110 as the analyzer does: 0 on the stroke, 255 elsewhere.
cv::Mat strokeMask() {
  cv::Mat grey(200, 200, CV_8UC1, cv::Scalar(200));
  testing::drawStroke(grey, cv::Point(100, 40), cv::Point(100, 160), 7);
  cv::Mat mask;
  cv::threshold(grey, mask, 110, 255, cv::THRESH_BINARY);
  return mask;
}

Snake clickedSnake(const Vec2& click, RandomSource& random) {
  Snake s;
  s.scatter(100, 100, 10, 30, random);
  s.setPoint(0, click);
  return s;
}

TEST(SnakeSeeding, ScatterLaysWholePointsInTheSquare) {
  RandomSource random(4);
  Snake s;
  s.scatter(100, 200, 10, 30, random);
  ASSERT_EQ(s.count, 10);
  for (int i = 0; i < s.count; ++i) {
    EXPECT_EQ(s.points[i], rounded(s.points[i]));
    EXPECT_GE(s.points[i].x, 85);
    EXPECT_LE(s.points[i].x, 115);
    EXPECT_GE(s.points[i].y, 185);
    EXPECT_LE(s.points[i].y, 215);
  }
  s.scatter(0, 0, 250, 30, random);
  EXPECT_EQ(s.count, 200);
  s.scatter(0, 0, -3, 30, random);
  EXPECT_EQ(s.count, 0);
}

TEST(SnakeSeeding, ClickStartsAZigZagBelowTheTop) {
  RandomSource random(1);
  // On an all-black mask nothing can move, so the seeded zig-zag stays as laid out.
  const cv::Mat black(300, 300, CV_8UC1, cv::Scalar(0));
  Snake s = clickedSnake(Vec2(100, 50), random);
  s.seedFromClick(black, 20, 60, random);
  EXPECT_NEAR(s.points[1].x, 101.04f, 0.01f);
  EXPECT_NEAR(s.points[1].y, 55.91f, 0.01f);
  EXPECT_NEAR(s.points[2].x, 97.92f, 0.01f);
  EXPECT_NEAR(s.points[2].y, 61.82f, 0.01f);
  // Left-leaning points of a click near the left border are clamped onto the image.
  Snake edge = clickedSnake(Vec2(1, 50), random);
  edge.seedFromClick(black, 20, 60, random);
  EXPECT_EQ(edge.points[8].x, 0.0f);
  // One point or none: nothing to lay out.
  Snake one;
  one.append(Vec2(7, 7));
  one.seedFromClick(black, 20, 60, random);
  EXPECT_EQ(one.count, 1);
  Snake none;
  none.seedFromClick(black, 20, 60, random);
  EXPECT_EQ(none.count, 0);
}

TEST(SnakeOptimisation, ContourSeededAtTheTopSettlesOntoTheStroke) {
  RandomSource random(11);
  const cv::Mat mask = strokeMask();
  Snake s = clickedSnake(Vec2(100, 42), random);
  s.seedFromClick(mask, 20, 60, random);
  const float baseY = s.lastPoint().y;
  s.optimise(mask, 10, -1, random);
  EXPECT_EQ(s.point(0), Vec2(100, 42));
  EXPECT_EQ(s.lastPoint().y, baseY);
  for (int i = 1; i < s.count; ++i) {
    EXPECT_LE(std::abs(s.points[i].x - 100.0f), 3.5f) << "point " << i;
    EXPECT_EQ(mask.at<uchar>(cv::Point(int(s.points[i].x), int(s.points[i].y))), 0);
  }
  EXPECT_NEAR(s.length(), 54.0f, 4.0f);
}

TEST(SnakeOptimisation, BaseSlidesOnlySidewaysAndBlackWindowsHoldStill) {
  RandomSource random(2);
  const cv::Mat uniform(100, 100, CV_8UC1, cv::Scalar(255));
  // The base's neighbour straight above it: on a uniform window it moves to column 0.
  Snake s;
  s.append(Vec2(50, 20));
  s.append(Vec2(50, 40));
  s.optimise(uniform, 1, 1, random);
  EXPECT_EQ(s.point(1), Vec2(45, 40));

  const cv::Mat black(100, 100, CV_8UC1, cv::Scalar(0));
  Snake still;
  for (int i = 0; i < 5; ++i) still.append(Vec2(50.5f + 3 * i, 20.0f + 10 * i));
  const auto before = still.points;
  still.optimise(black, 10, 1, random);
  EXPECT_EQ(still.points, before);
}

TEST(SnakeOptimisation, MidpointIsStableAndBorderPointsStayOnTheImage) {
  RandomSource random(3);
  const cv::Mat uniform(100, 100, CV_8UC1, cv::Scalar(255));
  Snake s;
  s.append(Vec2(50, 20));
  s.append(Vec2(50, 30));
  s.append(Vec2(50, 40));
  s.optimise(uniform, 5, -1, random);
  EXPECT_EQ(s.point(1), Vec2(50, 30));

  Snake edge;
  edge.append(Vec2(2, 10));
  edge.append(Vec2(0.5f, 50.0f));
  edge.append(Vec2(2, 90));
  edge.setInternalWeight(0.0f);
  edge.optimise(uniform, 10, -1, random);
  // Still on pixel column 0 (pixel positions truncate toward zero).
  EXPECT_GE(toPoint(edge.point(1)).x, 0);
  EXPECT_GT(edge.point(1).x, -1.0f);

  // Points off the image altogether stay put instead of reading outside it.
  Snake off;
  off.append(Vec2(-50, -50));
  off.append(Vec2(-40, -40));
  off.append(Vec2(400, 400));
  off.optimise(uniform, 3, 1, random);
  EXPECT_EQ(off.point(1), Vec2(-40, -40));
}

TEST(SnakeOptimisation, TooFewPointsOrNoPassesDoNothing) {
  RandomSource random(3);
  const cv::Mat uniform(100, 100, CV_8UC1, cv::Scalar(255));
  Snake two;
  two.append(Vec2(50, 20));
  two.append(Vec2(50, 40));
  two.optimise(uniform, 10, -1, random);
  EXPECT_EQ(two.point(1), Vec2(50, 40));
  Snake one;
  one.append(Vec2(50, 20));
  one.optimise(uniform, 10, 1, random);
  EXPECT_EQ(one.point(0), Vec2(50, 20));
  Snake three;
  for (int i = 0; i < 3; ++i) three.append(Vec2(50 + 7 * i, 20 + 10 * i));
  three.optimise(uniform, 0, 1, random);
  EXPECT_EQ(three.point(1), Vec2(57, 30));
}

TEST(SnakeOptimisation, SameSeedSameContour) {
  const cv::Mat mask = strokeMask();
  RandomSource first(99);
  RandomSource second(99);
  Snake a = clickedSnake(Vec2(100, 42), first);
  Snake b = clickedSnake(Vec2(100, 42), second);
  a.seedFromClick(mask, 20, 60, first);
  b.seedFromClick(mask, 20, 60, second);
  a.optimise(mask, 10, -1, first);
  b.optimise(mask, 10, -1, second);
  EXPECT_EQ(a.points, b.points);
}

}  // namespace
}  // namespace stemscan
