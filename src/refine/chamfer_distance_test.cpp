#include "refine/chamfer_distance.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <random>

#include "support/synthetic.h"

namespace stemscan {
namespace {

// The library's transform, which ours must match bit for bit.
cv::Mat libraryDistance(const cv::Mat& dark) {
  cv::Mat depth;
  cv::distanceTransform(dark, depth, cv::DIST_L2, cv::DIST_MASK_5);
  return depth;
}

::testing::AssertionResult sameBits(const cv::Mat& dark) {
  cv::Mat ours;
  chamferDistance(dark, ours);
  return testing::sameFloatBits(ours, libraryDistance(dark));
}

// Stems, blobs and specks of every size, images down to a pixel wide, dark to the edges, and
// dark with no light pixel at all: the library's figures, bit for bit.
TEST(ChamferDistance, MatchesTheLibrarysTransform) {
  std::mt19937 random(11);
  for (int k = 0; k < 60; ++k) {
    const int w = 1 + static_cast<int>(random() % 90);
    const int h = 1 + static_cast<int>(random() % 90);
    cv::Mat dark(h, w, CV_8U, cv::Scalar(0));
    for (int s = static_cast<int>(random() % 6); s > 0; --s) {
      const cv::Point a(static_cast<int>(random() % w), static_cast<int>(random() % h));
      const cv::Point b(static_cast<int>(random() % w), static_cast<int>(random() % h));
      cv::line(dark, a, b, cv::Scalar(255), 1 + static_cast<int>(random() % 30));
    }
    for (int s = static_cast<int>(random() % 40); s > 0; --s) {
      dark.at<uchar>(static_cast<int>(random() % h), static_cast<int>(random() % w)) ^= 255;
    }
    ASSERT_TRUE(sameBits(dark)) << "image " << k;
    // A view into a larger image reads its own pixels only.
    cv::Mat framed(h + 4, w + 6, CV_8U, cv::Scalar(0));
    dark.copyTo(framed(cv::Rect(3, 2, w, h)));
    ASSERT_TRUE(sameBits(framed(cv::Rect(3, 2, w, h)))) << "view " << k;
  }
  ASSERT_TRUE(sameBits(cv::Mat(40, 33, CV_8U, cv::Scalar(255))));
  ASSERT_TRUE(sameBits(cv::Mat(7, 5, CV_8U, cv::Scalar(0))));
}

}  // namespace
}  // namespace stemscan
