// CornerMap: the corners goodFeaturesToTrack finds in an image (minimal eigenvalue, block 3,
// gradient 3), at any quality level, from one map of corner strength: the adaptive detector
// tries several levels on the same image and needs the map, and its local maxima, only once.
#pragma once

#include <opencv2/core/mat.hpp>
#include <vector>

namespace stemscan {

class CornerMap {
 public:
  explicit CornerMap(const cv::Mat& image);

  // The corners at `quality` (a share of the strongest corner's strength), strongest first, at
  // least `minDistance` apart, at most `maxCorners`: the same, in the same order, as
  // cv::goodFeaturesToTrack gives.
  std::vector<cv::Point2f> detect(int maxCorners, double quality, double minDistance) const;

 private:
  cv::Mat strength_;
  double strongest_ = 0.0;
  // The map's local maxima above zero (off its outer ring), strongest first; equal strengths
  // in a fixed order, the later pixel first.
  std::vector<const float*> peaks_;
};

}  // namespace stemscan
