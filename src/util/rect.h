// Small operations on image rectangles.
#pragma once

#include <opencv2/core/types.hpp>

namespace stemscan {

// `r` grown by `by` pixels on every side, kept within `bounds`.
inline cv::Rect grownWithin(const cv::Rect& r, int by, const cv::Rect& bounds) {
  return cv::Rect(r.x - by, r.y - by, r.width + 2 * by, r.height + 2 * by) & bounds;
}

}  // namespace stemscan
