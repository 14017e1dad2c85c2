#include "refine/stem_refiner.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <opencv2/imgproc.hpp>
#include <queue>
#include <vector>

namespace stemscan {
namespace {

float lengthOf(const std::vector<Vec2>& line) {
  float total = 0.0f;
  for (std::size_t i = 1; i < line.size(); ++i) total += norm(line[i] - line[i - 1]);
  return total;
}

// The point at arc length `at` from the start of the polyline (clamped to it).
Vec2 along(const std::vector<Vec2>& line, float at) {
  for (std::size_t i = 1; i < line.size(); ++i) {
    const float piece = norm(line[i] - line[i - 1]);
    if (at <= piece && piece > 0.0f) return line[i - 1] + (line[i] - line[i - 1]) * (at / piece);
    at -= piece;
  }
  return line.back();
}

// The dark pixels of a region and their distance to the nearest light pixel.
class Tube {
 public:
  Tube(const cv::Mat& mask, const cv::Rect& region) : corner_(region.tl()) {
    cv::Mat dark;
    cv::compare(mask(region), 128, dark, cv::CMP_LT);
    cv::distanceTransform(dark, depth_, cv::DIST_L2, cv::DIST_MASK_5);
  }
  int cols() const { return depth_.cols; }
  int rows() const { return depth_.rows; }
  float depth(int x, int y) const {
    return x < 0 || y < 0 || x >= depth_.cols || y >= depth_.rows ? 0.0f : depth_.at<float>(y, x);
  }
  float depth(const Vec2& p) const {
    return depth(static_cast<int>(std::lround(p.x)) - corner_.x,
                 static_cast<int>(std::lround(p.y)) - corner_.y);
  }
  cv::Point local(const Vec2& p) const {
    return cv::Point(static_cast<int>(std::lround(p.x)) - corner_.x,
                     static_cast<int>(std::lround(p.y)) - corner_.y);
  }
  Vec2 global(int x, int y) const { return Vec2(x + corner_.x, y + corner_.y); }

 private:
  cv::Point corner_;
  cv::Mat depth_;
};

// The deepest pixel of the dark run through (or nearest to) p along the row, within reach.
bool centreOnRow(const Tube& tube, const Vec2& p, float reach, Vec2* centre) {
  const cv::Point q = tube.local(p);
  int best = -1;
  float bestDepth = 0.0f;
  for (int dx = 0; dx <= static_cast<int>(reach); ++dx) {
    for (int x : {q.x - dx, q.x + dx}) {
      const float d = tube.depth(x, q.y);
      if (d > bestDepth + 1e-3f) {
        bestDepth = d;
        best = x;
      }
    }
  }
  if (best < 0) return false;
  *centre = tube.global(best, q.y);
  return true;
}

// The stem's radius: the median depth along the first part of the path from the base (which
// keeps to the middle of the stem, below any cotyledons).
float stemRadius(const Tube& tube, const std::vector<Vec2>& path) {
  std::vector<float> depths;
  const std::size_t end = std::max<std::size_t>(1, path.size() * 6 / 10);
  for (std::size_t i = 0; i < end; ++i) depths.push_back(tube.depth(path[i]));
  std::nth_element(depths.begin(), depths.begin() + depths.size() / 2, depths.end());
  return std::max(1.0f, depths[depths.size() / 2]);
}

// Cheapest paths through the dark pixels from `start`, a step costing its length over the
// square of its depth: paths keep to the middle of the tube.
struct PathTree {
  std::vector<float> cost;
  std::vector<int> parent;
};

PathTree cheapestPaths(const Tube& tube, cv::Point start, float minDepth = 0.0f) {
  const int w = tube.cols();
  const int n = w * tube.rows();
  PathTree tree{std::vector<float>(n, std::numeric_limits<float>::infinity()),
                std::vector<int>(n, -1)};
  using Entry = std::pair<float, int>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
  const int first = start.y * w + start.x;
  tree.cost[first] = 0.0f;
  open.push({0.0f, first});
  static const int dx[] = {1, -1, 0, 0, 1, 1, -1, -1};
  static const int dy[] = {0, 0, 1, -1, 1, -1, 1, -1};
  static const float step[] = {1, 1, 1, 1, 1.41421356f, 1.41421356f, 1.41421356f, 1.41421356f};
  while (!open.empty()) {
    const auto [c, at] = open.top();
    open.pop();
    if (c > tree.cost[at]) continue;
    const int x = at % w;
    const int y = at / w;
    for (int k = 0; k < 8; ++k) {
      const int nx = x + dx[k];
      const int ny = y + dy[k];
      const float d = tube.depth(nx, ny);
      if (d <= minDepth) continue;
      const int next = ny * w + nx;
      const float through = c + step[k] / (d * d);
      if (through < tree.cost[next]) {
        tree.cost[next] = through;
        tree.parent[next] = at;
        open.push({through, next});
      }
    }
  }
  return tree;
}

// The path from the tree's start to pixel `end`.
std::vector<Vec2> pathTo(const Tube& tube, const PathTree& tree, int end) {
  std::vector<Vec2> path;
  for (int at = end; at >= 0; at = tree.parent[at]) {
    path.push_back(tube.global(at % tube.cols(), at / tube.cols()));
  }
  std::reverse(path.begin(), path.end());
  return path;
}

// The far end of the tube near `p`: the pixel within `reach` with the costliest path; -1 where
// the paths reach none.
int costliestNear(const Tube& tube, const PathTree& tree, const Vec2& p, int reach) {
  const cv::Point near = tube.local(p);
  int far = -1;
  for (int y = std::max(0, near.y - reach); y <= std::min(tube.rows() - 1, near.y + reach); ++y) {
    for (int x = std::max(0, near.x - reach); x <= std::min(tube.cols() - 1, near.x + reach); ++x) {
      const int at = y * tube.cols() + x;
      const bool inside =
          (x - near.x) * (x - near.x) + (y - near.y) * (y - near.y) <= reach * reach;
      if (inside && !std::isinf(tree.cost[at]) && (far < 0 || tree.cost[at] > tree.cost[far])) {
        far = at;
      }
    }
  }
  return far;
}

// The mean depth of the path's points within `half` points of point i.
float widthAround(const Tube& tube, const std::vector<Vec2>& path, std::size_t i, int half) {
  float sum = 0.0f;
  int n = 0;
  for (int k = -half; k <= half; ++k) {
    const int j = static_cast<int>(i) + k;
    if (j >= 0 && j < static_cast<int>(path.size())) {
      sum += tube.depth(path[j]);
      ++n;
    }
  }
  return sum / static_cast<float>(n);
}

// The index of the stem's top on a path from the base: furthest up the stem before the tube
// widens into the cotyledons (its width smoothed along the path, so that noise on the walls
// does not end it).
std::size_t topOnPath(const Tube& tube, const std::vector<Vec2>& path, const Vec2& tracked,
                      float radius, const RefineSettings& settings) {
  const Vec2 base = path.front();
  const Vec2 up = norm(tracked - base) > 0.0f ? (tracked - base) * (1.0f / norm(tracked - base))
                                              : Vec2(0.0f, -1.0f);
  const int half = std::max(1, static_cast<int>(radius / 2.0f));
  std::size_t top = 0;
  float walked = 0.0f;
  for (std::size_t i = 1; i < path.size(); ++i) {
    walked += norm(path[i] - path[i - 1]);
    if (walked > 3.0f * radius && widthAround(tube, path, i, half) > settings.widening * radius) {
      // The widening showed in the smoothed width `half` points late.
      while (top > 0 && top + half > i) --top;
      break;
    }
    if (dot(path[i] - base, up) >= dot(path[top] - base, up)) top = i;
  }
  if (dot(path[top] - base, up) < dot(tracked - base, up) - radius) {
    // The tube widened below the tracked top (a hook lying against its cotyledons): the top
    // never sinks down the stem; it stays on the path where it was tracked.
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < path.size(); ++i) {
      if (norm(path[i] - tracked) < norm(path[nearest] - tracked)) nearest = i;
    }
    return nearest;
  }
  // A top on the wall of the tube's rounded end moves back to the middle of the end.
  for (float back = 0.0f; top > 0 && back < radius && tube.depth(path[top]) < 0.8f * radius;) {
    back += norm(path[top] - path[top - 1]);
    --top;
  }
  return top;
}

// Averages each point of a pixel path with its neighbours, taking the staircase out.
std::vector<Vec2> smoothed(const std::vector<Vec2>& path, int half) {
  std::vector<Vec2> out(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    const int from = std::max(0, static_cast<int>(i) - half);
    const int to = std::min(static_cast<int>(path.size()) - 1, static_cast<int>(i) + half);
    Vec2 sum(0.0f, 0.0f);
    for (int k = from; k <= to; ++k) sum += path[k];
    out[i] = sum * (1.0f / static_cast<float>(to - from + 1));
  }
  if (!path.empty()) {
    out.front() = path.front();
    out.back() = path.back();
  }
  return out;
}

}  // namespace

// Where the stem ends below when nobody set its base: the lowest point of the tube, kept to
// pixels as deep as a good part of the stem's radius (so that a thinner root does not count).
bool findBase(const Tube& tube, const Vec2& top, Vec2* base) {
  const cv::Point near = tube.local(top);
  cv::Point start(-1, -1);
  float deepest = 0.0f;
  for (int y = near.y - 12; y <= near.y + 12; ++y) {
    for (int x = near.x - 12; x <= near.x + 12; ++x) {
      if (tube.depth(x, y) > deepest) {
        deepest = tube.depth(x, y);
        start = cv::Point(x, y);
      }
    }
  }
  if (start.x < 0) return false;
  const PathTree tree = cheapestPaths(tube, start, 0.4f * deepest);
  int lowest = -1;
  for (int at = 0; at < static_cast<int>(tree.cost.size()); ++at) {
    if (!std::isinf(tree.cost[at]) && (lowest < 0 || at / tube.cols() > lowest / tube.cols())) {
      lowest = at;
    }
  }
  if (lowest < 0) return false;
  *base = tube.global(lowest % tube.cols(), lowest / tube.cols());
  return true;
}

bool refineOnStem(Snake& snake, const cv::Mat& mask, bool baseFromUser,
                  const RefineSettings& settings) {
  if (snake.pointCount() < 2 || mask.empty() || mask.type() != CV_8UC1) return false;
  std::vector<Vec2> line(snake.points.begin(), snake.points.begin() + snake.pointCount());
  std::vector<cv::Point2f> corners;
  for (const Vec2& p : line) corners.emplace_back(p.x, p.y);
  cv::Rect box = cv::boundingRect(corners);
  // Without a base from the user, the stem is followed down to its end, or to the image's edge.
  const int side = baseFromUser ? settings.margin : 2 * settings.margin;
  box.x -= side;
  box.y -= settings.margin;
  box.width += 2 * side;
  box.height = baseFromUser ? box.height + 2 * settings.margin : mask.rows;
  box &= cv::Rect(0, 0, mask.cols, mask.rows);
  if (box.width < 3 || box.height < 3) return false;
  const Tube tube(mask, box);

  // The base back on the centreline, at its own height.
  const Vec2 tracked = line.front();
  Vec2 base = line.back();
  if (!baseFromUser && !findBase(tube, tracked, &base)) return false;
  if (!centreOnRow(tube, base, 12.0f, &base)) return false;
  const PathTree tree = cheapestPaths(tube, tube.local(base));

  // The far end of the tube near the tracked top, and the top on the way there.
  const int far = costliestNear(tube, tree, tracked, static_cast<int>(settings.topReach));
  if (far < 0) return false;
  std::vector<Vec2> path = pathTo(tube, tree, far);
  if (path.size() < 2) return false;
  const float radius = stemRadius(tube, path);
  const std::size_t top = topOnPath(tube, path, tracked, radius, settings);
  path.resize(top + 1);
  std::reverse(path.begin(), path.end());  // from the top down to the base
  std::vector<Vec2> centreline = smoothed(path, 3);
  // Where the stem meets the cotyledons the path swerves: the top goes back onto the line of
  // the stem just below it.
  const float stemLength = lengthOf(centreline);
  if (stemLength > 8.0f * radius) {
    const Vec2 a = along(centreline, 2.0f * radius);
    const Vec2 b = along(centreline, 6.0f * radius);
    const Vec2 d = (a - b) * (1.0f / std::max(1e-3f, norm(a - b)));
    centreline.front() = a + d * dot(centreline.front() - a, d);
  }

  const float total = lengthOf(centreline);
  const int n = std::clamp(static_cast<int>(std::lround(total / settings.pointSpacing)) + 1,
                           settings.minPoints, Snake::kMaxPoints);
  snake.clear();
  for (int i = 0; i < n; ++i) {
    snake.append(along(centreline, total * static_cast<float>(i) / static_cast<float>(n - 1)));
  }
  snake.topTracker.pos = snake.point(0);
  snake.baseTracker.pos = snake.lastPoint();
  return true;
}

}  // namespace stemscan
