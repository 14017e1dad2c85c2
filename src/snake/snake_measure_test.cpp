#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "snake/snake.h"
#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::snakeOf;

TEST(SnakeMeasurements, LengthAndOrientation) {
  EXPECT_EQ(snakeOf({Vec2(0, 0), Vec2(3, 4), Vec2(3, 10)}).length(), 11.0f);
  EXPECT_EQ(snakeOf({Vec2(0, 0)}).length(), 0.0f);
  const Snake bent = snakeOf({Vec2(10, 10), Vec2(10, 20), Vec2(20, 20)});
  EXPECT_EQ(bent.orientation(5), 0.0f);
  EXPECT_NEAR(bent.orientation(15), 26.57f, 0.01f);
  EXPECT_NEAR(bent.orientation(20), 45.0f, 1e-4f);
  EXPECT_EQ(bent.orientation(10), 0.0f);  // exactly the first segment
  EXPECT_EQ(Snake().orientation(15), 1000.0f);
  EXPECT_EQ(snakeOf({Vec2(1, 1)}).orientation(15), 1000.0f);
  // Outside (0, length] the stretch is clamped to the contour.
  EXPECT_NEAR(bent.orientation(500), 45.0f, 1e-4f);
  EXPECT_EQ(bent.orientation(0), 0.0f);
  EXPECT_NEAR(snakeOf({Vec2(0, 0), Vec2(-5, 5)}).orientation(-1), -45.0f, 1e-4f);
}

TEST(SnakeMeasurements, BoundingBoxTruncates) {
  const Snake s = snakeOf({Vec2(-3.0f, 4.9f), Vec2(-7.0f, 7.2f)});
  EXPECT_EQ(s.maxX(), 0);
  EXPECT_EQ(s.minX(), -7);
  EXPECT_EQ(snakeOf({Vec2(4.9f, 1.0f), Vec2(7.2f, 2.0f)}).minX(), 4);
  EXPECT_EQ(s.maxY(), 7);
  EXPECT_EQ(s.minY(), 4);
  EXPECT_EQ(Snake().maxX(), 0);
}

TEST(SnakeDrawing, ColoursLandOnTheRightPixels) {
  cv::Mat image(60, 60, CV_8UC3, cv::Scalar(0, 0, 0));
  Snake s = snakeOf({Vec2(10, 10), Vec2(10, 50)});
  s.topTracker.pos = Vec2(30, 10);
  s.baseTracker.pos = Vec2(30, 50);
  s.draw(image, cv::Scalar(0, 0, 255));
  s.drawTrackers(image);
  EXPECT_EQ(image.at<cv::Vec3b>(30, 10), cv::Vec3b(0, 0, 255));
  EXPECT_EQ(image.at<cv::Vec3b>(30, 11), cv::Vec3b(0, 0, 255));  // 3 px wide
  EXPECT_EQ(image.at<cv::Vec3b>(30, 13), cv::Vec3b(0, 0, 0));
  EXPECT_EQ(image.at<cv::Vec3b>(10, 32), cv::Vec3b(0, 255, 0));  // ring of radius 2
  EXPECT_EQ(image.at<cv::Vec3b>(50, 32), cv::Vec3b(255, 0, 0));
  EXPECT_EQ(image.at<cv::Vec3b>(10, 30), cv::Vec3b(0, 0, 0));  // its centre stays clear

  // Only the first 15 px of the contour get the orientation stretch.
  cv::Mat stretch(60, 60, CV_8UC3, cv::Scalar(0, 0, 0));
  s.drawUpTo(stretch, 15, cv::Scalar(255, 0, 0));
  EXPECT_EQ(stretch.at<cv::Vec3b>(24, 10), cv::Vec3b(255, 0, 0));
  EXPECT_EQ(stretch.at<cv::Vec3b>(28, 10), cv::Vec3b(0, 0, 0));
  cv::Mat none(10, 10, CV_8UC3, cv::Scalar(0, 0, 0));
  Snake().drawUpTo(none, 15, cv::Scalar(255, 0, 0));
  snakeOf({Vec2(5, 5)}).draw(none, cv::Scalar(0, 0, 255));
  EXPECT_EQ(cv::countNonZero(none.reshape(1)), 0);
}

TEST(SnakeDrawing, IntoAViewLandsInFullImageCoordinates) {
  cv::Mat image(100, 100, CV_8UC3, cv::Scalar(0, 0, 0));
  cv::Mat view = image(cv::Rect(40, 20, 50, 50));
  const Snake s = snakeOf({Vec2(60, 30), Vec2(60, 60)});
  s.draw(view, cv::Scalar(0, 0, 255));
  EXPECT_EQ(image.at<cv::Vec3b>(45, 60), cv::Vec3b(0, 0, 255));
  EXPECT_EQ(image.at<cv::Vec3b>(45, 20), cv::Vec3b(0, 0, 0));
}

}  // namespace
}  // namespace stemscan
