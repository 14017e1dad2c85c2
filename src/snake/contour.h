// Contour: a hypocotyl's centreline as a value, the points from the top (the first) down to the
// base (the last), and what is measured along it. The one place where arc length is worked out:
// the store and the exports measure stored contours with it, the refined fit walks and resamples
// its paths with it, and the Snake measures and respaces itself with it.
#pragma once

#include <cstddef>
#include <vector>

#include "util/vec2.h"

namespace stemscan {

class Contour {
 public:
  Contour() = default;
  explicit Contour(std::vector<Vec2> points) : points_(std::move(points)) {}

  const std::vector<Vec2>& points() const { return points_; }
  std::size_t size() const { return points_.size(); }
  bool empty() const { return points_.empty(); }

  // The length of the polyline, from its point `from` on.
  float length(std::size_t from = 0) const;
  // The point at arc length `at` from the top, clamped to the contour (the top for `at` of 0
  // or less, the base past the end).
  Vec2 pointAt(float at) const;
  // The contour from the top to arc length `at` (clamped), its last point pointAt(at).
  std::vector<Vec2> upTo(float at) const;
  // The contour from arc length `at` (clamped) down to the base, its first point pointAt(at).
  std::vector<Vec2> from(float at) const;
  // `n` points (at least two) spread evenly along the contour, the first at the top and the
  // last at the base (or a hair from it).
  std::vector<Vec2> resampled(int n) const;
  // The orientation in degrees of the stretch from the top to arc length `arcLength` (0 straight
  // down, positive leaning right); for `arcLength` of 0 or less, of the first segment. 1000 for
  // a contour of fewer than two points.
  float orientation(float arcLength) const;

 private:
  std::vector<Vec2> points_;
};

}  // namespace stemscan
