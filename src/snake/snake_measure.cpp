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

Contour Snake::contour() const {
  return Contour(std::vector<Vec2>(points.begin(), points.begin() + count));
}

float Snake::length() const { return contour().length(); }

float Snake::orientation(float arcLength) const { return contour().orientation(arcLength); }

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
  if (!(arcLength > 0.0f) || count < 2) return;
  const std::vector<Vec2> stretch = contour().upTo(arcLength);
  const Vec2 corner = regionCorner(image);
  for (std::size_t i = 1; i < stretch.size(); ++i) {
    cv::line(image, toPoint(stretch[i - 1] - corner), toPoint(stretch[i] - corner), colour, 2,
             cv::LINE_8, 0);
  }
}

void Snake::drawTrackers(cv::Mat& image, int dx, int dy) const {
  Vec2 corner = regionCorner(image);
  if (corner == Vec2()) corner = Vec2(dx, dy);
  cv::circle(image, toPoint(topTracker.pos - corner), 2, cv::Scalar(0, 255, 0), 1, cv::LINE_8, 0);
  cv::circle(image, toPoint(baseTracker.pos - corner), 2, cv::Scalar(255, 0, 0), 1, cv::LINE_8, 0);
}

}  // namespace stemscan
