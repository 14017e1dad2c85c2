#include "tracker/corner_strength.h"

#include <cmath>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace stemscan {
namespace {

// The pixel a block reads for index i of a row or column of n: mirrored about the first and
// the last, the library's default border.
int mirrored(int i, int n) { return cv::borderInterpolate(i, n, cv::BORDER_DEFAULT); }

// One image row's gradient products (xx, xy and yy), each summed across its pixel's three
// columns from left to right in double precision, into sums[c * width + x]. The products are
// worked out where they are summed (a pixel's three times over), not stored and read back.
void rowSums(const float* dx, const float* dy, int width, double* sums) {
  double* xx = sums;
  double* xy = sums + width;
  double* yy = sums + 2 * static_cast<std::size_t>(width);
  auto sumAt = [&](int x) {
    const int l = mirrored(x - 1, width);
    const int r = mirrored(x + 1, width);
    xx[x] = static_cast<double>(dx[l] * dx[l]) + static_cast<double>(dx[x] * dx[x]) +
            static_cast<double>(dx[r] * dx[r]);
    xy[x] = static_cast<double>(dx[l] * dy[l]) + static_cast<double>(dx[x] * dy[x]) +
            static_cast<double>(dx[r] * dy[r]);
    yy[x] = static_cast<double>(dy[l] * dy[l]) + static_cast<double>(dy[x] * dy[x]) +
            static_cast<double>(dy[r] * dy[r]);
  };
  sumAt(0);
  int x = 1;
#if CV_SIMD128_64F
  // Left to right in double precision, two lanes at a time.
  auto store = [](double* out, const cv::v_float32x4& l, const cv::v_float32x4& c,
                  const cv::v_float32x4& r) {
    cv::v_store(out, cv::v_cvt_f64(l) + cv::v_cvt_f64(c) + cv::v_cvt_f64(r));
    cv::v_store(out + 2, cv::v_cvt_f64_high(l) + cv::v_cvt_f64_high(c) + cv::v_cvt_f64_high(r));
  };
  for (; x + 5 <= width; x += 4) {
    const cv::v_float32x4 xl = cv::v_load(dx + x - 1), xc = cv::v_load(dx + x),
                          xr = cv::v_load(dx + x + 1);
    const cv::v_float32x4 yl = cv::v_load(dy + x - 1), yc = cv::v_load(dy + x),
                          yr = cv::v_load(dy + x + 1);
    store(xx + x, xl * xl, xc * xc, xr * xr);
    store(xy + x, xl * yl, xc * yc, xr * yr);
    store(yy + x, yl * yl, yc * yc, yr * yr);
  }
#endif
  for (; x < width; ++x) sumAt(x);
}

// The smaller eigenvalue from the block sums, as the library takes it.
inline float minEigenvalue(float xx, float xy, float yy) {
  const float a = xx * 0.5f;
  const float c = yy * 0.5f;
  return (a + c) - std::sqrt((a - c) * (a - c) + xy * xy);
}

}  // namespace

// The library sums the products over each block in double precision: across three columns
// from left to right, then down each column as a running sum that adds the row below and
// drops the row above (the row sums do not cancel exactly, and what is left over carries on
// down the column). The same additions in the same order give its block sums to the bit; the
// eigenvalue is then taken with the same single-precision operations.
void minEigenStrength(const cv::Mat& image, cv::Mat& strength) {
  CV_Assert(image.type() == CV_8UC1);
  const double scale = 1.0 / (4.0 * 3.0 * 255.0);  // the library's gradient scale for 8 bits
  cv::Mat dx, dy;
  cv::Sobel(image, dx, CV_32F, 1, 0, 3, scale, 0, cv::BORDER_DEFAULT);
  cv::Sobel(image, dy, CV_32F, 0, 1, 3, scale, 0, cv::BORDER_DEFAULT);
  const int width = image.cols;
  const int height = image.rows;
  strength.create(image.size(), CV_32F);
  if (image.empty()) return;

  const std::size_t cells = 3 * static_cast<std::size_t>(width);
  // The row sums of three consecutive rows in a ring (row r in slot (r + 3) % 3), and the
  // running column sums.
  std::vector<double> ring(3 * cells);
  std::vector<double> running(cells, 0.0);
  auto slot = [&](int r) { return &ring[cells * static_cast<std::size_t>((r + 3) % 3)]; };
  auto sumRow = [&](int r) {
    const int from = mirrored(r, height);
    rowSums(dx.ptr<float>(from), dy.ptr<float>(from), width, slot(r));
  };
  for (int r = -1; r <= 0; ++r) {
    sumRow(r);
    const double* added = slot(r);
    for (std::size_t i = 0; i < cells; ++i) running[i] += added[i];
  }
  for (int y = 0; y < height; ++y) {
    sumRow(y + 1);
    const double* added = slot(y + 1);
    const double* dropped = slot(y - 1);
    double* sum = running.data();
    float* out = strength.ptr<float>(y);
    int x = 0;
#if CV_SIMD128_64F
    // Two pixels' sums of one product at a time: the block sums, then the column sums moved on.
    auto block = [&](std::size_t i) {
      const cv::v_float64x2 low = cv::v_load(sum + i) + cv::v_load(added + i);
      const cv::v_float64x2 high = cv::v_load(sum + i + 2) + cv::v_load(added + i + 2);
      cv::v_store(sum + i, low - cv::v_load(dropped + i));
      cv::v_store(sum + i + 2, high - cv::v_load(dropped + i + 2));
      return cv::v_cvt_f32(low, high);
    };
    const cv::v_float32x4 half = cv::v_setall_f32(0.5f);
    for (; x + 4 <= width; x += 4) {
      const cv::v_float32x4 a = block(x) * half;
      const cv::v_float32x4 b = block(width + x);
      const cv::v_float32x4 c = block(2 * width + x) * half;
      const cv::v_float32x4 t = a - c;
      cv::v_store(out + x, (a + c) - cv::v_sqrt(t * t + b * b));
    }
#endif
    for (; x < width; ++x) {
      float blockSums[3];
      for (int c = 0; c < 3; ++c) {
        const std::size_t i = static_cast<std::size_t>(c) * width + x;
        const double total = sum[i] + added[i];
        blockSums[c] = static_cast<float>(total);
        sum[i] = total - dropped[i];
      }
      out[x] = minEigenvalue(blockSums[0], blockSums[1], blockSums[2]);
    }
  }
}

}  // namespace stemscan
