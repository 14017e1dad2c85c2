#include "refine/stem_top.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace stemscan {
namespace {

// The index of the first point of path[0..end] within `tolerance` of the highest of them
// (where the stem runs level, the start of the level stretch).
std::size_t highestUpTo(const std::vector<Vec2>& path, std::size_t end, const Vec2& up,
                        float tolerance) {
  float peak = -std::numeric_limits<float>::infinity();
  for (std::size_t i = 0; i <= end; ++i) peak = std::max(peak, dot(path[i] - path[0], up));
  std::size_t first = 0;
  while (first < end && dot(path[first] - path[0], up) < peak - tolerance) ++first;
  return first;
}

// True where path[from..to] stays within `tolerance` of the height of path[from].
bool runsLevel(const std::vector<Vec2>& path, std::size_t from, std::size_t to, const Vec2& up,
               float tolerance) {
  for (std::size_t i = from; i <= to; ++i) {
    if (std::abs(dot(path[i] - path[from], up)) > tolerance) return false;
  }
  return true;
}

// The lower quartile of values[from, to).
float lowerQuartile(const std::vector<float>& values, int from, int to) {
  std::vector<float> v(values.begin() + from, values.begin() + std::max(from + 1, to));
  std::nth_element(v.begin(), v.begin() + v.size() / 4, v.end());
  return v[v.size() / 4];
}

// What the tube looks like along a path: the length walked to each point, the depth there and
// the width across the path (measured where first asked for: most of a long path is never
// looked at across); and the stem's own depth and width.
class PathProfile {
 public:
  PathProfile(const Tube& tube, const std::vector<Vec2>& path) : tube_(tube), path_(path) {
    walked.assign(path.size(), 0.0f);
    depths.assign(path.size(), 0.0f);
    widths_.assign(path.size(), -1.0f);
    for (std::size_t i = 0; i < path.size(); ++i) {
      if (i > 0) walked[i] = walked[i - 1] + norm(path[i] - path[i - 1]);
      depths[i] = tube.depth(path[i]);
    }
  }

  float width(std::size_t i) const {
    if (widths_[i] < 0.0f) {
      const std::size_t last = path_.size() - 1;
      const Vec2 t = path_[std::min(i + 4, last)] - path_[i >= 4 ? i - 4 : 0];
      widths_[i] = tube_.widthAcross(path_[i], across(t), kWidthLimit);
    }
    return widths_[i];
  }

  std::vector<float> walked;
  std::vector<float> depths;
  StemSize stem;

 private:
  const Tube& tube_;
  const std::vector<Vec2>& path_;
  mutable std::vector<float> widths_;  // below 0 where not measured yet
};

// The stem's size in `profile`: the lower quartile of the depths and widths 40 to 200 pixels of
// path below point `top`. False where the path below it is too short to tell.
bool measureStem(std::size_t top, PathProfile* profile) {
  PathProfile& p = *profile;
  int from = static_cast<int>(top);
  int to = static_cast<int>(top);
  while (from > 0 && p.walked[top] - p.walked[from] < 200.0f) --from;
  while (to > 0 && p.walked[top] - p.walked[to] < 40.0f) --to;
  if (to - from < 4) return false;
  std::vector<float> widths;
  for (int i = from; i < to; ++i) widths.push_back(p.width(static_cast<std::size_t>(i)));
  p.stem = StemSize{lowerQuartile(p.depths, from, to),
                    lowerQuartile(widths, 0, static_cast<int>(widths.size()))};
  return true;
}

// The apex of an arch: the middle of the level stretch that starts at path[first], where the
// stem runs on within the tolerance of its height up to `end` (no wider than where a junction
// begins) and then down again; `first` where it does not run down again.
std::size_t middleOfLevel(const std::vector<Vec2>& path, const PathProfile& profile,
                          std::size_t first, std::size_t end, const Vec2& up,
                          const RefineSettings& settings) {
  auto height = [&](std::size_t i) { return dot(path[i] - path[0], up); };
  std::size_t level = first;
  while (level < end && profile.width(level + 1) <= settings.wideningStart * profile.stem.width &&
         !deeperThanStem(profile.depths[level + 1], profile.stem, settings) &&
         std::abs(height(level + 1) - height(first)) <= settings.levelTolerance) {
    ++level;
  }
  const bool down = level < end && height(level + 1) < height(first) - settings.levelTolerance;
  if (down) return (first + level) / 2;
  // A stem that rises to the very end of the path ends at its highest point, not at the first
  // point within the tolerance of it.
  if (level == end &&
      profile.walked[end] - profile.walked[first] <= 2.0f * settings.levelTolerance) {
    return highestUpTo(path, end, up, 0.0f);
  }
  return first;
}

// The furthest the tube runs on from p within 30 degrees of the unit direction d, up to `limit`.
float furthestRunAbout(const Tube& tube, const Vec2& p, const Vec2& d, float limit) {
  constexpr float kDegree = 3.14159265f / 180.0f;
  float furthest = 0.0f;
  for (float degrees : {-30.0f, -15.0f, 0.0f, 15.0f, 30.0f}) {
    const float c = std::cos(degrees * kDegree);
    const float s = std::sin(degrees * kDegree);
    furthest =
        std::max(furthest, tube.runFrom(p, Vec2(d.x * c - d.y * s, d.x * s + d.y * c), limit));
  }
  return furthest;
}

// Whether the path's last stretch up to path[end] is a straight side branch that left the stem's
// own line at *turn: the branch longer than the stem is wide and at an angle of more than 30
// degrees to the stem below it, and the tube at the turn running on across the stem's line (within
// 30 degrees) to both sides for more than a stem width (two cotyledons; a hook's arch runs on to
// one side only).
bool turnedOffStem(const Tube& tube, const std::vector<Vec2>& path, const PathProfile& profile,
                   std::size_t end, std::size_t* turn) {
  const std::vector<float>& walked = profile.walked;
  const float width = profile.stem.width;
  // The branch: the longest stretch up to `end` that keeps within a pixel and a half of its chord
  // (a cotyledon is no longer than a few stem widths: the search stops at eight).
  std::size_t from = end;
  for (std::size_t k = end; k-- > 0 && walked[end] - walked[k] <= 8.0f * width;) {
    const Vec2 chord = path[end] - path[k];
    const float length = norm(chord);
    if (length <= 0.0f) continue;
    const Vec2 n = across(chord);
    bool straight = true;
    for (std::size_t i = k + 1; i < end && straight; ++i) {
      straight = std::abs(dot(path[i] - path[k], n)) <= 1.5f;
    }
    if (!straight) break;
    from = k;
  }
  if (walked[end] - walked[from] <= width) return false;
  // The stem below the turn, over two stem widths.
  std::size_t below = from;
  while (below > 0 && walked[from] - walked[below] < 2.0f * width) --below;
  const Vec2 stem = path[from] - path[below];
  const Vec2 branch = path[end] - path[from];
  if (norm(stem) <= 0.0f || dot(stem, branch) > 0.866f * norm(stem) * norm(branch)) return false;
  // Where the branch left the stem's line the tube runs on to both sides: at the branch's
  // first point, or up to two stem widths below it where the path crossed the junction first.
  const Vec2 side = across(stem);
  const float limit = 4.0f * width;
  for (std::size_t i = from; i > 0 && walked[from] - walked[i] <= 2.0f * width; --i) {
    if (furthestRunAbout(tube, path[i], side, limit) > width &&
        furthestRunAbout(tube, path[i], side * -1.0f, limit) > width) {
      *turn = i;
      return true;
    }
  }
  return false;
}

}  // namespace

// Where the tube is clearly deeper than the stem: by a share of its depth, and by more than a
// pixel.
bool deeperThanStem(float depth, const StemSize& stem, const RefineSettings& settings) {
  return depth > std::max(settings.widening * stem.depth, stem.depth + 1.0f);
}

// Where the tube has clearly widened past the stem: deeper than it, or much wider across.
bool widerThanStem(float depth, float width, const StemSize& stem, const RefineSettings& settings) {
  return deeperThanStem(depth, stem, settings) || width > settings.crossWidening * stem.width;
}

// The unit vector across direction t (to its left as the image shows it); (1, 0) where t is
// no direction.
Vec2 across(const Vec2& t) {
  return norm(t) > 0.0f ? Vec2(-t.y, t.x) * (1.0f / norm(t)) : Vec2(1.0f, 0.0f);
}

PathTop topOnPath(const Tube& tube, const std::vector<Vec2>& path, const Vec2& up,
                  const Vec2& tracked, const RefineSettings& settings) {
  const std::size_t last = path.size() - 1;
  const std::size_t highest = highestUpTo(path, last, up, settings.levelTolerance);
  PathProfile profile(tube, path);
  if (!measureStem(highest, &profile)) {
    return PathTop{highest, StemSize(), false, TopRule::kShortPath};
  }
  const std::vector<float>& walked = profile.walked;
  const StemSize& size = profile.stem;
  auto wide = [&](std::size_t i) {
    return widerThanStem(profile.depths[i], profile.width(i), size, settings);
  };
  const std::size_t apex = middleOfLevel(path, profile, highest, last, up, settings);
  // A path that rises up to its end (within a stem width) may have turned off the stem into a
  // cotyledon no wider than the stem: the stem's top lies where it turned.
  std::size_t turn = 0;
  auto offStem = [&](std::size_t* at) {
    return walked[last] - walked[apex] <= size.width &&
           turnedOffStem(tube, path, profile, apex, at);
  };
  // The deepest point of the path's last stretch up to the highest point: where it is no
  // deeper than the stem, the path ends on the stem (the apex of a hook).
  const float reach = settings.junctionReach * size.width;
  std::size_t deepest = highest;
  for (std::size_t i = highest; i > 0 && walked[highest] - walked[i] <= reach; --i) {
    if (profile.depths[i] > profile.depths[deepest]) deepest = i;
  }
  if (!wide(deepest)) {
    // A path that runs level from its highest point to its end, further than the stem is wide,
    // has turned off the stem into a side branch no thicker than the stem (a cotyledon): the
    // stem's top lies on the stem's own line, where the path turned.
    if (apex == highest && walked[last] - walked[highest] > size.width &&
        runsLevel(path, highest, last, up, settings.levelTolerance)) {
      // Where it rose into the level run off the stem's line, it turned there.
      turn = apex;
      turnedOffStem(tube, path, profile, apex, &turn);
      return PathTop{turn, size, true, TopRule::kLevelSideBranch};
    }
    // One held up at an angle rises to the path's end instead.
    if (offStem(&turn)) return PathTop{turn, size, true, TopRule::kRaisedSideBranch};
    return PathTop{apex, size, false, TopRule::kHookApex};
  }
  // Down to where the widening starts; a wide stretch reaching further down is a hook lying
  // against its cotyledons, no junction: the hook's arch runs on beyond it as stem. Where the
  // path ends less than a stem width beyond the wide stretch, it ends in a cotyledon's tip, and
  // the wide stretch is the cotyledons themselves, however long (large cotyledons on a thin
  // stem, at a low threshold).
  std::size_t upper = deepest;
  while (upper < last && wide(upper + 1)) ++upper;
  const bool cotyledons = walked[last] - walked[upper] < size.width;
  std::size_t start = deepest;
  while (start > 0 && wide(start)) {
    if (!cotyledons && walked[highest] - walked[start] > reach) {
      // Or a cotyledon held up at an angle, hardly wider than the stem.
      return offStem(&turn) ? PathTop{turn, size, true, TopRule::kRaisedSideBranch}
                            : PathTop{apex, size, false, TopRule::kHookAgainstCotyledons};
    }
    --start;
  }
  // The widening begins a little lower, where the tube is already somewhat wider than the
  // stem (the junction is found with the strict measure, placed with the loose one).
  const std::size_t strict = start;
  while (start > 0 && walked[strict] - walked[start - 1] <= size.width &&
         profile.width(start) > settings.wideningStart * size.width) {
    --start;
  }
  // A stem does not shrink from one image to the next: a junction further from the tracked top
  // than the far end of the tube may lie (or than the stem is wide, on a thicker stem) is a
  // closed hook seen as one dark blob with the cotyledons pressed against it (a high
  // threshold fills the gap between them); its top is the hook's apex.
  if (norm(path[start] - tracked) > std::max(settings.topReach, 2.0f * size.depth)) {
    return PathTop{apex, size, false, TopRule::kFarJunction};
  }
  // Where the stem rises up to the junction, the top is where the stem widens; where it runs
  // level or down again below it (a hook), the top is the hook's apex.
  const std::size_t top = highestUpTo(path, start, up, settings.levelTolerance);
  if (walked[start] - walked[top] > size.depth) {
    return PathTop{middleOfLevel(path, profile, top, start, up, settings), size, false,
                   TopRule::kHookBelowJunction};
  }
  // Where the path turned off the stem into a cotyledon hardly wider than the stem (at a
  // threshold that thins it), the widening found may lie more than a stem width beyond the turn,
  // in the cotyledon: the stem's top lies where the path turned.
  if (offStem(&turn) && walked[start] - walked[turn] > size.width) {
    return PathTop{turn, size, true, TopRule::kTurnBeforeWidening};
  }
  return PathTop{start, size, true, TopRule::kWidening};
}

}  // namespace stemscan
