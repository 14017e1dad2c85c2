// A stem seen as a tube: the dark pixels of a thresholded region with their distance to the
// nearest light pixel (its depth, largest along the tube's middle line), and the cheapest paths
// through it, which keep to the middle of the tube.
#pragma once

#include <algorithm>
#include <cmath>
#include <opencv2/core/mat.hpp>
#include <vector>

#include "util/vec2.h"

namespace stemscan {

class Tube {
 public:
  // The dark pixels (below 128) of `mask` in `region`, seen at one pixel in `scale` (a pixel of
  // a coarse tube stands for scale x scale pixels of the mask, dark where most of them are).
  Tube(const cv::Mat& mask, const cv::Rect& region, int scale = 1);

  const cv::Rect& region() const { return region_; }
  int scale() const { return scale_; }
  int cols() const { return depth_.cols; }
  int rows() const { return depth_.rows; }
  // The depth of a tube pixel; 0 outside the tube and outside the region.
  float depth(int x, int y) const {
    return x < 0 || y < 0 || x >= depth_.cols || y >= depth_.rows ? 0.0f : depth_.at<float>(y, x);
  }
  // The depth at an image point.
  float depth(const Vec2& p) const {
    const cv::Point q = local(p);
    return depth(q.x, q.y);
  }
  const cv::Mat& depthMap() const { return depth_; }
  // The box of the tube's dark pixels, with a pixel around it where the region allows (every
  // depth outside it is 0); empty where the region holds no dark pixel.
  const cv::Rect& darkBox() const { return dark_box_; }
  // The tube pixel of an image point, and the image point of a tube pixel (its middle).
  cv::Point local(const Vec2& p) const {
    return cv::Point(nearest((p.x - half_) / scale_) - region_.x / scale_,
                     nearest((p.y - half_) / scale_) - region_.y / scale_);
  }
  Vec2 global(int x, int y) const {
    return Vec2(static_cast<float>((x + region_.x / scale_) * scale_) + half_,
                static_cast<float>((y + region_.y / scale_) * scale_) + half_);
  }
  // How far the tube runs on from image point p in the unit direction d, up to `limit` pixels.
  float runFrom(const Vec2& p, const Vec2& d, float limit) const;
  // The width of the dark run through image point p across the unit direction n, up to `limit`
  // each way.
  float widthAcross(const Vec2& p, const Vec2& n, float limit) const {
    return 1.0f + runFrom(p, n * -1.0f, limit) + runFrom(p, n, limit);
  }
  // A copy of the tube cut through along the segment from image point a to b, `width` tube
  // pixels wide: no path crosses the cut. The depths elsewhere stay as they were.
  Tube cutAlong(const Vec2& a, const Vec2& b, int width) const;

 private:
  // The nearest whole number, halves away from zero, as std::lround gives it, without a call
  // into the maths library: the depth is looked up at millions of points per image.
  static int nearest(float v) {
    if (!(std::abs(v) < 1e9f)) return static_cast<int>(std::lround(v));
    const int whole = static_cast<int>(v);             // toward zero
    const float rest = v - static_cast<float>(whole);  // exact
    return rest >= 0.5f ? whole + 1 : rest <= -0.5f ? whole - 1 : whole;
  }

  cv::Rect region_;
  int scale_;
  float half_;  // from a coarse pixel's corner to its middle, in image pixels
  cv::Mat depth_;
  cv::Rect dark_box_;
};

// The offset, within half a pixel, of the top of the parabola through the depths a, b, c at -1,
// 0 and +1 (0 where b is no crest).
inline float crestOffset(float a, float b, float c) {
  const float bend = a - 2.0f * b + c;
  return bend < 0.0f ? std::clamp(0.5f * (a - c) / bend, -0.5f, 0.5f) : 0.0f;
}

// The coarsest pixels of a search tube, in image pixels a side.
constexpr int kMaxSearchScale = 4;

// The tube a stem's path is looked for on: where the stem is wide (`radius` pixels), a coarse
// copy of `tube` made from `mask`, whose pixels of an eighth of the radius (at most
// kMaxSearchScale) still show its middle line; `tube` itself otherwise. The coarse copy reads
// `mask` from up to kMaxSearchScale - 1 pixels before the tube's region.
Tube searchTube(const cv::Mat& mask, const Tube& tube, float radius);

// The cheapest path through `tube` from its pixel nearest `start` to the far end of the tube's
// middle line within `reach` image pixels of `near` (the pixel of the middle line with the
// longest path), in image points; empty where no such path exists. Only the tube pixels in
// `within` are searched, where it is given.
std::vector<Vec2> pathToFarEnd(const Tube& tube, const Vec2& start, const Vec2& near, int reach,
                               const cv::Rect& within = cv::Rect());

}  // namespace stemscan
