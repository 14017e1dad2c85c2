// The threshold values and the thresholded images of the image shown and the one before it.
#include "analysis/thresholds.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace stemscan {
namespace {

cv::Mat plate(int stemGrey) {
  cv::Mat bgr(40, 60, CV_8UC3, cv::Scalar(200, 200, 200));
  cv::line(bgr, {30, 5}, {30, 35}, cv::Scalar(stemGrey, stemGrey, stemGrey), 3);
  return bgr;
}

TEST(Thresholds, MaskBothImagesAtTheCurrentValueAndRollOnToTheNext) {
  Thresholds thresholds(3, 110);
  thresholds.startSequence(cv::Size(60, 40));
  const cv::Mat first = plate(50);
  thresholds.nextImage(first, first);  // the image shown before the first: itself
  thresholds.makeMasksFor(1);          // not calibrated: nothing is thresholded
  EXPECT_EQ(thresholds.mask().at<uchar>(20, 30), 50);

  thresholds.setCurrent(100);
  thresholds.makeMasks();
  EXPECT_EQ(thresholds.mask().at<uchar>(20, 30), 0);
  EXPECT_EQ(thresholds.mask().at<uchar>(20, 10), 255);
  EXPECT_EQ(thresholds.previousMask().at<uchar>(20, 30), 0);

  // The next image: the one shown becomes the previous one, its mask kept.
  thresholds.nextImage(plate(150), first);
  thresholds.makeMasks();
  EXPECT_EQ(thresholds.mask().at<uchar>(20, 30), 255);
  EXPECT_EQ(thresholds.previousMask().at<uchar>(20, 30), 0);
}

TEST(Thresholds, ShareOneValueOrKeepEachHypocotylsOwn) {
  Thresholds thresholds(3, 110);
  EXPECT_EQ(thresholds.values(), (std::vector<int>{-1, -1, -1}));
  thresholds.startSharing();
  thresholds.setCurrent(90);
  thresholds.shareCurrent();
  EXPECT_TRUE(thresholds.sharing());
  EXPECT_EQ(thresholds.values(), (std::vector<int>{90, 90, 90}));
  thresholds.stopSharing();
  thresholds.set(2, 70);
  EXPECT_FALSE(thresholds.sharing());
  EXPECT_EQ(thresholds.of(2), 70);
  EXPECT_EQ(thresholds.of(7), Thresholds::kNone);
}

}  // namespace
}  // namespace stemscan
