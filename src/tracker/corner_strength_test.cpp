#include "tracker/corner_strength.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <random>

#include "support/synthetic.h"

namespace stemscan {
namespace {

::testing::AssertionResult sameBits(const cv::Mat& image) {
  cv::Mat ours;
  minEigenStrength(image, ours);
  cv::Mat theirs;
  cv::cornerMinEigenVal(image, theirs, 3, 3);
  return testing::sameFloatBits(ours, theirs);
}

// Noise with the steepest gradients an 8-bit image has, thresholded stems, images down to a
// pixel wide, and views whose gradients read the larger image around them: the library's
// strengths, bit for bit.
TEST(CornerStrength, MatchesTheLibrarysMinimalEigenvalues) {
  std::mt19937 random(5);
  for (int k = 0; k < 60; ++k) {
    const int w = 1 + static_cast<int>(random() % 90);
    const int h = 1 + static_cast<int>(random() % 90);
    cv::Mat noise(h, w, CV_8U);
    cv::randu(noise, 0, k % 2 == 0 ? 256 : 8);
    ASSERT_TRUE(sameBits(noise)) << "noise " << k;
    cv::Mat stems(h, w, CV_8U, cv::Scalar(255));
    for (int s = static_cast<int>(random() % 5); s > 0; --s) {
      const cv::Point a(static_cast<int>(random() % w), static_cast<int>(random() % h));
      const cv::Point b(static_cast<int>(random() % w), static_cast<int>(random() % h));
      cv::line(stems, a, b, cv::Scalar(0), 1 + static_cast<int>(random() % 8));
    }
    ASSERT_TRUE(sameBits(stems)) << "stems " << k;
    cv::Mat framed(h + 5, w + 4, CV_8U);
    cv::randu(framed, 0, 256);
    stems.copyTo(framed(cv::Rect(2, 3, w, h)));
    ASSERT_TRUE(sameBits(framed(cv::Rect(2, 3, w, h)))) << "view " << k;
    ASSERT_TRUE(sameBits(framed(cv::Rect(0, 0, w, h)))) << "corner view " << k;
  }
  // A tracker's whole search window, where what the row sums leave over runs a long way down.
  cv::Mat window(131, 151, CV_8U);
  cv::randu(window, 0, 256);
  ASSERT_TRUE(sameBits(window));
  ASSERT_TRUE(sameBits(cv::Mat(31, 17, CV_8U, cv::Scalar(128))));
}

}  // namespace
}  // namespace stemscan
