#include "tracker/corner_map.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <opencv2/imgproc.hpp>

#include "tracker/corner_strength.h"
#include "util/rect.h"

namespace stemscan {
namespace {

constexpr int kTile = 16;  // pixels on a side of the tiles tested for edges

// True when every pixel of the 8-bit image has the same value (compared eight at a time).
bool uniform(const cv::Mat& image) {
  const uchar first = image.at<uchar>(0, 0);
  const std::uint64_t eight = first * 0x0101010101010101ull;
  for (int y = 0; y < image.rows; ++y) {
    const uchar* row = image.ptr<uchar>(y);
    int x = 0;
    for (; x + 8 <= image.cols; x += 8) {
      std::uint64_t word;
      std::memcpy(&word, row + x, sizeof word);
      if (word != eight) return false;
    }
    for (; x < image.cols; ++x) {
      if (row[x] != first) return false;
    }
  }
  return true;
}

// True when the eight cells from `cells` on are all +0.0 (every bit zero).
bool allZero(const float* cells) {
  std::uint64_t words[4];
  std::memcpy(words, cells, sizeof words);
  return (words[0] | words[1] | words[2] | words[3]) == 0;
}

// cv::cornerMinEigenVal(image, strength, 3, 3), computed only around the tiles whose
// neighbourhood is not uniform: elsewhere every gradient, and so the strength, is exactly
// zero. The part computed has a pixel of the image around it (the block sums' context) and,
// like the whole, reads the image's parent beyond the view for its gradients: the map is bit
// for bit the same.
// Returns the part of the map that may be non-zero (`busy`). Only that part and a pixel around
// it, which is zero, are filled in: nothing further out is ever read.
cv::Rect minEigenValues(const cv::Mat& image, cv::Mat* map) {
  cv::Mat& strength = *map;
  if (image.type() != CV_8UC1) {  // not a thresholded image: the whole map
    cv::cornerMinEigenVal(image, strength, 3, 3);
    return cv::Rect(0, 0, image.cols, image.rows);
  }
  strength.create(image.size(), CV_32F);
  cv::Size whole;
  cv::Point offset;
  image.locateROI(whole, offset);
  cv::Mat parent = image;  // the whole image the view lies in
  parent.adjustROI(offset.y, whole.height - image.rows - offset.y, offset.x,
                   whole.width - image.cols - offset.x);
  const cv::Rect inParent(0, 0, whole.width, whole.height);
  const cv::Rect all(0, 0, image.cols, image.rows);
  cv::Rect busy;
  for (int y = 0; y < image.rows; y += kTile) {
    for (int x = 0; x < image.cols; x += kTile) {
      const cv::Rect tile = cv::Rect(x, y, kTile, kTile) & all;
      // Gradients reach a pixel out, block sums one more.
      const cv::Rect seen = grownWithin(tile + offset, 2, inParent);
      if (!uniform(parent(seen))) busy = busy.empty() ? tile : (busy | tile);
    }
  }
  if (busy.empty()) return busy;
  const cv::Rect grown = grownWithin(busy, 1, all);
  strength(grown).setTo(0);
  cv::Mat part;
  minEigenStrength(image(grown), part);
  part(busy - grown.tl()).copyTo(strength(busy));
  return busy;
}

}  // namespace

CornerMap::CornerMap(const cv::Mat& image) {
  const cv::Rect busy = minEigenValues(image, &strength_);
  if (busy.empty()) return;
  // Local maxima as the detector finds them on the map cut at any level: a pixel above the
  // level that equals the largest value around it (the outer ring never counts).
  const int top = std::max(busy.y, 1);
  const int bottom = std::min(busy.y + busy.height, strength_.rows - 1);
  const int left = std::max(busy.x, 1);
  const int right = std::min(busy.x + busy.width, strength_.cols - 1);
  for (int y = top; y < bottom; ++y) {
    const float* above = strength_.ptr<float>(y - 1);
    const float* row = strength_.ptr<float>(y);
    const float* below = strength_.ptr<float>(y + 1);
    for (int x = left; x < right; ++x) {
      // Most of the map is exactly zero: it is passed over eight cells at a time.
      while (x + 8 <= right && allZero(row + x)) x += 8;
      if (x >= right) break;
      const float v = row[x];
      if (!(v > 0.0f)) continue;
      if (v < row[x - 1] || v < row[x + 1] || v < above[x - 1] || v < above[x] ||
          v < above[x + 1] || v < below[x - 1] || v < below[x] || v < below[x + 1]) {
        continue;
      }
      peaks_.push_back(row + x);
    }
  }
  std::sort(peaks_.begin(), peaks_.end(), [](const float* a, const float* b) {
    return (*a > *b) ? true : (*a < *b) ? false : (a > b);
  });
  // The strongest value: off the map's outer ring it is the first peak (where none is above
  // zero, no corner is found at any level); the ring, where no peak lies, is searched apart.
  strongest_ = peaks_.empty() ? 0.0 : *peaks_.front();
  const int cols = strength_.cols;
  const int rows = strength_.rows;
  for (const cv::Rect& side : {cv::Rect(0, 0, cols, 1), cv::Rect(0, rows - 1, cols, 1),
                               cv::Rect(0, 0, 1, rows), cv::Rect(cols - 1, 0, 1, rows)}) {
    const cv::Rect part = side & busy;
    if (part.empty()) continue;
    double most = 0.0;
    cv::minMaxLoc(strength_(part), nullptr, &most);
    strongest_ = std::max(strongest_, most);
  }
}

std::vector<cv::Point2f> CornerMap::detect(int maxCorners, double quality,
                                           double minDistance) const {
  // The detector cuts the map at the level in single precision.
  const float level = static_cast<float>(strongest_ * quality);
  std::vector<cv::Point2f> corners;
  const int cell = cvRound(minDistance);
  const int gridWidth = (strength_.cols + cell - 1) / cell;
  const int gridHeight = (strength_.rows + cell - 1) / cell;
  // The corners taken so far, by grid cell: the first of each cell's list, and after each
  // corner the next of its cell (-1 ends a list).
  std::vector<int> first(static_cast<std::size_t>(gridWidth) * gridHeight, -1);
  std::vector<int> next;
  const double minSquared = minDistance * minDistance;
  for (const float* candidate : peaks_) {
    if (!(*candidate > level)) break;
    const int offset = static_cast<int>(reinterpret_cast<const uchar*>(candidate) - strength_.data);
    const int y = static_cast<int>(offset / strength_.step);
    const int x = static_cast<int>((offset - y * strength_.step) / sizeof(float));
    const int cx = x / cell;
    const int cy = y / cell;
    bool good = true;
    for (int yy = std::max(cy - 1, 0); yy <= std::min(cy + 1, gridHeight - 1) && good; ++yy) {
      for (int xx = std::max(cx - 1, 0); xx <= std::min(cx + 1, gridWidth - 1) && good; ++xx) {
        for (int k = first[static_cast<std::size_t>(yy) * gridWidth + xx]; k >= 0; k = next[k]) {
          const float dx = x - corners[k].x;
          const float dy = y - corners[k].y;
          if (dx * dx + dy * dy < minSquared) {
            good = false;
            break;
          }
        }
      }
    }
    if (!good) continue;
    int& head = first[static_cast<std::size_t>(cy) * gridWidth + cx];
    next.push_back(head);
    head = static_cast<int>(corners.size());
    corners.emplace_back(static_cast<float>(x), static_cast<float>(y));
    if (maxCorners > 0 && static_cast<int>(corners.size()) == maxCorners) break;
  }
  return corners;
}

}  // namespace stemscan
