#include "checks/track_checks.h"

#include <algorithm>
#include <cmath>

#include "snake/contour.h"

namespace stemscan {
namespace {

constexpr const char* kNames[kTrackFlagCount] = {"merged",   "edge",   "jump",
                                                 "off_stem", "folded", "behind"};
// How far a tracked end may move between two images, whatever the search window.
constexpr float kTrackerReach = 20.0f;

bool darkAt(const cv::Mat& grey, int x, int y, int threshold) {
  return x >= 0 && y >= 0 && x < grey.cols && y < grey.rows && grey.at<uchar>(y, x) <= threshold;
}

bool darkNear(const cv::Mat& grey, const Vec2& p, int threshold, int tolerance) {
  const int cx = static_cast<int>(std::lround(p.x)), cy = static_cast<int>(std::lround(p.y));
  for (int dy = -tolerance; dy <= tolerance; ++dy) {
    for (int dx = -tolerance; dx <= tolerance; ++dx) {
      if (darkAt(grey, cx + dx, cy + dy, threshold)) return true;
    }
  }
  return false;
}

// The stem's width at p: the shortest dark run through p across four directions; 0 where p is
// not dark.
float widthAt(const cv::Mat& grey, const Vec2& p, int threshold) {
  const int cx = static_cast<int>(std::lround(p.x)), cy = static_cast<int>(std::lround(p.y));
  if (!darkAt(grey, cx, cy, threshold)) return 0.0f;
  const int dirs[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
  float narrowest = 1e9f;
  for (const auto& d : dirs) {
    const float step = d[0] != 0 && d[1] != 0 ? 1.41421356f : 1.0f;
    // A run as wide as the narrowest so far cannot be narrower: along the stem, where runs are
    // long, the count stops there.
    int run = 1;
    for (int sign : {-1, 1}) {
      for (int k = 1; k < 200 && run * step < narrowest &&
                      darkAt(grey, cx + sign * k * d[0], cy + sign * k * d[1], threshold);
           ++k) {
        ++run;
      }
    }
    narrowest = std::min(narrowest, run * step);
  }
  return narrowest;
}

float distanceToSegment(const Vec2& p, const Vec2& a, const Vec2& b) {
  const Vec2 ab = b - a;
  const float squared = dot(ab, ab);
  const float t = squared > 0.0f ? std::clamp(dot(p - a, ab) / squared, 0.0f, 1.0f) : 0.0f;
  return norm(p - (a + ab * t));
}

float distanceToContour(const Vec2& p, const std::vector<Vec2>& contour) {
  if (contour.size() == 1) return norm(p - contour[0]);
  float nearest = 1e9f;
  for (std::size_t k = 1; k < contour.size(); ++k) {
    nearest = std::min(nearest, distanceToSegment(p, contour[k - 1], contour[k]));
  }
  return nearest;
}

float median(std::vector<float> values) {
  if (values.empty()) return 0.0f;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

bool merged(const std::vector<TrackState>& tracks, std::size_t i, float width,
            const CheckSettings& settings) {
  for (std::size_t j = 0; j < tracks.size(); ++j) {
    if (j == i || tracks[j].points.empty()) continue;
    if (runsOnto(tracks[i].points, tracks[j].points, width, settings.sharedShare)) return true;
  }
  return false;
}

bool atEdge(const std::vector<Vec2>& points, cv::Size size, float margin) {
  auto outside = [&](const Vec2& p) {
    return p.x < margin || p.y < margin || p.x > size.width - 1 - margin ||
           p.y > size.height - 1 - margin;
  };
  // The base may stand at the border: a stem that runs off the picture is measured up to it.
  for (std::size_t k = 0; k + 1 < points.size(); ++k) {
    if (outside(points[k])) return true;
  }
  return points.size() == 1 && outside(points.front());
}

bool jumped(const TrackState& track, int maxGrowth, const CheckSettings& settings) {
  if (track.before.empty() || track.before.front().empty()) return false;
  std::vector<float> steps, changes;
  for (std::size_t k = 0; k + 1 < track.before.size(); ++k) {
    if (track.before[k].empty() || track.before[k + 1].empty()) continue;
    steps.push_back(norm(track.before[k].front() - track.before[k + 1].front()));
    changes.push_back(
        std::abs(Contour(track.before[k]).length() - Contour(track.before[k + 1]).length()));
  }
  const float reach = std::max(2.0f * maxGrowth, kTrackerReach);
  const float step = norm(track.points.front() - track.before.front().front());
  if (step > reach + settings.stepFactor * median(steps)) return true;
  const float length = Contour(track.points).length();
  const float change = std::abs(length - Contour(track.before.front()).length());
  return change > reach + settings.stepFactor * median(changes) + settings.lengthShare * length;
}

// How far a dark stem as wide as `width` goes on straight past the top, in the direction the
// contour arrives at it (from its point `reach` pixels down), up to `limit` pixels: it ends where
// the dark pixels end, or widen (into cotyledons, a hook's bend).
float stemPastTop(const cv::Mat& grey, const TrackState& track, float width, float reach,
                  float limit) {
  const Contour contour(track.points);
  if (contour.length() <= 0.0f) return 0.0f;
  const Vec2 top = track.points.front();
  const Vec2 from = contour.pointAt(std::min(reach, contour.length()));
  const float span = norm(top - from);
  if (span <= 0.0f) return 0.0f;
  const Vec2 d = (top - from) * (1.0f / span);
  const Vec2 across(-d.y, d.x);
  auto dark = [&](const Vec2& p) {
    return darkAt(grey, static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)),
                  track.threshold);
  };
  const float widest = 1.6f * width + 1.0f;
  float run = 0.0f;
  while (run < limit) {
    const Vec2 p = top + d * (run + 1.0f);
    if (!dark(p)) break;
    float extent = 1.0f;
    for (float side : {-1.0f, 1.0f}) {
      for (float k = 1.0f; k <= widest && dark(p + across * (side * k)); k += 1.0f) extent += 1.0f;
    }
    if (extent > widest) break;
    run += 1.0f;
  }
  return run;
}

}  // namespace

float stemWidthAlong(const cv::Mat& grey, const std::vector<Vec2>& points, int threshold) {
  std::vector<float> widths;
  for (const Vec2& p : points) {
    const float w = widthAt(grey, p, threshold);
    if (w > 0.0f) widths.push_back(w);
  }
  if (widths.empty()) return 5.0f;
  std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
  return widths[widths.size() / 2];
}

bool runsOnto(const std::vector<Vec2>& mine, const std::vector<Vec2>& other, float width,
              float sharedShare) {
  if (mine.empty() || other.empty()) return false;
  // Contours whose boxes lie a width apart share nothing, and most do.
  struct Box {
    Vec2 low, high;
  };
  const auto box = [](const std::vector<Vec2>& line) {
    Box b{line[0], line[0]};
    for (const Vec2& p : line) {
      b.low = Vec2(std::min(b.low.x, p.x), std::min(b.low.y, p.y));
      b.high = Vec2(std::max(b.high.x, p.x), std::max(b.high.y, p.y));
    }
    return b;
  };
  const Box a = box(mine);
  const Box b = box(other);
  if (a.low.x > b.high.x + width || b.low.x > a.high.x + width || a.low.y > b.high.y + width ||
      b.low.y > a.high.y + width) {
    return false;
  }
  if (distanceToContour(mine.front(), other) < width) return true;
  int shared = 0;
  for (const Vec2& p : mine) shared += distanceToContour(p, other) < width / 2.0f ? 1 : 0;
  return shared > sharedShare * static_cast<float>(mine.size());
}

std::string flagText(unsigned flags) {
  std::string text;
  for (int k = 0; k < kTrackFlagCount; ++k) {
    if ((flags & (1u << k)) == 0) continue;
    if (!text.empty()) text += ";";
    text += kNames[k];
  }
  return text;
}

const char* flagName(int k) { return k >= 0 && k < kTrackFlagCount ? kNames[k] : ""; }

std::string CheckSettings::Check() const {
  if (!(onStemShare >= 0.0f && onStemShare <= 1.0f)) return "onStemShare outside [0, 1]";
  if (onStemTolerance < 0) return "onStemTolerance below 0";
  if (!(sharedShare > 0.0f && sharedShare <= 1.0f)) return "sharedShare outside (0, 1]";
  if (!(edgeMargin >= 0.0f)) return "edgeMargin below 0";
  if (!(foldFactor > 1.0f)) return "foldFactor not above 1";
  if (!(behindWidths >= 0.0f) || !(behindPixels > 0.0f)) return "a behind bound not positive";
  if (!(stepFactor >= 0.0f) || !(lengthShare >= 0.0f)) return "a jump bound below 0";
  if (history < 1) return "history below 1";
  return "";
}

std::vector<unsigned> checkTracks(const std::vector<TrackState>& tracks, const cv::Mat& grey,
                                  int maxGrowth, const CheckSettings& settings) {
  std::vector<unsigned> flags(tracks.size(), 0u);
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const TrackState& track = tracks[i];
    if (track.points.empty()) continue;
    const float width = stemWidthAlong(grey, track.points, track.threshold);
    if (merged(tracks, i, width, settings)) flags[i] |= kFlagMerged;
    if (atEdge(track.points, grey.size(), settings.edgeMargin)) flags[i] |= kFlagEdge;
    if (jumped(track, maxGrowth, settings)) flags[i] |= kFlagJump;
    int onStem = 0;
    for (const Vec2& p : track.points) {
      onStem += darkNear(grey, p, track.threshold, settings.onStemTolerance) ? 1 : 0;
    }
    if (onStem < settings.onStemShare * static_cast<float>(track.points.size())) {
      flags[i] |= kFlagOffStem;
    }
    const float behind = std::max(settings.behindWidths * width, settings.behindPixels);
    if (stemPastTop(grey, track, width, 2.0f * width, behind + 1.0f) >= behind) {
      flags[i] |= kFlagBehind;
    }
    const float chord = norm(track.points.front() - track.points.back());
    if (Contour(track.points).length() > settings.foldFactor * std::max(chord, 1.0f)) {
      flags[i] |= kFlagFolded;
    }
  }
  return flags;
}

}  // namespace stemscan
