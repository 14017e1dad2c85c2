// The corner strength the detector ranks corners by: the smaller eigenvalue of each pixel's
// gradient covariance summed over its 3 x 3 block, from 3 x 3 Sobel gradients.
#pragma once

#include <opencv2/core/mat.hpp>

namespace stemscan {

// cv::cornerMinEigenVal(image, strength, 3, 3) for an 8-bit, one-channel image, bit for bit,
// in one pass over the gradients instead of the library's general block filter. A view reads
// its parent beyond its edges for the gradients, as the library's does.
void minEigenStrength(const cv::Mat& image, cv::Mat& strength);

}  // namespace stemscan
