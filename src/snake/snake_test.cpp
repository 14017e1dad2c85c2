#include "snake/snake.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::CapturedOutput;

using testing::snakeOf;

TEST(SnakeModel, FreshSnakeIsEmptyAndOn) {
  const Snake s;
  EXPECT_EQ(s.count, 0);
  EXPECT_TRUE(s.active);
  EXPECT_EQ(s.internalWeight, 1.0f);
  EXPECT_EQ(s.Eint.size(), cv::Size(11, 11));
  EXPECT_EQ(s.Etot.type(), CV_32FC1);
  EXPECT_FALSE(s.isInUse());
  EXPECT_EQ(s.topTracker.pos, Vec2(-1.0f, -1.0f));
}

TEST(SnakeModel, PointAccessAndBounds) {
  Snake s = snakeOf({Vec2(1, 1), Vec2(2, 2), Vec2(3, 3), Vec2(4, 4), Vec2(5, 5)});
  CapturedOutput output;
  EXPECT_EQ(s.point(5), Vec2());
  EXPECT_EQ(output.err(), "out of bound\n");
  Snake empty;
  empty.point(0);
  EXPECT_EQ(output.err(), "out of bound\n");  // point 0 never complains
  s.setPoint(5, Vec2(9, 9));
  EXPECT_EQ(s.count, 5);
  s.setPoint(4, Vec2(9, 9));
  EXPECT_EQ(s.lastPoint(), Vec2(9, 9));
  std::ostringstream text;
  text << snakeOf({Vec2(1.5f, 2.0f), Vec2(3, 4)});
  EXPECT_EQ(text.str(), "2 1.5 2 3 4 ");
}

TEST(SnakeEditing, GrowShrinkAndAppendRespectTheLimits) {
  Snake s;
  for (int i = 0; i < 199; ++i) s.append(Vec2(i, i));
  EXPECT_EQ(s.grow(2), 200);
  EXPECT_EQ(s.append(Vec2(1, 1)), 0);
  EXPECT_EQ(s.count, 200);
  Snake three = snakeOf({Vec2(0, 0), Vec2(0, 1), Vec2(0, 2)});
  EXPECT_EQ(three.shrink(2), 2);
  EXPECT_EQ(three.shrink(2), 2);
  Snake ten;
  for (int i = 0; i < 10; ++i) ten.append(Vec2(0, i));
  EXPECT_EQ(ten.shrink(2), 8);
  Snake empty;
  EXPECT_EQ(empty.grow(2), 0);
}

TEST(SnakeEditing, PinBaseCutsBelowTheLineAndMovesTheBaseTracker) {
  Snake s = snakeOf({Vec2(5, 100), Vec2(5, 200), Vec2(5, 310), Vec2(5, 320)});
  s.pinBase(300);
  EXPECT_EQ(s.count, 2);
  EXPECT_EQ(s.lastPoint(), Vec2(5.0f, 300.0f));
  EXPECT_EQ(s.baseTracker.pos, Vec2(5.0f, 300.0f));
  // A line above the whole contour leaves it alone.
  Snake below = snakeOf({Vec2(5, 100), Vec2(5, 200)});
  below.pinBase(50);
  EXPECT_EQ(below.count, 2);
  EXPECT_EQ(below.lastPoint(), Vec2(5.0f, 200.0f));
}

TEST(SnakeEditing, ClosestPointPrefersTheLaterOnTiesAndTranslateMovesTrackers) {
  Snake s = snakeOf({Vec2(0, 0), Vec2(10, 0), Vec2(20, 0)});
  int distance = -1;
  EXPECT_EQ(s.closestPoint(Vec2(5, 0), &distance), 1);
  EXPECT_EQ(distance, 25);
  EXPECT_EQ(s.closestPoint(Vec2(19.0f, 0.5f), &distance), 2);
  EXPECT_EQ(distance, 1);  // 1.25 truncated
  s.topTracker.pos = Vec2(0, 0);
  s.baseTracker.pos = Vec2(20, 0);
  s.translate(Vec2(1, 2));
  EXPECT_EQ(s.point(2), Vec2(21, 2));
  EXPECT_EQ(s.topTracker.pos, Vec2(1, 2));
  EXPECT_EQ(s.baseTracker.pos, Vec2(21, 2));
}

}  // namespace
}  // namespace stemscan
