#include "refine/chamfer_distance.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace stemscan {
namespace {

// Distances in fixed point, 16 bits of fraction, as the library keeps them. Signed, as the
// baseline vector instructions compare only signed 32-bit numbers: a pixel no light pixel
// reaches starts at kFar, and no value exceeds kFar plus a step per pixel of a row under
// kMaxSide wide, which stays below 2^31.
using Dist = std::int32_t;
constexpr int kShift = 16;
constexpr Dist kAcross = 1 << kShift;
constexpr Dist kDiagonal = 91750;  // 1.4 * 2^16, rounded
constexpr Dist kKnight = 143976;   // 2.1969 * 2^16, rounded
constexpr Dist kFar = 1 << 30;
constexpr Dist kLongest = 0x7fffffff >> 2;  // distances stop here (8192 pixels)
constexpr int kMaxSide = 8000;
constexpr int kBorder = 2;  // a knight's move reaches two pixels out
constexpr int kChunk = 8;   // pixels whose darkness is checked at once

// out[j] = the least distance to pixel j of a row by one step from the two rows `near` (next to
// it) and `far` (two away), for the pixels from `from` to `to`. The steps are the same from the
// rows above as from those below.
inline void stepsFromRows(const Dist* near, const Dist* far, int from, int to, Dist* out) {
  int j = from;
#if CV_SIMD128
  const cv::v_int32x4 across = cv::v_setall_s32(kAcross);
  const cv::v_int32x4 diagonal = cv::v_setall_s32(kDiagonal);
  const cv::v_int32x4 knight = cv::v_setall_s32(kKnight);
  for (; j + 4 <= to; j += 4) {
    cv::v_int32x4 m = cv::v_min(cv::v_load(far + j - 1), cv::v_load(far + j + 1));
    m = cv::v_min(m, cv::v_min(cv::v_load(near + j - 2), cv::v_load(near + j + 2))) + knight;
    m = cv::v_min(m, cv::v_min(cv::v_load(near + j - 1), cv::v_load(near + j + 1)) + diagonal);
    cv::v_store(out + j, cv::v_min(m, cv::v_load(near + j) + across));
  }
#endif
  for (; j < to; ++j) {
    out[j] = std::min({std::min({far[j - 1], far[j + 1], near[j - 2], near[j + 2]}) + kKnight,
                       std::min(near[j - 1], near[j + 1]) + kDiagonal, near[j] + kAcross});
  }
}

// Whether the pixels of `row` from `from` to `to` are all light.
bool allLight(const uchar* row, int from, int to) {
  if (to - from == kChunk) {
    std::uint64_t word;
    std::memcpy(&word, row + from, sizeof word);
    return word == 0;
  }
  return std::all_of(row + from, row + to, [](uchar v) { return v == 0; });
}

}  // namespace

void chamferDistance(const cv::Mat& dark, cv::Mat& depth) {
  CV_Assert(dark.type() == CV_8UC1);
  if (dark.cols >= kMaxSide) {
    cv::distanceTransform(dark, depth, cv::DIST_L2, cv::DIST_MASK_5);
    return;
  }
  depth.create(dark.size(), CV_32F);
  depth.setTo(0.0f);
  const int width = dark.cols;
  const int height = dark.rows;
  // Light pixels are 0 and stay so. Every row is framed by two far pixels each side, with two
  // far rows above and two below.
  const int stride = width + 2 * kBorder;
  std::vector<Dist> dist(static_cast<std::size_t>(stride) * (height + 2 * kBorder), 0);
  std::fill_n(dist.begin(), kBorder * stride, kFar);
  std::fill_n(dist.end() - kBorder * stride, kBorder * stride, kFar);
  auto row = [&](int y) {
    return dist.data() + static_cast<std::size_t>(y + kBorder) * stride + kBorder;
  };
  for (int y = 0; y < height; ++y) {
    std::fill_n(row(y) - kBorder, kBorder, kFar);
    std::fill_n(row(y) + width, kBorder, kFar);
  }
  std::vector<Dist> steps(static_cast<std::size_t>(width));

  // Down the image, each dark pixel from its left and from the rows above.
  for (int y = 0; y < height; ++y) {
    const uchar* isDark = dark.ptr<uchar>(y);
    Dist* d = row(y);
    for (int x0 = 0; x0 < width; x0 += kChunk) {
      const int x1 = std::min(x0 + kChunk, width);
      if (allLight(isDark, x0, x1)) continue;
      stepsFromRows(row(y - 1), row(y - 2), x0, x1, steps.data());
      Dist left = d[x0 - 1];
      for (int x = x0; x < x1; ++x) {
        left = isDark[x] ? std::min(steps[x], left + kAcross) : 0;
        d[x] = left;
      }
    }
  }
  // Up the image, each dark pixel also from its right and from the rows below.
  const float scale = 1.0f / static_cast<float>(1 << kShift);
  const int lastChunk = (width - 1) / kChunk * kChunk;
  for (int y = height - 1; y >= 0; --y) {
    const uchar* isDark = dark.ptr<uchar>(y);
    Dist* d = row(y);
    float* out = depth.ptr<float>(y);
    for (int x0 = lastChunk; x0 >= 0; x0 -= kChunk) {
      const int x1 = std::min(x0 + kChunk, width);
      if (allLight(isDark, x0, x1)) continue;
      stepsFromRows(row(y + 1), row(y + 2), x0, x1, steps.data());
      Dist right = d[x1];
      for (int x = x1 - 1; x >= x0; --x) {
        right = std::min({d[x], steps[x], right + kAcross});
        d[x] = right;
        out[x] = static_cast<float>(std::min(right, kLongest)) * scale;
      }
    }
  }
}

}  // namespace stemscan
