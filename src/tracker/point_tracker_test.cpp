#include "tracker/point_tracker.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "support/synthetic.h"
#include "tracker/corner_map.h"

namespace stemscan {
namespace {

using testing::CapturedOutput;
using testing::contains;
using testing::shifted;
using testing::texture;

TEST(PointTrackerRegion, ClipsTheSearchRegionAtTheImageBorder) {
  PointTracker tracker;
  tracker.pos = Vec2(50.0f, 30.0f);
  EXPECT_EQ(tracker.searchRegion(cv::Size(640, 480)), cv::Rect(0, 0, 151, 131));
  tracker.pos = Vec2(600.5f, 400.0f);
  EXPECT_EQ(tracker.searchRegion(cv::Size(640, 480)), cv::Rect(500, 300, 140, 180));
}

TEST(PointTrackerMotion, FollowsAShiftOfItsNeighbourhood) {
  const cv::Mat previous = texture(640, 480, 3);
  const cv::Mat current = shifted(previous, 3, -2);
  PointTracker tracker;
  tracker.pos = Vec2(320.0f, 240.0f);
  const Vec2 moved = tracker.track(current, previous, 5);
  EXPECT_NEAR(moved.x, 3.0f, 0.1f);
  EXPECT_NEAR(moved.y, -2.0f, 0.1f);
  EXPECT_NEAR(tracker.pos.x, 323.0f, 0.1f);
  EXPECT_NEAR(tracker.pos.y, 238.0f, 0.1f);
}

TEST(PointTrackerMotion, FollowsARotationAboutAnotherCentre) {
  const cv::Mat previous = texture(640, 480, 5);
  const cv::Point2f centre(300.0f, 220.0f);
  const cv::Mat rotation = cv::getRotationMatrix2D(centre, 2.0, 1.0);
  cv::Mat current;
  cv::warpAffine(previous, current, rotation, previous.size(), cv::INTER_LINEAR);
  PointTracker tracker;
  tracker.pos = Vec2(340.0f, 250.0f);
  tracker.track(current, previous, 5);
  const double x =
      rotation.at<double>(0, 0) * 340 + rotation.at<double>(0, 1) * 250 + rotation.at<double>(0, 2);
  const double y =
      rotation.at<double>(1, 0) * 340 + rotation.at<double>(1, 1) * 250 + rotation.at<double>(1, 2);
  EXPECT_NEAR(tracker.pos.x, x, 0.3);
  EXPECT_NEAR(tracker.pos.y, y, 0.3);
}

TEST(PointTrackerFailure, UniformRegionLeavesThePointWhereItWas) {
  const cv::Mat flat(480, 640, CV_8UC1, cv::Scalar(200));
  PointTracker tracker;
  tracker.pos = Vec2(100.5f, 80.0f);
  CapturedOutput output;
  EXPECT_EQ(tracker.track(flat, flat, 5), Vec2());
  EXPECT_EQ(tracker.pos, Vec2(100.5f, 80.0f));
  EXPECT_TRUE(contains(output.err(), "to few features 0\n"));
  EXPECT_TRUE(contains(output.err(), "Only found 0 features\n"));
  EXPECT_TRUE(contains(output.out(), "100.5 80\n"));
}

TEST(PointTrackerFailure, DiscardsFeaturesThatMoveMoreThanTwentyPixels) {
  const cv::Mat previous = texture(640, 480, 9);
  PointTracker tracker;
  const cv::Rect region(220, 140, 201, 201);
  const int found = tracker.trackFeatures(shifted(previous, 0, 19)(region), previous(region), 5);
  int usable = 0;
  for (int k = 0; k < found; ++k) usable += tracker.status[k] != 0;
  EXPECT_GE(usable, 5);

  const int far = tracker.trackFeatures(shifted(previous, 0, 23)(region), previous(region), 5);
  for (int k = 0; k < far; ++k) {
    if (tracker.status[k] == 0) continue;
    const cv::Point2f step = tracker.curFeatures[k] - tracker.prevFeatures[k];
    EXPECT_LE(step.x * step.x + step.y * step.y, 400.0f);
  }
}

TEST(PointTrackerFailure, NeverPlacedOrOutsideTheImageIsHarmless) {
  const cv::Mat image = texture(200, 100, 1);
  PointTracker tracker;
  CapturedOutput output;
  EXPECT_EQ(tracker.track(image, image, 5), Vec2());
  EXPECT_EQ(tracker.pos, Vec2(-1.0f, -1.0f));
  tracker.pos = Vec2(500.0f, 700.0f);
  EXPECT_EQ(tracker.track(image, image, 5), Vec2());
  EXPECT_EQ(tracker.pos, Vec2(500.0f, 700.0f));
  tracker.pos = Vec2(199.5f, 99.5f);  // the very corner
  tracker.track(image, image, 5);
  EXPECT_NEAR(tracker.pos.x, 199.5f, 0.5f);
  // Images of different sizes are refused, not compared.
  EXPECT_EQ(tracker.track(image, texture(100, 100, 1), 5), Vec2());
}

}  // namespace
}  // namespace stemscan

namespace stemscan {
namespace {

// The detector tried at one quality level after another finds exactly what the library's
// goodFeaturesToTrack finds, on textures, on thresholded stems full of equal strengths, and in
// views of a larger image (whose edges the strength map sees across).
TEST(CornerMapDetection, FindsWhatGoodFeaturesToTrackFinds) {
  std::vector<cv::Mat> images;
  for (unsigned seed = 1; seed <= 4; ++seed) images.push_back(testing::texture(151, 131, seed));
  cv::Mat stem(131, 151, CV_8UC1, cv::Scalar(255));
  cv::line(stem, {70, 10}, {80, 120}, cv::Scalar(0), 6);
  cv::ellipse(stem, {70, 12}, {12, 5}, 20, 0, 360, cv::Scalar(0), cv::FILLED);
  images.push_back(stem);
  images.push_back(cv::Mat(131, 151, CV_8UC1, cv::Scalar(200)));
  const cv::Mat large = testing::texture(400, 300, 9);
  images.push_back(large(cv::Rect(37, 21, 151, 131)));
  // A thresholded plate seen through a window that stems cross: most of it is blank.
  cv::Mat plate(300, 400, CV_8UC1, cv::Scalar(255));
  cv::line(plate, {60, 0}, {140, 290}, cv::Scalar(0), 7);
  cv::line(plate, {300, 20}, {190, 280}, cv::Scalar(0), 4);
  cv::ellipse(plate, {180, 150}, {30, 8}, 35, 0, 360, cv::Scalar(0), cv::FILLED);
  images.push_back(plate(cv::Rect(100, 40, 201, 201)));
  images.push_back(plate(cv::Rect(0, 0, 67, 300)));
  // The strongest corner on the image's edge, where no peak is counted, and weaker ones
  // inside: the level is still taken from the strongest.
  cv::Mat edge(131, 151, CV_8UC1, cv::Scalar(255));
  edge.at<uchar>(40, 0) = 0;
  cv::rectangle(edge, {60, 60}, {70, 70}, cv::Scalar(225), cv::FILLED);
  images.push_back(edge);
  for (std::size_t i = 0; i < images.size(); ++i) {
    const CornerMap map(images[i]);
    for (double quality = 0.1; quality > 1e-6; quality /= 2.0) {
      std::vector<cv::Point2f> expected;
      cv::goodFeaturesToTrack(images[i], expected, 100, quality, 2.0, cv::noArray(), 3, false,
                              0.04);
      const std::vector<cv::Point2f> found = map.detect(100, quality, 2.0);
      ASSERT_EQ(found.size(), expected.size()) << "image " << i << ", quality " << quality;
      for (std::size_t k = 0; k < found.size(); ++k) {
        ASSERT_EQ(found[k], expected[k]) << "image " << i << ", quality " << quality;
      }
    }
  }
}

}  // namespace
}  // namespace stemscan
