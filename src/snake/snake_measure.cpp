// Measurements along the contour and its overlays.
#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "snake/snake.h"

namespace stemscan {
namespace {

// The corner of the region an image views inside its parent (0, 0 for a whole image).
Vec2 regionCorner(const cv::Mat& image) {
  cv::Size whole;
  cv::Point offset;
  image.locateROI(whole, offset);
  return Vec2(offset.x, offset.y);
}

}  // namespace

float Snake::length() const {
  float total = 0.0f;
  for (int i = 1; i < count; ++i) total += norm(points[i] - points[i - 1]);
  return total;
}

bool Snake::pointAtArcLength(float arcLength, Vec2* q, int* segmentsPassed) const {
  if (count < 2) return false;
  if (!(arcLength > 0.0f)) {
    // Nothing of the contour lies within L: the first segment gives the direction.
    *q = points[1];
    *segmentsPassed = 0;
    return true;
  }
  float remaining = arcLength;
  float seg = 0.0f;
  int i = 0;
  while (remaining > 0.0f) {
    if (i == count - 1) {
      // L runs past the base: clamp it to the contour.
      *q = points[count - 1];
      *segmentsPassed = count - 1;
      return true;
    }
    seg = norm(points[i] - points[i + 1]);
    remaining -= seg;
    ++i;
  }
  const float t = (remaining + seg) / seg;
  *q = points[i - 1] + (points[i] - points[i - 1]) * t;
  *segmentsPassed = i - 1;
  return true;
}

float Snake::orientation(float arcLength) const {
  Vec2 q;
  int passed = 0;
  if (!pointAtArcLength(arcLength, &q, &passed)) return 1000.0f;
  const Vec2 d = q - points[0];
  return atan2F(d.x, d.y) * 180.0f / kPiF;
}

int Snake::maxX() const {
  int best = 0;
  for (int i = 0; i < count; ++i) best = std::max(best, static_cast<int>(points[i].x));
  return best;
}

int Snake::maxY() const {
  int best = 0;
  for (int i = 0; i < count; ++i) best = std::max(best, static_cast<int>(points[i].y));
  return best;
}

int Snake::minX() const {
  int best = static_cast<int>(points[0].x);
  for (int i = 0; i < count; ++i) best = std::min(best, static_cast<int>(points[i].x));
  return best;
}

int Snake::minY() const {
  int best = static_cast<int>(points[0].y);
  for (int i = 0; i < count; ++i) best = std::min(best, static_cast<int>(points[i].y));
  return best;
}

void Snake::draw(cv::Mat& image, const cv::Scalar& colour) const {
  // One polyline sets the same pixels as a line per segment, with one round join per point
  // instead of two.
  if (count < 2) return;
  const Vec2 corner = regionCorner(image);
  std::vector<cv::Point> line;
  line.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) line.push_back(toPoint(points[i] - corner));
  cv::polylines(image, line, false, colour, 3, cv::LINE_8, 0);
}

void Snake::drawUpTo(cv::Mat& image, float arcLength, const cv::Scalar& colour) const {
  Vec2 q;
  int passed = 0;
  if (!(arcLength > 0.0f) || !pointAtArcLength(arcLength, &q, &passed)) return;
  const Vec2 corner = regionCorner(image);
  for (int i = 1; i <= passed; ++i) {
    cv::line(image, toPoint(points[i - 1] - corner), toPoint(points[i] - corner), colour, 2,
             cv::LINE_8, 0);
  }
  if (passed < count - 1) {
    cv::line(image, toPoint(points[passed] - corner), toPoint(q - corner), colour, 2, cv::LINE_8,
             0);
  }
}

void Snake::drawTrackers(cv::Mat& image, int dx, int dy) const {
  Vec2 corner = regionCorner(image);
  if (corner == Vec2()) corner = Vec2(dx, dy);
  cv::circle(image, toPoint(topTracker.pos - corner), 2, cv::Scalar(0, 255, 0), 1, cv::LINE_8, 0);
  cv::circle(image, toPoint(baseTracker.pos - corner), 2, cv::Scalar(255, 0, 0), 1, cv::LINE_8, 0);
}

}  // namespace stemscan
