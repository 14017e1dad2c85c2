#include "detect/long_lines.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace stemscan {
namespace {

// The pixels of `dark` on lines along one direction. The lines are looked for on the mask
// pooled eight to one across them (a pixel set where any of its eight is), so that a line
// slightly tilted or bowed still runs along one pooled row or column.
cv::Mat linesAlong(const cv::Mat& dark, float lineShare, bool horizontal) {
  constexpr int kPool = 8;
  const cv::Size pooled = horizontal ? cv::Size(dark.cols, (dark.rows + kPool - 1) / kPool)
                                     : cv::Size((dark.cols + kPool - 1) / kPool, dark.rows);
  cv::Mat small;
  cv::resize(dark, small, pooled, 0, 0, cv::INTER_AREA);
  small = small > 0;
  const int length = std::max(3, cvRound(lineShare * (horizontal ? dark.cols : dark.rows)));
  // Outside the image nothing is set: a stem that runs off the picture is not a line.
  cv::morphologyEx(small, small, cv::MORPH_OPEN,
                   cv::getStructuringElement(
                       cv::MORPH_RECT, horizontal ? cv::Size(length, 1) : cv::Size(1, length)),
                   cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
  cv::Mat lines;
  cv::resize(small, lines, dark.size(), 0, 0, cv::INTER_NEAREST);
  lines &= dark;
  cv::dilate(lines, lines, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
  return lines;
}

// Lightens the band pixels of `lines` in `mask`, run by run across the band (down the columns
// for a line across the image, along the rows for one down it), unless the mask is dark just
// beyond both ends of the run: there a stem crosses the line. A line's own run next to a
// stem's crossing stays dark too, which narrows the stem's tube there by a pixel or two at most.
void lighten(cv::Mat& mask, const cv::Mat& lines, bool horizontal) {
  const cv::Mat original = mask.clone();
  const int across = horizontal ? mask.rows : mask.cols;
  const int along = horizontal ? mask.cols : mask.rows;
  auto at = [horizontal](const cv::Mat& m, int a, int c) -> const uchar& {
    return horizontal ? m.at<uchar>(c, a) : m.at<uchar>(a, c);
  };
  // Dark just beyond the band, within two pixels along it: a slanting stem shifts across it.
  auto darkAt = [&](int a, int c) {
    if (c < 0 || c >= across) return false;
    for (int k = std::max(0, a - 2); k <= std::min(along - 1, a + 2); ++k) {
      if (at(original, k, c) < 128) return true;
    }
    return false;
  };
  for (int a = 0; a < along; ++a) {
    for (int c = 0; c < across;) {
      if (at(lines, a, c) == 0) {
        ++c;
        continue;
      }
      int end = c;
      while (end < across && at(lines, a, end) != 0) ++end;
      const bool crossing = darkAt(a, c - 1) && darkAt(a, end);
      if (!crossing) {
        for (int k = c; k < end; ++k) {
          (horizontal ? mask.at<uchar>(k, a) : mask.at<uchar>(a, k)) = 255;
        }
      }
      c = end;
    }
  }
}

}  // namespace

cv::Mat longLines(const cv::Mat& dark, float lineShare) {
  return linesAlong(dark, lineShare, true) | linesAlong(dark, lineShare, false);
}

cv::Mat withoutLongLines(const cv::Mat& mask, float lineShare) {
  const cv::Mat dark = mask < 128;
  cv::Mat out = mask.clone();
  for (bool horizontal : {true, false}) {
    const cv::Mat lines = linesAlong(dark, lineShare, horizontal);
    if (cv::countNonZero(lines) > 0) lighten(out, lines, horizontal);
  }
  return out;
}

}  // namespace stemscan
