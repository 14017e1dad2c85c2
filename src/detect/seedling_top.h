// Where a person would click one seedling: the highest point of its centreline once the
// branches that end in its cotyledons are cut back to where they meet the stem. A hook's
// centreline runs over its apex, which is the top; a stem that ends in a pair of cotyledons, or
// forks into their stalks, meets them at the top.
#pragma once

#include <opencv2/core/mat.hpp>

#include "util/vec2.h"

namespace stemscan {

// The top of the seedling whose shape is the set pixels of `shape` (8-bit), in its pixels;
// `stemWidth` receives the stem's width (twice the median distance from the centreline to the
// outline).
Vec2 seedlingTop(const cv::Mat& shape, float* stemWidth);

}  // namespace stemscan
