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

// The line's light halo thins a stem on one side of it in the mask (3 px above, 6 px below),
// and a pixel of the line's own edge lies along the band beside the stem: the stem is drawn
// back as wide as it is below, and nothing joins it to the edge.
TEST(LongLines, AStemThinnedOnOneSideIsDrawnBackAtItsWidthAndTheLinesEdgeLeftAlone) {
  cv::Mat mask(200, 400, CV_8UC1, cv::Scalar(255));
  cv::rectangle(mask, cv::Point(0, 60), cv::Point(399, 69), cv::Scalar(0), cv::FILLED);
  cv::rectangle(mask, cv::Point(151, 20), cv::Point(153, 59), cv::Scalar(0), cv::FILLED);
  cv::rectangle(mask, cv::Point(150, 70), cv::Point(155, 150), cv::Scalar(0), cv::FILLED);
  cv::line(mask, cv::Point(156, 59), cv::Point(250, 59), cv::Scalar(0));

  const cv::Mat out = withoutLongLines(mask, 0.9f);
  for (int y = 20; y <= 150; ++y) EXPECT_LT(out.at<uchar>(y, 152), 128) << "stem broken at " << y;
  int across = 0;
  for (int x = 140; x < 170; ++x) across += out.at<uchar>(61, x) < 128 ? 1 : 0;
  EXPECT_GE(across, 5) << "the crossing is narrower than the stem";
  EXPECT_LE(across, 7) << "the crossing is wider than the stem";
  for (int y = 55; y < 75; ++y) {
    for (int x = 157; x < 250; ++x) {
      EXPECT_GE(out.at<uchar>(y, x), 128) << "dark at " << x << ", " << y;
    }
  }
}

}  // namespace
}  // namespace stemscan
