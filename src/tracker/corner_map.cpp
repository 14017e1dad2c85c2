#include "tracker/corner_map.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace stemscan {

CornerMap::CornerMap(const cv::Mat& image) {
  cv::cornerMinEigenVal(image, strength_, 3, 3);
  cv::minMaxLoc(strength_, nullptr, &strongest_);
}

std::vector<cv::Point2f> CornerMap::detect(int maxCorners, double quality,
                                           double minDistance) const {
  cv::Mat strength;
  cv::Mat peaks;
  cv::threshold(strength_, strength, strongest_ * quality, 0, cv::THRESH_TOZERO);
  cv::dilate(strength, peaks, cv::Mat());

  // Local maxima above the level, as the detector lists them.
  std::vector<const float*> candidates;
  for (int y = 1; y < strength.rows - 1; ++y) {
    const float* value = strength.ptr<float>(y);
    const float* peak = peaks.ptr<float>(y);
    for (int x = 1; x < strength.cols - 1; ++x) {
      if (value[x] != 0 && value[x] == peak[x]) candidates.push_back(value + x);
    }
  }
  // Strongest first; equal strengths in a fixed order (the later pixel first).
  std::sort(candidates.begin(), candidates.end(), [](const float* a, const float* b) {
    return (*a > *b) ? true : (*a < *b) ? false : (a > b);
  });

  std::vector<cv::Point2f> corners;
  const int cell = cvRound(minDistance);
  const int gridWidth = (strength.cols + cell - 1) / cell;
  const int gridHeight = (strength.rows + cell - 1) / cell;
  std::vector<std::vector<cv::Point2f>> grid(static_cast<std::size_t>(gridWidth) * gridHeight);
  const double minSquared = minDistance * minDistance;
  for (const float* candidate : candidates) {
    const int offset = static_cast<int>(reinterpret_cast<const uchar*>(candidate) - strength.data);
    const int y = static_cast<int>(offset / strength.step);
    const int x = static_cast<int>((offset - y * strength.step) / sizeof(float));
    const int cx = x / cell;
    const int cy = y / cell;
    bool good = true;
    for (int yy = std::max(cy - 1, 0); yy <= std::min(cy + 1, gridHeight - 1) && good; ++yy) {
      for (int xx = std::max(cx - 1, 0); xx <= std::min(cx + 1, gridWidth - 1) && good; ++xx) {
        for (const cv::Point2f& other : grid[static_cast<std::size_t>(yy) * gridWidth + xx]) {
          const float dx = x - other.x;
          const float dy = y - other.y;
          if (dx * dx + dy * dy < minSquared) {
            good = false;
            break;
          }
        }
      }
    }
    if (!good) continue;
    const cv::Point2f at(static_cast<float>(x), static_cast<float>(y));
    grid[static_cast<std::size_t>(cy) * gridWidth + cx].push_back(at);
    corners.push_back(at);
    if (maxCorners > 0 && static_cast<int>(corners.size()) == maxCorners) break;
  }
  return corners;
}

}  // namespace stemscan
