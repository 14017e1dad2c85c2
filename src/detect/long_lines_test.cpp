// Printed lines taken out of a thresholded plate, stems kept.
#include "detect/long_lines.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace stemscan {
namespace {

// A printed line as a photograph of a plate shows it: 8 px thick, tilted by 8 px over the
// plate's width (so that it lies half in one band of rows, half in the next), bulging by two
// pixels below along a stretch, and a straight stem crossing it.
TEST(LongLines, AThickTiltedUnevenLineIsTakenOutWholeAndTheStemCrossingItKept) {
  cv::Mat mask(200, 400, CV_8UC1, cv::Scalar(255));
  for (int x = 0; x < mask.cols; ++x) {
    const int top = 58 + 8 * x / mask.cols;
    const int bottom = top + 7 + (x >= 300 && x < 340 ? 2 : 0);
    cv::line(mask, cv::Point(x, top), cv::Point(x, bottom), cv::Scalar(0));
  }
  cv::rectangle(mask, cv::Point(150, 20), cv::Point(154, 150), cv::Scalar(0), cv::FILLED);

  const cv::Mat out = withoutLongLines(mask, 0.9f);
  int left = 0;
  for (int y = 40; y < 90; ++y) {
    for (int x = 0; x < mask.cols; ++x) {
      if ((x < 140 || x > 164) && out.at<uchar>(y, x) < 128) ++left;
    }
  }
  EXPECT_EQ(left, 0) << "pixels of the line left dark";
  for (int y = 20; y <= 150; ++y) EXPECT_LT(out.at<uchar>(y, 152), 128) << "stem broken at " << y;
}

}  // namespace
}  // namespace stemscan
