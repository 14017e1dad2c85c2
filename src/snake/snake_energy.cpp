// Greedy optimisation: every point in turn looks at the candidate positions of a square
// window around itself, scores each with a shape energy and an image energy, and jumps to the
// cheapest. The image energy is the grey value under each candidate divided by the window's
// maximum, so points are drawn to dark pixels.
#include <algorithm>
#include <limits>
#include <numeric>
#include <opencv2/core.hpp>
#include <opencv2/core/hal/hal.hpp>
#include <vector>

#include "snake/snake.h"

namespace stemscan {
namespace {

// Location of the first minimum in row-major order (the smallest row, then the smallest
// column); cells that are not a number or infinite never win. (-1, -1) when none qualifies.
cv::Point firstMinimum(const cv::Mat& m) {
  cv::Point best(-1, -1);
  float bestValue = std::numeric_limits<float>::max();
  for (int r = 0; r < m.rows; ++r) {
    const float* row = m.ptr<float>(r);
    for (int c = 0; c < m.cols; ++c) {
      if (row[c] < bestValue) {
        bestValue = row[c];
        best = cv::Point(c, r);
      }
    }
  }
  return best;
}

// A random order of 0 ... n-1, drawn from a pool as the classic formula does.
std::vector<int> randomPermutation(int n, RandomSource& random) {
  random.reseedFromClock();
  std::vector<int> pool(n);
  std::iota(pool.begin(), pool.end(), 0);
  std::vector<int> order(n);
  int remaining = n;
  for (int slot = 0; slot < n; ++slot) {
    const unsigned first = static_cast<unsigned>(random.next());
    const unsigned r = first * 128u + static_cast<unsigned>(random.next());
    const int k = static_cast<int>(r % static_cast<unsigned>(remaining));
    order[slot] = pool[k];
    pool[k] = pool[remaining - 1];
    --remaining;
  }
  return order;
}

// Copies the 8-bit image's `region` into the float cells of `window` from cell `at` on; returns
// the region's largest value.
uchar copyWindow(const cv::Mat& image, const cv::Rect& region, cv::Mat& window, cv::Point at) {
  uchar maximum = 0;
  for (int r = 0; r < region.height; ++r) {
    const uchar* from = image.ptr<uchar>(region.y + r) + region.x;
    float* to = window.ptr<float>(at.y + r) + at.x;
    for (int c = 0; c < region.width; ++c) {
      to[c] = from[c];
      maximum = std::max(maximum, from[c]);
    }
  }
  return maximum;
}

}  // namespace

void Snake::internalEnergy(int i) {
  const int w = halfWindow;
  const Vec2 p = points[i];
  if (i > 0 && i < count - 1) {
    // Interior point: pulled towards the midpoint of its neighbours.
    const Vec2 prev = points[i - 1];
    const Vec2 next = points[i + 1];
    const Vec2 middle = (prev + next) * 0.5f;
    const float d0 = norm((prev - next) * 0.5f);
    for (int r = 0; r < windowSize; ++r) {
      float* row = Eint.ptr<float>(r);
      for (int c = 0; c < windowSize; ++c) {
        const Vec2 candidate(p.x - w + c, p.y - w + r);
        const float d = norm(middle - candidate);
        row[c] = 2.0f * d / (d0 + d);
      }
    }
    return;
  }
  // The base slides only sideways, a hair more willingly towards its neighbour's column.
  Eint.setTo(1000.0f);
  const float side = points[i - 1].x - p.x;
  const int dir = side > 0.0f ? 1 : (side < 0.0f ? -1 : 0);
  float* row = Eint.ptr<float>(w);
  for (int c = 0; c < windowSize; ++c) {
    if ((w - c) * dir > 0) {
      row[c] = 1.0f;
    } else {
      row[c] = c == w ? 0.5f : 0.5f - 0.01f;
    }
  }
}

bool Snake::externalEnergy(int i, const cv::Mat& image) {
  const int w = halfWindow;
  const int N = windowSize;
  const float x = points[i].x;
  const float y = points[i].y;
  const int W = image.cols;
  const int H = image.rows;
  uchar maximum = 0;
  if (x >= w && y >= w && x + w < W && y + w < H) {
    maximum = copyWindow(image, cv::Rect(static_cast<int>(x - w), static_cast<int>(y - w), N, N),
                         Eext, cv::Point(0, 0));
  } else {
    // The window crosses the image border: outside cells cost 1000 before normalisation.
    const int left = x < w ? static_cast<int>(w - x) : 0;
    const int top = y < w ? static_cast<int>(w - y) : 0;
    int cols = w < W - x ? N - left : static_cast<int>(w + W - x);
    int rows = w < H - y ? N - top : static_cast<int>(w + H - y);
    const int x0 = static_cast<int>(x - w + left);
    const int y0 = static_cast<int>(y - w + top);
    cols = std::min({cols, N - left, W - x0});
    rows = std::min({rows, N - top, H - y0});
    Eext.setTo(1000.0f);
    if (left >= N || top >= N || cols <= 0 || rows <= 0 || x0 < 0 || y0 < 0) return false;
    maximum = copyWindow(image, cv::Rect(x0, y0, cols, rows), Eext, cv::Point(left, top));
  }
  // A window of black pixels has maximum 0: normalised, every cell would be NaN or infinite
  // and no candidate could win, so the point stays.
  if (maximum == 0) return false;
  // Each cell times the single-precision reciprocal of the maximum, rounded once, as
  // cv::Mat::convertTo scales single-precision cells.
  const float scale = static_cast<float>(1.0 / maximum);
  for (int r = 0; r < N; ++r) {
    float* row = Eext.ptr<float>(r);
    for (int c = 0; c < N; ++c) row[c] *= scale;
  }
  return true;
}

void Snake::greedyStep(int i, const cv::Mat& image) {
  internalEnergy(i);
  if (!externalEnergy(i, image)) return;
  // Eext + internalWeight * Eint: the arithmetic of cv::addWeighted, which sees these
  // continuous windows as one row of cells, called without its per-call dispatch.
  double weights[] = {1.0, internalWeight, 0.0};
  cv::hal::addWeighted32f(Eext.ptr<float>(), Eext.step, Eint.ptr<float>(), Eint.step,
                          Etot.ptr<float>(), Etot.step, windowSize * windowSize, 1, weights);
  cv::Point best = firstMinimum(Etot);
  if (best.x < 0 || best.y < 0) best = cv::Point(halfWindow, halfWindow);
  points[i] += Vec2(best.x - halfWindow, best.y - halfWindow);
}

void Snake::optimise(const cv::Mat& image, int passes, int mode, RandomSource& random) {
  if (image.empty() || image.type() != CV_8UC1) return;
  optimiseInOrders(image, visitingOrders(passes, mode, random));
}

std::vector<std::vector<int>> Snake::visitingOrders(int passes, int mode,
                                                    RandomSource& random) const {
  const int n = mode > 0 ? count - 1 : count - 2;
  std::vector<std::vector<int>> orders;
  if (n <= 0) return orders;
  for (int pass = 0; pass < passes; ++pass) {
    orders.push_back(randomPermutation(n, random));
    for (int& i : orders.back()) ++i;  // the top is never moved
  }
  return orders;
}

void Snake::optimiseInOrders(const cv::Mat& image, const std::vector<std::vector<int>>& orders) {
  if (image.empty() || image.type() != CV_8UC1) return;
  for (const std::vector<int>& order : orders) {
    for (int i : order) greedyStep(i, image);
  }
}

}  // namespace stemscan
