#include "snake/contour.h"

namespace stemscan {
namespace {

// The point at arc length `at` along `line` (clamped to it), whose piece i (from point i - 1 to
// point i) is pieceLength(i) long.
template <typename PieceLength>
Vec2 pointAlong(const std::vector<Vec2>& line, float at, const PieceLength& pieceLength) {
  for (std::size_t i = 1; i < line.size(); ++i) {
    const float piece = pieceLength(i);
    if (at <= piece && piece > 0.0f) return line[i - 1] + (line[i] - line[i - 1]) * (at / piece);
    at -= piece;
  }
  return line.back();
}

}  // namespace

float Contour::length(std::size_t from) const {
  float total = 0.0f;
  for (std::size_t i = from + 1; i < points_.size(); ++i) {
    total += norm(points_[i] - points_[i - 1]);
  }
  return total;
}

Vec2 Contour::pointAt(float at) const {
  if (points_.empty()) return Vec2();
  if (!(at > 0.0f)) return points_.front();
  return pointAlong(points_, at,
                    [this](std::size_t i) { return norm(points_[i] - points_[i - 1]); });
}

std::vector<Vec2> Contour::from(float at) const {
  std::vector<Vec2> out;
  if (points_.empty()) return out;
  out.push_back(pointAt(at));
  float walked = 0.0f;
  for (std::size_t i = 1; i < points_.size(); ++i) {
    walked += norm(points_[i] - points_[i - 1]);
    if (walked > at) out.push_back(points_[i]);
  }
  return out;
}

std::vector<Vec2> Contour::upTo(float at) const {
  std::vector<Vec2> out;
  if (points_.empty()) return out;
  out.push_back(points_.front());
  if (!(at > 0.0f)) return out;
  for (std::size_t i = 1; i < points_.size(); ++i) {
    const float piece = norm(points_[i] - points_[i - 1]);
    if (at <= piece && piece > 0.0f) {
      out.push_back(points_[i - 1] + (points_[i] - points_[i - 1]) * (at / piece));
      return out;
    }
    out.push_back(points_[i]);
    at -= piece;
  }
  return out;
}

std::vector<Vec2> Contour::resampled(int n) const {
  std::vector<Vec2> out;
  if (points_.empty() || n < 2) return out;
  // The pieces' lengths, worked out once and summed in order as length() sums them.
  std::vector<float> pieces(points_.size(), 0.0f);
  float total = 0.0f;
  for (std::size_t i = 1; i < points_.size(); ++i) {
    pieces[i] = norm(points_[i] - points_[i - 1]);
    total += pieces[i];
  }
  for (int k = 0; k < n; ++k) {
    const float at = total * static_cast<float>(k) / static_cast<float>(n - 1);
    out.push_back(pointAlong(points_, at, [&pieces](std::size_t i) { return pieces[i]; }));
  }
  return out;
}

float Contour::orientation(float arcLength) const {
  if (points_.size() < 2) return 1000.0f;
  // Nothing of the contour lies within a length of 0: the first segment gives the direction.
  const Vec2 q = arcLength > 0.0f ? pointAt(arcLength) : points_[1];
  const Vec2 d = q - points_[0];
  return atan2F(d.x, d.y) * 180.0f / kPiF;
}

}  // namespace stemscan
