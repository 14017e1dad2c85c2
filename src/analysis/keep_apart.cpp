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
  std::vector<bool> putBack(snakes.size(), false);
  const int n = static_cast<int>(snakes.size());
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      if (!snakes[i].isInUse() || !snakes[j].isInUse() || putBack[i] || putBack[j]) continue;
      const std::vector<Vec2> a = pointsOf(snakes[i]);
      const std::vector<Vec2> b = pointsOf(snakes[j]);
      const float wa = stemWidthAlong(thresholds.grey(), a, thresholdOf(thresholds, i));
      const float wb = stemWidthAlong(thresholds.grey(), b, thresholdOf(thresholds, j));
      if (!runsOnto(a, b, wa, sharedShare) && !runsOnto(b, a, wb, sharedShare)) continue;
      // Both on one stem already before this image: nothing to choose between.
      if (runsOnto(before[i].points, before[j].points, wa, sharedShare) ||
          runsOnto(before[j].points, before[i].points, wb, sharedShare)) {
        continue;
      }
      auto moved = [&](int k) {
        const std::vector<Vec2>& was = before[static_cast<std::size_t>(k)].points;
        return was.empty() ? 0.0f : norm(snakes[k].point(0) - was.front());
      };
      const int mover = moved(i) > moved(j) ? i : j;
      const ContourBefore& was = before[static_cast<std::size_t>(mover)];
      Snake& s = snakes[mover];
      s.clear();
      for (const Vec2& p : was.points) s.append(p);
      s.topTracker.pos = was.top;
      s.baseTracker.pos = was.base;
      putBack[static_cast<std::size_t>(mover)] = true;
    }
  }
  return putBack;
}

}  // namespace stemscan
