// The centreline is the shape's skeleton (Zhang and Suen's thinning). Its branches are cut from
// their leaves back to their junctions: first the spurs a frayed outline leaves (shorter than
// the stem is wide), then, until one path is left from the base, every branch that ends in a
// leaf, unless it arches over (rises above both its ends): that is a hook, whose apex is the top.
#include "detect/seedling_top.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <opencv2/ximgproc.hpp>
#include <vector>

namespace stemscan {
namespace {

// The skeleton of one seedling's shape, as a graph of its pixels.
class Skeleton {
 public:
  explicit Skeleton(const cv::Mat& shape) {
    cv::ximgproc::thinning(shape, on_, cv::ximgproc::THINNING_ZHANGSUEN);
  }
  bool at(int x, int y) const {
    return x >= 0 && y >= 0 && x < on_.cols && y < on_.rows && on_.at<uchar>(y, x) != 0;
  }
  void remove(const cv::Point& p) { on_.at<uchar>(p) = 0; }
  // The number of branches leaving p: the runs of set pixels around its eight neighbours.
  int branches(const cv::Point& p) const {
    static const int dx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
    static const int dy[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    int runs = 0;
    for (int k = 0; k < 8; ++k) {
      const bool here = at(p.x + dx[k], p.y + dy[k]);
      const bool next = at(p.x + dx[(k + 1) % 8], p.y + dy[(k + 1) % 8]);
      if (here && !next) ++runs;
    }
    if (runs == 0 && at(p.x + 1, p.y)) runs = 1;  // every neighbour set
    return runs;
  }
  std::vector<cv::Point> pixels() const {
    std::vector<cv::Point> all;
    cv::findNonZero(on_, all);
    return all;
  }
  // The branch from leaf `end` up to (not including) the first junction, or the whole path
  // where there is none; `reachesJunction` says which.
  std::vector<cv::Point> branchFrom(cv::Point end, bool* reachesJunction) const {
    std::vector<cv::Point> branch;
    cv::Point previous(-10, -10);
    *reachesJunction = false;
    while (true) {
      if (branches(end) >= 3) {
        *reachesJunction = true;
        return branch;
      }
      branch.push_back(end);
      cv::Point next(-1, -1);
      for (int d = 0; d < 8 && next.x < 0; ++d) {
        // Four-neighbours first: a diagonal step past one would skip a pixel of the branch.
        static const int dx[8] = {1, 0, -1, 0, 1, -1, -1, 1};
        static const int dy[8] = {0, 1, 0, -1, 1, 1, -1, -1};
        const cv::Point q(end.x + dx[d], end.y + dy[d]);
        if (!at(q.x, q.y) || q == previous) continue;
        if (std::find(branch.begin(), branch.end(), q) != branch.end()) continue;
        next = q;
      }
      if (next.x < 0) return branch;
      previous = end;
      end = next;
    }
  }

 private:
  cv::Mat on_;
};

}  // namespace

Vec2 seedlingTop(const cv::Mat& shape, float* width) {
  Skeleton skeleton(shape);
  std::vector<cv::Point> pixels = skeleton.pixels();
  if (pixels.empty()) return Vec2(shape.cols / 2.0f, 0.0f);
  cv::Mat distance;
  cv::distanceTransform(shape, distance, cv::DIST_L2, 3);
  std::vector<float> radii;
  for (const cv::Point& p : pixels) radii.push_back(distance.at<float>(p));
  std::nth_element(radii.begin(), radii.begin() + radii.size() / 2, radii.end());
  *width = std::max(1.0f, 2.0f * radii[radii.size() / 2]);
  // The base: the lowest point of the centreline.
  const cv::Point base =
      *std::max_element(pixels.begin(), pixels.end(), [](const cv::Point& a, const cv::Point& b) {
        return a.y < b.y || (a.y == b.y && a.x > b.x);
      });
  auto leaves = [&] {
    std::vector<cv::Point> found;
    for (const cv::Point& p : skeleton.pixels()) {
      if (p != base && skeleton.branches(p) == 1) found.push_back(p);
    }
    return found;
  };
  auto prune = [&](bool spursOnly) {
    // All branches are found before any is cut: cutting one can join two others into one.
    std::vector<std::vector<cv::Point>> cut;
    for (const cv::Point& leaf : leaves()) {
      bool junction = false;
      std::vector<cv::Point> branch = skeleton.branchFrom(leaf, &junction);
      if (!junction || branch.empty()) continue;
      if (spursOnly && static_cast<float>(branch.size()) >= *width) continue;
      int highest = branch.front().y;
      for (const cv::Point& p : branch) highest = std::min(highest, p.y);
      const float rise = static_cast<float>(std::min(branch.front().y, branch.back().y) - highest);
      if (!spursOnly && rise > std::max(2.0f, *width / 2.0f)) continue;
      cut.push_back(std::move(branch));
    }
    for (const std::vector<cv::Point>& branch : cut) {
      for (const cv::Point& p : branch) skeleton.remove(p);
    }
    return !cut.empty();
  };
  for (int round = 0; round < 2; ++round) prune(true);
  for (int round = 0; round < 8 && leaves().size() > 1; ++round) {
    if (!prune(false)) break;
  }
  pixels = skeleton.pixels();
  if (pixels.empty()) return Vec2(static_cast<float>(base.x), static_cast<float>(base.y));
  int highest = pixels.front().y;
  for (const cv::Point& p : pixels) highest = std::min(highest, p.y);
  float sum = 0;
  int n = 0;
  for (const cv::Point& p : pixels) {
    if (p.y != highest) continue;
    sum += static_cast<float>(p.x);
    ++n;
  }
  return Vec2(sum / n, static_cast<float>(highest));
}

}  // namespace stemscan
