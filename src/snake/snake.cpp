#include "snake/snake.h"

#include <algorithm>
#include <climits>
#include <iostream>

namespace stemscan {

Snake::Snake(int halfWindow) { setHalfWindow(halfWindow); }

void Snake::setHalfWindow(int w) {
  halfWindow = w;
  windowSize = 2 * w + 1;
  // Fresh matrices: a copied Snake must not share its scratch space with the original.
  Eint = cv::Mat(windowSize, windowSize, CV_32FC1);
  Eext = cv::Mat(windowSize, windowSize, CV_32FC1);
  Etot = cv::Mat(windowSize, windowSize, CV_32FC1);
}

void Snake::activateWithCount(int n) {
  active = true;
  count = std::clamp(n, 0, kMaxPoints);
}

Vec2 Snake::point(int i) const {
  if (i == 0) return points[0];
  if (i < 0 || i >= count) {
    std::cerr << "out of bound" << std::endl;
    return Vec2();
  }
  return points[i];
}

void Snake::setPoint(int i, const Vec2& p) {
  if (i >= 0 && i < count) points[i] = p;
}

void Snake::setLastPoint(const Vec2& p) {
  if (count > 0) points[count - 1] = p;
}

int Snake::append(const Vec2& p) {
  if (count >= kMaxPoints) return 0;
  points[count++] = p;
  return count;
}

int Snake::grow(int n) {
  if (count == 0) return 0;
  for (int k = 0; k < n && count < kMaxPoints; ++k) append(lastPoint());
  return count;
}

int Snake::shrink(int n) {
  count = std::max(count - n, std::min(count, 2));
  return count;
}

void Snake::pinBase(int y) {
  const float line = static_cast<float>(y);
  int kept = count;
  while (kept > 0 && points[kept - 1].y > line) --kept;
  // A line above the whole contour would cut it away: leave the contour as it is.
  if (kept == 0) return;
  count = kept;
  points[count - 1].y = line;
  baseTracker.pos = points[count - 1];
}

void Snake::translate(const Vec2& v) {
  for (int i = 0; i < count; ++i) points[i] += v;
  topTracker.pos += v;
  baseTracker.pos += v;
}

void Snake::spreadEvenly() {
  if (count < 3) return;
  const Contour line = contour();
  if (!(line.length() > 0.0f)) return;
  // The ends stay exactly where they are.
  const std::vector<Vec2> spread = line.resampled(count);
  for (int i = 1; i < count - 1; ++i) points[i] = spread[static_cast<std::size_t>(i)];
}

void Snake::clampInto(int width, int height) {
  const float right = static_cast<float>(std::max(0, width - 1));
  const float bottom = static_cast<float>(std::max(0, height - 1));
  for (int i = 0; i < count; ++i) {
    points[i].x = std::min(std::max(points[i].x, 0.0f), right);
    points[i].y = std::min(std::max(points[i].y, 0.0f), bottom);
  }
}

int Snake::closestPoint(const Vec2& p, int* squaredDistance) const {
  int best = 0;
  float bestDistance = 0.0f;
  for (int i = 0; i < count; ++i) {
    const float d = squaredNorm(points[i] - p);
    if (i == 0 || d <= bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  if (squaredDistance != nullptr) {
    // A point far off the image can be further than an int holds.
    constexpr float kIntLimit = 2147483520.0f;  // the largest float below 2^31
    *squaredDistance = bestDistance < kIntLimit ? static_cast<int>(bestDistance) : INT_MAX;
  }
  return best;
}

std::ostream& operator<<(std::ostream& os, const Snake& snake) {
  os << snake.count << " ";
  for (int i = 0; i < snake.count; ++i) os << snake.points[i] << " ";
  return os;
}

}  // namespace stemscan
