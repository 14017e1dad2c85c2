// PointTracker: follows one end point of a hypocotyl contour from one image to the next.
//
// trackFeatures detects good features in the previous image inside a search region and
// follows them into the current image with pyramidal Lucas-Kanade flow; track expresses the
// point as a weighted combination of the features' old positions that reproduces the point
// exactly and favours near features, and applies the same weights to their new positions.
// The point therefore follows any affine motion of its neighbourhood.
#pragma once

#include <iostream>
#include <opencv2/core/mat.hpp>
#include <vector>

#include "util/vec2.h"

namespace stemscan {

class PointTracker {
 public:
  PointTracker();

  // Detects up to maxFeatures features in `previous` and follows them into `current`; both
  // are views of the same search region of two 8-bit one-channel images of equal size, and
  // every position is relative to the region. The flow window is 2 * maxGrowth + 1 pixels a
  // side. Returns the number of features detected; the usable ones have a non-zero status.
  // Warnings go to `err`.
  int trackFeatures(const cv::Mat& current, const cv::Mat& previous, int maxGrowth,
                    std::ostream& err = std::cerr);

  // Moves `pos` with the content of its 201 x 201 neighbourhood between `previous` and
  // `current` (whole images of equal size) and returns the displacement. On failure `pos` is
  // unchanged and the result is (0, 0). Messages go to `out` and warnings to `err`.
  Vec2 track(const cv::Mat& current, const cv::Mat& previous, int maxGrowth,
             std::ostream& out = std::cout, std::ostream& err = std::cerr);

  // The search region of `track` for an image of the given size (clipped to the image), and
  // the tracked point relative to it.
  cv::Rect searchRegion(cv::Size imageSize) const;

  Vec2 pos{-1.0f, -1.0f};  // negative until the tracker is placed
  Vec2 window{201.0f, 201.0f};
  int maxFeatures = 100;
  std::vector<cv::Point2f> prevFeatures;
  std::vector<cv::Point2f> curFeatures;
  std::vector<unsigned char> status;
  std::vector<float> errors;
};

}  // namespace stemscan
