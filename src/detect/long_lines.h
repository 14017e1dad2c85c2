// Straight lines much longer than a seedling, running across the plate: a printed grid, the
// plate's edge. They are not stems, though a threshold makes them as dark.
#pragma once

#include <opencv2/core/mat.hpp>

namespace stemscan {

// The pixels of `dark` (set where dark) on nearly straight lines across it or down it longer
// than `lineShare` of the image's side, with a band of two pixels around them.
cv::Mat longLines(const cv::Mat& dark, float lineShare);

// `mask` (a thresholded image: 0 dark, 255 light) with the long lines lightened, except where a
// stem crosses one: a stretch of line with dark on both sides of its band stays dark. `mask`
// itself (not a copy) where there are none.
cv::Mat withoutLongLines(const cv::Mat& mask, float lineShare);

}  // namespace stemscan
