#include "refine/stem_loop.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>

#include "util/rect.h"

namespace stemscan {
namespace {

// The border of the largest hole in the tube's pixels `within` (light pixels that its dark ones
// enclose there) whose border encloses at least `minArea` square tube pixels, in image points;
// empty where there is none.
std::vector<Vec2> largestHole(const Tube& tube, const cv::Rect& within, float minArea) {
  const cv::Rect box = tube.darkBox() & within;
  if (box.empty()) return {};
  cv::Mat dark;
  cv::compare(tube.depthMap()(box), 0.0f, dark, cv::CMP_GT);
  std::vector<std::vector<cv::Point>> borders;
  std::vector<cv::Vec4i> hierarchy;
  cv::findContours(dark, borders, hierarchy, cv::RETR_CCOMP, cv::CHAIN_APPROX_NONE);
  int largest = -1;
  double largestArea = minArea;
  for (std::size_t k = 0; k < borders.size(); ++k) {
    if (hierarchy[k][3] < 0) continue;  // an outer border, not a hole's
    const double area = cv::contourArea(borders[k]);
    if (area >= largestArea) {
      largest = static_cast<int>(k);
      largestArea = area;
    }
  }
  std::vector<Vec2> hole;
  if (largest < 0) return hole;
  for (const cv::Point& p : borders[static_cast<std::size_t>(largest)]) {
    hole.push_back(tube.global(box.x + p.x, box.y + p.y));
  }
  return hole;
}

// The mean of points, at least one.
Vec2 meanOf(const std::vector<Vec2>& points) {
  Vec2 sum(0.0f, 0.0f);
  for (const Vec2& p : points) sum += p;
  return sum * (1.0f / static_cast<float>(points.size()));
}

// The distance from p to the nearest of the points (infinite where there are none).
float distanceTo(const std::vector<Vec2>& points, const Vec2& p) {
  float nearest = std::numeric_limits<float>::infinity();
  for (const Vec2& q : points) nearest = std::min(nearest, norm(p - q));
  return nearest;
}

// The tube pixels of the box round the points, `margin` image pixels wider each way.
cv::Rect tubeBoxAround(const Tube& tube, const std::vector<Vec2>& points, float margin) {
  std::vector<cv::Point> pixels;
  for (const Vec2& p : points) pixels.push_back(tube.local(p));
  const int grow = static_cast<int>(std::ceil(margin / static_cast<float>(tube.scale())));
  return grownWithin(cv::boundingRect(pixels), grow, cv::Rect(0, 0, tube.cols(), tube.rows()));
}

// The way round the other side of the tube's largest hole from `path`, from path[*from] below
// the hole on: the path's side is cut from the hole's border out through the path's point
// nearest the hole's middle, and the cheapest path looked for again. Empty where there is no such
// hole beside the path, or no other way round it.
std::vector<Vec2> otherWayRound(const Tube& tube, const std::vector<Vec2>& path, const Vec2& near,
                                int reach, float radius, std::size_t* from) {
  const float pixel = static_cast<float>(tube.scale());
  // A hole the path goes round lies within a few stem radii of it.
  const std::vector<Vec2> hole = largestHole(tube, tubeBoxAround(tube, path, 4.0f * radius),
                                             0.25f * radius * radius / (pixel * pixel));
  if (hole.empty()) return {};
  const Vec2 middle = meanOf(hole);
  std::size_t through = 0;
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (norm(path[i] - middle) < norm(path[through] - middle)) through = i;
  }
  Vec2 edge = hole.front();  // the hole's border point nearest the path there
  for (const Vec2& h : hole) {
    if (norm(path[through] - h) < norm(path[through] - edge)) edge = h;
  }
  if (norm(path[through] - edge) > 3.0f * radius) return {};  // the path does not go round it
  // The cut runs from the hole's border out across the path's side, in the direction from the
  // hole's middle through that point of the path, to the tube's edge.
  const Vec2 away = path[through] - middle;
  if (norm(away) < 1e-3f) return {};
  const Vec2 out = away * (pixel / norm(away));
  Vec2 end = path[through];
  while (tube.depth(end) > 0.0f) end += out;
  // From the path's point two stem radii below where it first comes that near the hole. Points
  // outside the hole's box grown by that and two tube pixels more are surely not as near.
  const cv::Rect nearHole = tubeBoxAround(tube, hole, 2.0f * radius + 2.0f * pixel);
  std::size_t& start = *from;
  start = 0;
  while (start < through && (!nearHole.contains(tube.local(path[start])) ||
                             distanceTo(hole, path[start]) > 2.0f * radius)) {
    ++start;
  }
  for (float walked = 0.0f; start > 0 && walked < 2.0f * radius; --start) {
    walked += norm(path[start] - path[start - 1]);
  }
  std::vector<Vec2> around(path.begin() + static_cast<long>(start), path.end());
  around.insert(around.end(), hole.begin(), hole.end());
  const float span = static_cast<float>(reach);
  around.push_back(near - Vec2(span, span));
  around.push_back(near + Vec2(span, span));
  const cv::Rect within = tubeBoxAround(tube, around, 2.0f * radius);
  return pathToFarEnd(tube.cutAlong(edge, end + out, 3), path[start], near, reach, within);
}

// The points of `a` further than `apart` from every point of `b`: a's own side of a loop.
std::vector<Vec2> sideOf(const std::vector<Vec2>& a, const std::vector<Vec2>& b, float apart) {
  std::vector<Vec2> side;
  for (const Vec2& p : a) {
    if (distanceTo(b, p) > apart) side.push_back(p);
  }
  return side;
}

// The mean grey level under the points; -1 where none lies in the image.
float meanGrey(const cv::Mat& grey, const std::vector<Vec2>& points) {
  double sum = 0.0;
  int count = 0;
  for (const Vec2& p : points) {
    const cv::Point q(cvRound(p.x), cvRound(p.y));
    if (q.x < 0 || q.y < 0 || q.x >= grey.cols || q.y >= grey.rows) continue;
    sum += grey.at<uchar>(q);
    ++count;
  }
  return count > 0 ? static_cast<float>(sum / count) : -1.0f;
}

}  // namespace

std::vector<Vec2> stemSideOfLoop(const Tube& tube, const cv::Mat& grey, std::vector<Vec2> path,
                                 const Vec2& near, int reach, float radius, float margin) {
  if (grey.empty() || path.size() < 2) return path;
  std::size_t from = 0;
  const std::vector<Vec2> other = otherWayRound(tube, path, near, reach, radius, &from);
  if (other.size() < 2) return path;
  const std::vector<Vec2> upper(path.begin() + static_cast<long>(from), path.end());
  const float apart = 0.5f * radius;
  const float own = meanGrey(grey, sideOf(upper, other, apart));
  const float theirs = meanGrey(grey, sideOf(other, upper, apart));
  if (own < 0.0f || theirs < 0.0f || theirs <= own + margin) return path;
  path.resize(from);
  path.insert(path.end(), other.begin(), other.end());
  return path;
}

}  // namespace stemscan
