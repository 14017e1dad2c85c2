#include "tracker/point_tracker.h"

#include <algorithm>
#include <iostream>
#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>

#include "tracker/corner_map.h"

namespace stemscan {
namespace {

constexpr int kEnoughFeatures = 20;
constexpr int kMinFeatures = 5;
constexpr float kMaxSquaredMove = 400.0f;  // features moving more than 20 px are implausible

}  // namespace

PointTracker::PointTracker()
    : prevFeatures(maxFeatures),
      curFeatures(maxFeatures),
      status(maxFeatures),
      errors(maxFeatures) {}

int PointTracker::trackFeatures(const cv::Mat& current, const cv::Mat& previous, int maxGrowth,
                                std::ostream& err) {
  std::fill(curFeatures.begin(), curFeatures.end(), cv::Point2f(-1.0f, -1.0f));
  std::fill(status.begin(), status.end(), 0);
  if (previous.empty() || current.size() != previous.size()) return 0;

  // Halve the quality level until enough corners turn up or the level reaches its floor.
  // One map of corner strength serves every level.
  const CornerMap strength(previous);
  std::vector<cv::Point2f> corners;
  float quality = 0.1f;
  do {
    corners = strength.detect(maxFeatures, quality, 2.0);
    quality /= 2.0f;
  } while (static_cast<int>(corners.size()) < kEnoughFeatures && quality > 1e-6f);
  const int count = static_cast<int>(corners.size());
  std::copy(corners.begin(), corners.end(), prevFeatures.begin());

  if (count < kMinFeatures) {
    err << "to few features " << count << std::endl;
    return count;
  }

  std::vector<cv::Point2f> moved;
  std::vector<unsigned char> found;
  std::vector<float> error;
  const int side = 2 * maxGrowth + 1;
  const cv::TermCriteria criteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 20, 0.3);
  cv::calcOpticalFlowPyrLK(previous, current, corners, moved, found, error, cv::Size(side, side), 3,
                           criteria, 0);
  for (int k = 0; k < count; ++k) {
    curFeatures[k] = moved[k];
    status[k] = found[k];
    errors[k] = error[k];
    if (status[k] == 0) continue;
    const cv::Point2f step = curFeatures[k] - prevFeatures[k];
    if (curFeatures[k].x <= -1.0f || curFeatures[k].y <= -1.0f ||
        step.x * step.x + step.y * step.y > kMaxSquaredMove) {
      status[k] = 0;
    }
  }
  return count;
}

cv::Rect PointTracker::searchRegion(cv::Size imageSize) const {
  const float hw = static_cast<float>(static_cast<int>(window.x / 2));
  const float hh = static_cast<float>(static_cast<int>(window.y / 2));
  const int x0 = static_cast<int>(std::max(pos.x - hw, 0.0f));
  const int y0 = static_cast<int>(std::max(pos.y - hh, 0.0f));
  const int w = static_cast<int>(std::min(hw + pos.x - x0 + 1, float(imageSize.width - x0)));
  const int h = static_cast<int>(std::min(hh + pos.y - y0 + 1, float(imageSize.height - y0)));
  return cv::Rect(x0, y0, w, h);
}

Vec2 PointTracker::track(const cv::Mat& current, const cv::Mat& previous, int maxGrowth,
                         std::ostream& out, std::ostream& err) {
  // A tracker that was never placed has no neighbourhood to follow.
  if (!isPlaced(pos) || current.size() != previous.size()) return Vec2();
  const cv::Rect region = searchRegion(current.size());
  int detected = 0;
  if (region.width > 0 && region.height > 0) {
    detected = trackFeatures(current(region), previous(region), maxGrowth, err);
  }
  const Vec2 lpos = pos - Vec2(region.x, region.y);

  std::vector<int> usable;
  for (int k = 0; k < detected; ++k) {
    if (status[k] != 0) usable.push_back(k);
  }
  const int m = static_cast<int>(usable.size());
  if (m < kMinFeatures) {
    err << "Only found " << m << " features" << std::endl;
    out << pos << std::endl;
    return Vec2();
  }

  // Weights closest to the preferences u whose weighted mean of the old positions is the
  // point itself: r = (I - M (M^T M)^-1 M^T) u, computed without the m x m matrices.
  cv::Mat M(m, 2, CV_32FC1);
  cv::Mat u(m, 1, CV_32FC1);
  int onPoint = -1;
  for (int row = 0; row < m; ++row) {
    const cv::Point2f& a = prevFeatures[usable[row]];
    const float dx = a.x - lpos.x;
    const float dy = a.y - lpos.y;
    M.at<float>(row, 0) = dx;
    M.at<float>(row, 1) = dy;
    const float d2 = dx * dx + dy * dy;
    if (d2 == 0.0f && onPoint < 0) onPoint = row;
    u.at<float>(row, 0) = d2 == 0.0f ? 0.0f : 100.0f / d2;
  }

  Vec2 npos;
  if (onPoint >= 0) {
    // A feature on the point itself has infinite preference: the point moves with it.
    const cv::Point2f& b = curFeatures[usable[onPoint]];
    npos = Vec2(b.x, b.y);
  } else {
    cv::Mat inverse;
    cv::invert(M.t() * M, inverse, cv::DECOMP_LU);  // all zeros when singular: r = u
    const cv::Mat r = u - M * (inverse * (M.t() * u));
    Vec2 num;
    float den = 0.0f;
    for (int row = 0; row < m; ++row) {
      const float a = r.at<float>(row, 0);
      const cv::Point2f& b = curFeatures[usable[row]];
      num += Vec2(b.x, b.y) * a;
      den += a;
    }
    npos = Vec2(num.x / den, num.y / den);
  }

  if (!(npos.x >= 0.0f && npos.y >= 0.0f) || !std::isfinite(npos.x) || !std::isfinite(npos.y)) {
    out << "bad position " << npos << std::endl;
    return Vec2();
  }
  pos = npos + Vec2(region.x, region.y);
  return npos - lpos;
}

}  // namespace stemscan
