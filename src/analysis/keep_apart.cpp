#include "analysis/keep_apart.h"

#include "checks/track_checks.h"

namespace stemscan {
namespace {

std::vector<Vec2> pointsOf(const Snake& s) {
  std::vector<Vec2> points;
  for (int k = 0; k < s.pointCount(); ++k) points.push_back(s.point(k));
  return points;
}

int thresholdOf(const Thresholds& thresholds, int i) {
  return thresholds.of(i) != Thresholds::kNone ? thresholds.of(i) : thresholds.current();
}

}  // namespace

std::vector<ContourBefore> contoursBefore(const std::vector<Snake>& snakes) {
  std::vector<ContourBefore> before;
  for (const Snake& s : snakes)
    before.push_back({pointsOf(s), s.topTracker.pos, s.baseTracker.pos});
  return before;
}

std::vector<bool> keepApart(std::vector<Snake>& snakes, const std::vector<ContourBefore>& before,
                            const Thresholds& thresholds, float sharedShare) {
  const std::size_t n = snakes.size();
  std::vector<bool> putBack(n, false);
  // Each contour's points and stem width once, not once per pair.
  std::vector<std::vector<Vec2>> points(n);
  std::vector<float> width(n, 0.0f);
  for (std::size_t i = 0; i < n; ++i) {
    if (!snakes[i].isInUse()) continue;
    points[i] = pointsOf(snakes[i]);
    width[i] =
        stemWidthAlong(thresholds.grey(), points[i], thresholdOf(thresholds, static_cast<int>(i)));
  }
  auto onto = [&](const std::vector<Vec2>& a, const std::vector<Vec2>& b, float wa, float wb) {
    return runsOnto(a, b, wa, sharedShare) || runsOnto(b, a, wb, sharedShare);
  };
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      if (points[i].empty() || points[j].empty() || putBack[i] || putBack[j]) continue;
      if (!onto(points[i], points[j], width[i], width[j])) continue;
      // Both on one stem already before this image: nothing to choose between.
      if (onto(before[i].points, before[j].points, width[i], width[j])) continue;
      auto moved = [&](std::size_t k) {
        const std::vector<Vec2>& was = before[k].points;
        return was.empty() ? 0.0f : norm(points[k].front() - was.front());
      };
      const std::size_t mover = moved(i) > moved(j) ? i : j;
      const ContourBefore& was = before[mover];
      Snake& s = snakes[mover];
      s.clear();
      for (const Vec2& p : was.points) s.append(p);
      s.topTracker.pos = was.top;
      s.baseTracker.pos = was.base;
      putBack[mover] = true;
    }
  }
  return putBack;
}

}  // namespace stemscan
