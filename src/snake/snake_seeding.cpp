// The two seedings: random points around a grid cell's centre at start-up, and a narrow
// zig-zag hanging down from a clicked top for a newly selected hypocotyl.
#include <algorithm>

#include "snake/snake.h"

namespace stemscan {

void Snake::scatter(int cx, int cy, int n, int size, RandomSource& random) {
  count = std::clamp(n, 0, kMaxPoints);
  const double scale = static_cast<double>(size) / (RandomSource::kMax + 1);
  for (int i = 0; i < count; ++i) {
    const double y = cy + random.next() * scale - size / 2.0;
    const double x = cx + random.next() * scale - size / 2.0;
    points[i] = rounded(Vec2(x, y));
  }
}

void Snake::seedFromClick(const cv::Mat& image, float angle, float length, RandomSource& random) {
  if (count < 2) return;
  const float theta = (angle / 2.0f) * kPiF / 180.0f;
  const float step = length / static_cast<float>(count);
  const float W = static_cast<float>(image.cols);
  const float H = static_cast<float>(image.rows);
  for (int i = 1; i < count; ++i) {
    const float s = (i % 2 == 1) ? 1.0f : -1.0f;
    const Vec2 direction(s * sinF(theta), cosF(theta));
    Vec2 p = points[0] + direction * static_cast<float>(i) * step;
    p.x = std::clamp(p.x, 0.0f, W);
    p.y = std::clamp(p.y, 0.0f, H);
    points[i] = p;
  }
  optimise(image, 10, 1, random);
}

}  // namespace stemscan
