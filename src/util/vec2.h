// Vec2: a 2-D point or vector of two single-precision floats in full-image pixel
// coordinates (x to the right, y downwards, origin at the top-left corner), and the
// single-precision maths helpers the contour code relies on.
#pragma once

#include <cmath>
#include <opencv2/core/types.hpp>
#include <ostream>

namespace stemscan {

// Single-precision pi; angles are converted with this constant and the factor 180.
constexpr float kPiF = 3.1415927f;

// Each helper computes in double precision and rounds the result to float.
inline float sqrtF(float v) { return static_cast<float>(std::sqrt(static_cast<double>(v))); }
inline float sinF(float v) { return static_cast<float>(std::sin(static_cast<double>(v))); }
inline float cosF(float v) { return static_cast<float>(std::cos(static_cast<double>(v))); }
inline float absF(float v) { return static_cast<float>(std::fabs(static_cast<double>(v))); }
inline float atan2F(float y, float x) {
  return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

struct Vec2 {
  float x = 0.0f;
  float y = 0.0f;

  Vec2() = default;
  Vec2(float px, float py) : x(px), y(py) {}
  Vec2(double px, double py) : x(static_cast<float>(px)), y(static_cast<float>(py)) {}
  Vec2(int px, int py) : x(static_cast<float>(px)), y(static_cast<float>(py)) {}

  Vec2& operator+=(const Vec2& o) {
    x += o.x;
    y += o.y;
    return *this;
  }
  Vec2& operator-=(const Vec2& o) {
    x -= o.x;
    y -= o.y;
    return *this;
  }
};

inline Vec2 operator+(const Vec2& a, const Vec2& b) { return Vec2(a.x + b.x, a.y + b.y); }
inline Vec2 operator-(const Vec2& a, const Vec2& b) { return Vec2(a.x - b.x, a.y - b.y); }
inline Vec2 operator*(const Vec2& a, float s) { return Vec2(a.x * s, a.y * s); }
inline bool operator==(const Vec2& a, const Vec2& b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(const Vec2& a, const Vec2& b) { return !(a == b); }

inline float dot(const Vec2& a, const Vec2& b) { return a.x * b.x + a.y * b.y; }
inline float squaredNorm(const Vec2& a) { return dot(a, a); }
inline float norm(const Vec2& a) { return sqrtF(dot(a, a)); }

// Pixel position of a point: each coordinate truncated toward zero, never rounded.
inline cv::Point toPoint(const Vec2& a) {
  return cv::Point(static_cast<int>(a.x), static_cast<int>(a.y));
}

// Whole-number coordinates: each coordinate plus 0.5, truncated toward zero.
inline Vec2 rounded(const Vec2& a) {
  return Vec2(static_cast<float>(static_cast<int>(a.x + 0.5f)),
              static_cast<float>(static_cast<int>(a.y + 0.5f)));
}

// A position counts as placed when both coordinates are non-negative (NaN is not).
inline bool isPlaced(const Vec2& a) { return a.x >= 0.0f && a.y >= 0.0f; }

inline std::ostream& operator<<(std::ostream& os, const Vec2& a) { return os << a.x << " " << a.y; }

}  // namespace stemscan
