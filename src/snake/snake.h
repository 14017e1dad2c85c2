// Snake: the open active contour of one hypocotyl, at most 200 points from the top (point 0)
// down to the base (the last point), with the scratch matrices of its greedy optimisation, its
// parameters, and the two trackers that carry its ends from image to image.
#pragma once

#include <array>
#include <opencv2/core/mat.hpp>
#include <ostream>
#include <vector>

#include "snake/contour.h"
#include "tracker/point_tracker.h"
#include "util/random_source.h"
#include "util/vec2.h"

namespace stemscan {

class Snake {
 public:
  static constexpr int kMaxPoints = 200;

  explicit Snake(int halfWindow = 5);

  // Parameters.
  void setHalfWindow(int w);
  float getInternalWeight() const { return internalWeight; }
  void setInternalWeight(float weight) { internalWeight = weight; }

  // State. A Snake is in use when it has points and is active.
  bool isInUse() const { return count != 0 && active; }
  void activate() { active = true; }
  void deactivate() { active = false; }
  // Switches the Snake on with n points, whatever they hold (the seeded points come back).
  void activateWithCount(int n);
  int pointCount() const { return count; }

  // Point access. point(i) past the end reports "out of bound" and yields (0, 0); point 0 is
  // always returned.
  Vec2 point(int i) const;
  Vec2 lastPoint() const { return points[count > 0 ? count - 1 : 0]; }
  void setPoint(int i, const Vec2& p);
  void setLastPoint(const Vec2& p);
  // Appends p and returns the new count; a full Snake ignores it and returns 0.
  int append(const Vec2& p);
  void clear() { count = 0; }

  // Editing; point 0 stays the top.
  int grow(int n);
  int shrink(int n);
  void pinBase(int y);
  void translate(const Vec2& v);
  // Moves the points between the ends so that they stand at equal arc lengths along the
  // contour as it is; the ends stay.
  void spreadEvenly();
  // Moves every point into [0, width - 1] x [0, height - 1].
  void clampInto(int width, int height);
  int closestPoint(const Vec2& p, int* squaredDistance) const;

  // Greedy optimisation on an 8-bit one-channel energy image (Snake energy). mode > 0 moves
  // every point but the top; mode < 0 keeps both ends.
  void optimise(const cv::Mat& image, int passes, int mode, RandomSource& random);
  // The same in two steps: the order in which each pass visits the points, drawn from the
  // random source, then the passes in those orders (which draw nothing, so the contours of a
  // plate can follow theirs side by side).
  std::vector<std::vector<int>> visitingOrders(int passes, int mode, RandomSource& random) const;
  void optimiseInOrders(const cv::Mat& image, const std::vector<std::vector<int>>& orders);
  void greedyStep(int i, const cv::Mat& image);
  void internalEnergy(int i);
  // Fills Eext; false when the window holds no usable image pixel (the point then stays).
  bool externalEnergy(int i, const cv::Mat& image);

  // Seeding.
  void scatter(int cx, int cy, int n, int size, RandomSource& random);
  void seedFromClick(const cv::Mat& image, float angle, float length, RandomSource& random);

  // Measurements, on the contour the points make.
  Contour contour() const;
  float length() const;
  float orientation(float arcLength) const;
  int maxX() const;
  int maxY() const;
  int minX() const;
  int minY() const;

  // Drawing. Into a view (a region of a larger image) positions are shifted by the region's
  // corner, so the overlay lands where it belongs.
  void draw(cv::Mat& image, const cv::Scalar& colour) const;
  void drawUpTo(cv::Mat& image, float arcLength, const cv::Scalar& colour) const;
  void drawTrackers(cv::Mat& image, int dx = 0, int dy = 0) const;

  std::array<Vec2, kMaxPoints> points{};
  int count = 0;
  int halfWindow = 5;
  int windowSize = 11;
  cv::Mat Eint;
  cv::Mat Eext;
  cv::Mat Etot;
  bool active = true;
  float internalWeight = 1.0f;
  PointTracker topTracker;
  PointTracker baseTracker;
};

// count, then each point's x and y, every value followed by a blank.
std::ostream& operator<<(std::ostream& os, const Snake& snake);

}  // namespace stemscan
