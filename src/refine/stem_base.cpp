#include "refine/stem_base.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace stemscan {
namespace {

// The deepest pixel of the dark run through (or nearest to) tube pixel q along its row, within
// reach (of two runs equally near, the left one); -1 where there is none. The run is the one
// nearest q, not the deepest in reach: a stem standing close beside another keeps its own.
int deepestOnRow(const Tube& tube, cv::Point q, int reach) {
  int start = -1;
  for (int dx = 0; dx <= reach && start < 0; ++dx) {
    for (int x : {q.x - dx, q.x + dx}) {
      if (tube.depth(x, q.y) > 0.0f) {
        start = x;
        break;
      }
    }
  }
  if (start < 0) return -1;
  // Along the run to its deepest pixel (the first of equals nearest to where it was entered).
  int best = start;
  for (int step : {-1, 1}) {
    for (int x = start + step; tube.depth(x, q.y) > 0.0f && std::abs(x - q.x) <= reach; x += step) {
      if (tube.depth(x, q.y) > tube.depth(best, q.y) + 1e-3f) best = x;
    }
  }
  return best;
}

}  // namespace

// The middle of the dark run through (or nearest to) p along its row, within reach: the
// deepest pixel, to a fraction of a pixel; p keeps its height.
bool centreOnRow(const Tube& tube, const Vec2& p, float reach, Vec2* centre) {
  const cv::Point q = tube.local(p);
  const int best = deepestOnRow(tube, q, static_cast<int>(reach));
  if (best < 0) return false;
  const float shift =
      crestOffset(tube.depth(best - 1, q.y), tube.depth(best, q.y), tube.depth(best + 1, q.y));
  *centre = Vec2(tube.global(best, q.y).x + shift, p.y);
  return true;
}

// Where the stem narrows into its root, or ends, within two stem radii (`radius`) of p: the
// lowest row of the stem still about as deep as its radius, with the tube less than half as
// deep a radius further down. Trackers slide along a uniform stem; this narrowing stays on the
// same place of the seedling. False where no narrowing is near; the nearest where there are
// several.
bool narrowingNear(const Tube& tube, const Vec2& p, float radius, Vec2* at) {
  const cv::Point q = tube.local(p);
  const int drop = std::max(1, static_cast<int>(std::ceil(radius)));
  const int reach = 2 * drop;
  std::vector<float> depths;
  std::vector<int> xs;
  int x = q.x;
  for (int y = q.y - reach; y <= q.y + reach + drop; ++y) {
    const int best = deepestOnRow(tube, cv::Point(x, y), drop);
    if (best >= 0) x = best;
    depths.push_back(best >= 0 ? tube.depth(best, y) : 0.0f);
    xs.push_back(x);
  }
  const float full = 0.75f * radius;
  int found = -1;
  for (int k = 0; k <= 2 * reach; ++k) {
    if (depths[k] < full || depths[k + 1] >= full || depths[k + drop] > 0.5f * radius) continue;
    if (found < 0 || std::abs(k - reach) < std::abs(found - reach)) found = k;
  }
  if (found < 0) return false;
  *at = tube.global(xs[found], q.y - reach + found);
  return true;
}

// Where the stem ends below when nobody set its base: the lowest point of the tube, kept to
// pixels as deep as a good part of the stem's radius (so that a thinner root does not count).
// The stem is the one under the top: the deepest pixel within 12 px of it, or, where the
// tracker carried the top off the stem (a step too large for it to follow), within `reach`.
bool findBase(const Tube& tube, const Vec2& top, int reach, float radius, Vec2* base) {
  const cv::Point near = tube.local(top);
  cv::Point start(-1, -1);
  float deepest = 0.0f;
  for (int radius : {12, std::max(12, reach)}) {
    for (int y = near.y - radius; y <= near.y + radius; ++y) {
      for (int x = near.x - radius; x <= near.x + radius; ++x) {
        if (tube.depth(x, y) > deepest) {
          deepest = tube.depth(x, y);
          start = cv::Point(x, y);
        }
      }
    }
    if (start.x >= 0) break;
  }
  if (start.x < 0) return false;
  // Every depth outside the box of the tube's dark pixels is 0.
  const cv::Rect box = tube.darkBox();
  cv::Mat reached;
  const float stem = radius > 0.0f ? std::min(deepest, 2.0f * radius) : deepest;
  cv::compare(tube.depthMap()(box), static_cast<double>(0.4f * stem), reached, cv::CMP_GT);
  cv::floodFill(reached, start - box.tl(), 128, nullptr, 0, 0, 8);
  for (int y = reached.rows - 1; y >= 0; --y) {
    const uchar* row = reached.ptr<uchar>(y);
    for (int x = 0; x < reached.cols; ++x) {
      if (row[x] == 128) {
        *base = tube.global(box.x + x, box.y + y);
        return true;
      }
    }
  }
  return false;
}

}  // namespace stemscan
