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
constexpr Dist kLongest = 0x7fffffff >> 2;        // distances stop here (8192 pixels)
constexpr Dist kNone = 0x7fffffff - 4 * kAcross;  // above every distance, with room for two steps
constexpr int kMaxSide = 8000;
constexpr int kBorder = 2;  // a knight's move reaches two pixels out
constexpr int kChunk = 8;   // pixels whose darkness is checked at once

// The least distance to pixel j of a row by one step from the two rows `near` (next to it) and
// `far` (two away). The steps are the same from the rows above as from those below.
inline Dist stepFromRows(const Dist* near, const Dist* far, int j) {
  return std::min({std::min({far[j - 1], far[j + 1], near[j - 2], near[j + 2]}) + kKnight,
                   std::min(near[j - 1], near[j + 1]) + kDiagonal, near[j] + kAcross});
}

#if CV_SIMD128
// The same for pixels j to j + 3.
inline cv::v_int32x4 stepsFromRows(const Dist* near, const Dist* far, int j) {
  cv::v_int32x4 m = cv::v_min(cv::v_load(far + j - 1), cv::v_load(far + j + 1));
  m = cv::v_min(m, cv::v_min(cv::v_load(near + j - 2), cv::v_load(near + j + 2))) +
      cv::v_setall_s32(kKnight);
  m = cv::v_min(m, cv::v_min(cv::v_load(near + j - 1), cv::v_load(near + j + 1)) +
                       cv::v_setall_s32(kDiagonal));
  return cv::v_min(m, cv::v_load(near + j) + cv::v_setall_s32(kAcross));
}

// Along a row, the distance from one side is a running minimum: d[x] = min(s[x], d[x - 1] + 1),
// from the left. For four pixels at once, s in lanes 0 to 3 from the left: each lane takes the
// lane one before it, then the lane two before (a lane shifted in from outside counts as no
// way), and last the pixel before the four, `left`.
inline cv::v_int32x4 runningFromLeft(cv::v_int32x4 s, Dist left) {
  const cv::v_int32x4 none = cv::v_setall_s32(kNone);
  s = cv::v_min(s, cv::v_rotate_left<1>(s, none) + cv::v_setall_s32(kAcross));
  s = cv::v_min(s, cv::v_rotate_left<2>(s, none) + cv::v_setall_s32(2 * kAcross));
  return cv::v_min(
      s, cv::v_setall_s32(left) + cv::v_int32x4(kAcross, 2 * kAcross, 3 * kAcross, 4 * kAcross));
}

// The same from the right, with `right` the pixel after the four.
inline cv::v_int32x4 runningFromRight(cv::v_int32x4 s, Dist right) {
  const cv::v_int32x4 none = cv::v_setall_s32(kNone);
  s = cv::v_min(s, cv::v_rotate_right<1>(s, none) + cv::v_setall_s32(kAcross));
  s = cv::v_min(s, cv::v_rotate_right<2>(s, none) + cv::v_setall_s32(2 * kAcross));
  return cv::v_min(
      s, cv::v_setall_s32(right) + cv::v_int32x4(4 * kAcross, 3 * kAcross, 2 * kAcross, kAcross));
}
#endif

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
  // Every pixel of `depth` is written on the way up: light runs as 0, the rest as distances.
  depth.create(dark.size(), CV_32F);
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
  // Light pixels take 0 from every side, dark ones the least step from the rows done.
  auto ownStep = [](const uchar* isDark, const Dist* near, const Dist* far, int x) {
    return isDark[x] ? stepFromRows(near, far, x) : 0;
  };
#if CV_SIMD128
  const cv::v_int32x4 zero = cv::v_setzero_s32();
  // All ones in the lanes of dark pixels x to x + 3. The bytes are copied rather than loaded as
  // one int, as the library's own four-byte load does: a row's pixels need not be aligned.
  auto darkLanes = [&](const uchar* isDark, int x) {
    std::int32_t word;
    std::memcpy(&word, isDark + x, sizeof word);
    cv::v_uint16x8 low, high;
    cv::v_expand(cv::v_reinterpret_as_u8(cv::v_setall_s32(word)), low, high);
    cv::v_uint32x4 lanes, rest;
    cv::v_expand(low, lanes, rest);
    return cv::v_reinterpret_as_s32(lanes) != zero;
  };
  const cv::v_int32x4 longest = cv::v_setall_s32(kLongest);
  const cv::v_float32x4 toPixels = cv::v_setall_f32(1.0f / static_cast<float>(1 << kShift));
  constexpr int kLanes = 4;
#endif

  // Down the image, each dark pixel from its left and from the rows above.
  for (int y = 0; y < height; ++y) {
    const uchar* isDark = dark.ptr<uchar>(y);
    Dist* d = row(y);
    const Dist* near = row(y - 1);
    const Dist* far = row(y - 2);
    for (int x0 = 0; x0 < width; x0 += kChunk) {
      const int x1 = std::min(x0 + kChunk, width);
      if (allLight(isDark, x0, x1)) continue;
      int x = x0;
      Dist left = d[x0 - 1];
#if CV_SIMD128
      for (; x + kLanes <= x1; x += kLanes) {
        const cv::v_int32x4 v =
            runningFromLeft(stepsFromRows(near, far, x) & darkLanes(isDark, x), left);
        cv::v_store(d + x, v);
        left = cv::v_extract_n<3>(v);
      }
#endif
      for (; x < x1; ++x) {
        left = std::min(ownStep(isDark, near, far, x), left + kAcross);
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
    const Dist* near = row(y + 1);
    const Dist* far = row(y + 2);
    float* out = depth.ptr<float>(y);
    for (int x0 = lastChunk; x0 >= 0; x0 -= kChunk) {
      const int x1 = std::min(x0 + kChunk, width);
      if (allLight(isDark, x0, x1)) {
        std::fill(out + x0, out + x1, 0.0f);
        continue;
      }
      // The pixels past the last whole vector one by one, then the vectors.
#if CV_SIMD128
      const int whole = x0 + (x1 - x0) / kLanes * kLanes;
#else
      const int whole = x0;
#endif
      Dist right = d[x1];
      for (int x = x1 - 1; x >= whole; --x) {
        right = std::min({d[x], ownStep(isDark, near, far, x), right + kAcross});
        d[x] = right;
        out[x] = static_cast<float>(std::min(right, kLongest)) * scale;
      }
#if CV_SIMD128
      for (int x = whole - kLanes; x >= x0; x -= kLanes) {
        const cv::v_int32x4 v =
            runningFromRight(cv::v_min(cv::v_load(d + x), stepsFromRows(near, far, x)), right);
        cv::v_store(d + x, v);
        cv::v_store(out + x, cv::v_cvt_f32(cv::v_min(v, longest)) * toPixels);
        right = cv::v_extract_n<0>(v);
      }
#endif
    }
  }
}

}  // namespace stemscan
