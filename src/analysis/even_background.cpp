#include "analysis/even_background.h"

#include <opencv2/imgproc.hpp>

namespace stemscan {

void evenBackground(cv::Mat& grey, int window) {
  if (grey.empty() || window < 3) return;
  // The plate's grey: a closing takes out everything dark narrower than the window; the box
  // blur takes out the closing's blocks.
  const cv::Mat square = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(window, window));
  cv::Mat plate;
  cv::morphologyEx(grey, plate, cv::MORPH_CLOSE, square, cv::Point(-1, -1), 1,
                   cv::BORDER_REPLICATE);
  cv::blur(plate, plate, cv::Size(window, window), cv::Point(-1, -1), cv::BORDER_REPLICATE);
  cv::max(plate, 1, plate);
  // A pixel lighter than the smoothed plate comes out white.
  cv::divide(grey, plate, grey, 255.0);
}

}  // namespace stemscan
