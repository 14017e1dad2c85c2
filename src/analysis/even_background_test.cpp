// A plate lit from one side: evened, its background is white everywhere and a stem as dark
// against it at one end as at the other.
#include "analysis/even_background.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace stemscan {
namespace {

TEST(EvenBackground, APlateLitFromOneSideComesOutWhiteWithItsStemAtOneShare) {
  // The plate's grey falls from 220 on the left to 80 on the right; a horizontal stem 6 px
  // thick is half as light as the plate around it all along.
  cv::Mat grey(120, 400, CV_8UC1);
  for (int y = 0; y < grey.rows; ++y) {
    for (int x = 0; x < grey.cols; ++x) {
      const double plate = 220.0 - 140.0 * x / (grey.cols - 1);
      const bool stem = y >= 57 && y < 63;
      grey.at<uchar>(y, x) = cv::saturate_cast<uchar>(stem ? plate / 2.0 : plate);
    }
  }
  evenBackground(grey);
  for (int x = 30; x < grey.cols - 30; x += 10) {
    EXPECT_GE(grey.at<uchar>(20, x), 245) << "plate at x " << x;
    EXPECT_NEAR(grey.at<uchar>(60, x), 128, 8) << "stem at x " << x;
  }
}

}  // namespace
}  // namespace stemscan
