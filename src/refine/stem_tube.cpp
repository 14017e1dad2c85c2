#include "refine/stem_tube.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <opencv2/imgproc.hpp>

#include "refine/chamfer_distance.h"
#include "refine/radix_heap.h"
#include "util/rect.h"

namespace stemscan {

Tube::Tube(const cv::Mat& mask, const cv::Rect& region, int scale)
    : scale_(std::max(1, scale)), half_(0.5f * static_cast<float>(scale_ - 1)) {
  // A coarse tube starts and ends on whole coarse pixels.
  const int x0 = region.x / scale_ * scale_;
  const int y0 = region.y / scale_ * scale_;
  region_ = cv::Rect(x0, y0, (region.x + region.width - x0) / scale_ * scale_,
                     (region.y + region.height - y0) / scale_ * scale_);
  // 255 where the mask is dark (below 128); threshold is the vectorised form of that compare.
  cv::Mat dark;
  cv::threshold(mask(region_), dark, 127, 255, cv::THRESH_BINARY_INV);
  if (scale_ > 1) {
    cv::Mat small;
    cv::resize(dark, small, cv::Size(region_.width / scale_, region_.height / scale_), 0, 0,
               cv::INTER_AREA);
    cv::threshold(small, dark, 127, 255, cv::THRESH_BINARY);
  }
  // Only the dark pixels' box, with a light pixel around it, needs the transform: the depths
  // are the same as over the whole region, and 0 round the box.
  // Made and cleared in place: a matrix expression would reach the library's lazily made
  // operator tables, which the two fitting threads must not race to.
  depth_.create(dark.size(), CV_32F);
  depth_.setTo(0.0f);
  dark_box_ = cv::boundingRect(dark);
  if (dark_box_.empty()) return;
  dark_box_ = grownWithin(dark_box_, 1, cv::Rect(0, 0, dark.cols, dark.rows));
  cv::Mat depth = depth_(dark_box_);
  chamferDistance(dark(dark_box_), depth);
}

float Tube::runFrom(const Vec2& p, const Vec2& d, float limit) const {
  float t = 1.0f;
  while (t <= limit && depth(p + d * t) > 0.0f) t += 1.0f;
  return t - 1.0f;
}

Tube Tube::cutAlong(const Vec2& a, const Vec2& b, int width) const {
  Tube cut = *this;
  cut.depth_ = depth_.clone();
  cv::line(cut.depth_, local(a), local(b), cv::Scalar(0.0), width);
  return cut;
}

namespace {

// Cheapest paths through the tube from `start`, a step costing its length over the square of
// its depth: paths keep to the middle of the tube. Only `area`, a part of the box of the tube's
// dark pixels, is searched, and the search ends once the paths to all `targets` (in `area`) are
// final (the pixels further out are left unreached).
class PathTree {
 public:
  PathTree(const Tube& tube, cv::Point start, const std::vector<cv::Point>& targets,
           const cv::Rect& area);

  bool reached(cv::Point p) const { return !std::isinf(node_[index(p)].cost); }
  float length(cv::Point p) const { return node_[index(p)].length; }  // of the path, in pixels
  // The path from the start to pixel `end`, in image points.
  std::vector<Vec2> pathTo(cv::Point end) const;

 private:
  // Pixels are numbered row by row over the area framed by one pixel all round: a pixel's
  // neighbours are at fixed offsets, with no bounds to check (the frame has no depth).
  int index(cv::Point p) const { return (p.y - area_.y + 1) * stride_ + (p.x - area_.x + 1); }

  struct Node {
    float cost = std::numeric_limits<float>::infinity();  // of the cheapest path so far
    int parent = -1;
    float length = 0.0f;
  };

  const Tube& tube_;
  cv::Rect area_;
  int stride_;
  std::vector<Node> node_;
};

PathTree::PathTree(const Tube& tube, cv::Point start, const std::vector<cv::Point>& targets,
                   const cv::Rect& area)
    : tube_(tube), area_(area), stride_(area.width + 2) {
  const int h = area_.height;
  const std::size_t n = static_cast<std::size_t>(stride_) * (h + 2);
  node_.assign(n, Node());
  // What a step into each pixel costs, across and diagonally: never taken (infinitely dear)
  // into a light pixel or the frame.
  constexpr float kAcross = 1.0f;
  constexpr float kDiagonal = 1.41421356f;
  struct StepCost {
    float across = std::numeric_limits<float>::infinity();
    float diagonal = std::numeric_limits<float>::infinity();
  };
  std::vector<StepCost> stepCost(n);
  for (int y = 0; y < h; ++y) {
    const float* depth = tube.depthMap().ptr<float>(area_.y + y) + area_.x;
    StepCost* out = &stepCost[static_cast<std::size_t>(y + 1) * stride_ + 1];
    for (int x = 0; x < area_.width; ++x) {
      const float squared = depth[x] * depth[x];
      if (squared <= 0.0f) continue;
      out[x].across = kAcross / squared;
      out[x].diagonal = kDiagonal / squared;
    }
  }
  std::vector<char> isTarget(n, 0);
  for (const cv::Point& t : targets) isTarget[index(t)] = 1;
  std::size_t left = targets.size();

  // A queue entry packs a cost (never negative, so its bits order as the numbers do) above
  // a pixel: one integer comparison orders by cost, then by pixel.
  using Entry = std::uint64_t;
  auto entry = [](float cost, int at) {
    std::uint32_t bits;
    std::memcpy(&bits, &cost, sizeof bits);
    return (static_cast<Entry>(bits) << 32) | static_cast<std::uint32_t>(at);
  };
  RadixHeap open;
  const int first = index(start);
  node_[first].cost = 0.0f;
  open.push(entry(0.0f, first));
  // Across first, then diagonally.
  static const int dx[] = {1, -1, 0, 0, 1, 1, -1, -1};
  static const int dy[] = {0, 0, 1, -1, 1, -1, 1, -1};
  int offset[8];
  for (int k = 0; k < 8; ++k) offset[k] = dy[k] * stride_ + dx[k];
  while (!open.empty()) {
    const Entry top = open.pop();
    const int at = static_cast<int>(top & 0xffffffffu);
    float c;
    const std::uint32_t bits = static_cast<std::uint32_t>(top >> 32);
    std::memcpy(&c, &bits, sizeof c);
    if (c > node_[at].cost) continue;
    if (isTarget[at] && --left == 0) break;
    const float length = node_[at].length;
    auto relax = [&](int next, float cost, float step) {
      const float through = c + cost;
      Node& to = node_[next];
      if (through < to.cost) {
        to.cost = through;
        to.parent = at;
        to.length = length + step;
        open.push(entry(through, next));
      }
    };
    for (int k = 0; k < 4; ++k) relax(at + offset[k], stepCost[at + offset[k]].across, kAcross);
    for (int k = 4; k < 8; ++k) {
      relax(at + offset[k], stepCost[at + offset[k]].diagonal, kDiagonal);
    }
  }
}

std::vector<Vec2> PathTree::pathTo(cv::Point end) const {
  std::vector<Vec2> path;
  for (int at = index(end); at >= 0; at = node_[at].parent) {
    path.push_back(tube_.global(area_.x + at % stride_ - 1, area_.y + at / stride_ - 1));
  }
  std::reverse(path.begin(), path.end());
  return path;
}

// The middle line's pixels within `reach` tube pixels of `p`, row by row: pixels within a pixel
// and a half of the deepest one within two pixels.
std::vector<cv::Point> middleLineNear(const Tube& tube, const Vec2& p, int reach) {
  const cv::Point near = tube.local(p);
  const cv::Rect all(0, 0, tube.cols(), tube.rows());
  const cv::Rect window =
      cv::Rect(near.x - reach, near.y - reach, 2 * reach + 1, 2 * reach + 1) & all;
  std::vector<cv::Point> line;
  if (window.empty()) return line;
  const cv::Rect around = grownWithin(window, 2, all);
  cv::Mat crest;
  cv::dilate(tube.depthMap()(around), crest, cv::Mat(5, 5, CV_8U, cv::Scalar(1)));
  for (int y = window.y; y < window.y + window.height; ++y) {
    for (int x = window.x; x < window.x + window.width; ++x) {
      const float d = tube.depth(x, y);
      const bool inside =
          (x - near.x) * (x - near.x) + (y - near.y) * (y - near.y) <= reach * reach;
      if (inside && d >= 3.0f && d >= crest.at<float>(y - around.y, x - around.x) - 1.5f) {
        line.emplace_back(x, y);
      }
    }
  }
  return line;
}

}  // namespace

Tube searchTube(const cv::Mat& mask, const Tube& tube, float radius) {
  const int scale = std::clamp(static_cast<int>(radius / 8.0f), 1, kMaxSearchScale);
  return scale == 1 ? tube : Tube(mask, tube.region(), scale);
}

std::vector<Vec2> pathToFarEnd(const Tube& tube, const Vec2& start, const Vec2& near, int reach,
                               const cv::Rect& within) {
  reach = std::max(1, reach / tube.scale());
  const cv::Rect area = within.empty() ? tube.darkBox() : tube.darkBox() & within;
  // The start's pixel, or its deepest neighbour where a coarse tube lost it.
  const cv::Point at = tube.local(start);
  cv::Point first = at;
  if (tube.depth(at.x, at.y) <= 0.0f) {
    for (int y = at.y - 1; y <= at.y + 1; ++y) {
      for (int x = at.x - 1; x <= at.x + 1; ++x) {
        if (tube.depth(x, y) > tube.depth(first.x, first.y)) first = cv::Point(x, y);
      }
    }
  }
  if (tube.depth(first.x, first.y) <= 0.0f || !area.contains(first)) return {};
  // The far end: of the middle line near `near`, the pixel with the longest path.
  std::vector<cv::Point> line = middleLineNear(tube, near, reach);
  line.erase(std::remove_if(line.begin(), line.end(),
                            [&](const cv::Point& p) { return !area.contains(p); }),
             line.end());
  const PathTree tree(tube, first, line, area);
  const cv::Point* far = nullptr;
  for (const cv::Point& p : line) {
    if (tree.reached(p) && (far == nullptr || tree.length(p) > tree.length(*far))) far = &p;
  }
  if (far == nullptr) return {};
  return tree.pathTo(*far);
}

}  // namespace stemscan
