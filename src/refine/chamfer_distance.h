// The 5 x 5 chamfer distance transform, the tube's depth: each pixel's distance to the nearest
// light pixel along steps of 1 (across), 1.4 (diagonal) and 2.1969 (a knight's move).
#pragma once

#include <opencv2/core/mat.hpp>

namespace stemscan {

// The chamfer distance of each dark pixel of `dark` (8-bit, dark where non-zero) to the nearest
// light (zero) pixel in it, into `depth` (32-bit float, `dark`'s size; 0 on light pixels). The
// same figures, bit for bit, as cv::distanceTransform(dark, depth, cv::DIST_L2,
// cv::DIST_MASK_5): pixels beyond the edge count as dark, and a dark pixel with no light one in
// the image gets 8192. Each pass takes four pixels of a row at once: the steps from the rows
// already done, then the running minimum along the row.
void chamferDistance(const cv::Mat& dark, cv::Mat& depth);

}  // namespace stemscan
