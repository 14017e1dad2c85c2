#include "refine/stem_refiner.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "refine/stem_tube.h"

namespace stemscan {
namespace {

float lengthOf(const std::vector<Vec2>& line) {
  float total = 0.0f;
  for (std::size_t i = 1; i < line.size(); ++i) total += norm(line[i] - line[i - 1]);
  return total;
}

// The point at arc length `at` from the start of the polyline (clamped to it).
Vec2 along(const std::vector<Vec2>& line, float at) {
  for (std::size_t i = 1; i < line.size(); ++i) {
    const float piece = norm(line[i] - line[i - 1]);
    if (at <= piece && piece > 0.0f) return line[i - 1] + (line[i] - line[i - 1]) * (at / piece);
    at -= piece;
  }
  return line.back();
}

// The offset, within half a pixel, of the top of the parabola through the depths a, b, c at -1,
// 0 and +1 (0 where b is no crest).
float crestOffset(float a, float b, float c) {
  const float bend = a - 2.0f * b + c;
  return bend < 0.0f ? std::clamp(0.5f * (a - c) / bend, -0.5f, 0.5f) : 0.0f;
}

// The middle of the dark run through (or nearest to) p along its row, within reach: the
// deepest pixel, to a fraction of a pixel; p keeps its height.
bool centreOnRow(const Tube& tube, const Vec2& p, float reach, Vec2* centre) {
  const cv::Point q = tube.local(p);
  int best = -1;
  float bestDepth = 0.0f;
  for (int dx = 0; dx <= static_cast<int>(reach); ++dx) {
    for (int x : {q.x - dx, q.x + dx}) {
      const float d = tube.depth(x, q.y);
      if (d > bestDepth + 1e-3f) {
        bestDepth = d;
        best = x;
      }
    }
  }
  if (best < 0) return false;
  const float shift = crestOffset(tube.depth(best - 1, q.y), bestDepth, tube.depth(best + 1, q.y));
  *centre = Vec2(tube.global(best, q.y).x + shift, p.y);
  return true;
}

// Averages each point of a pixel path with its neighbours, taking the staircase out.
std::vector<Vec2> smoothed(const std::vector<Vec2>& path, int half) {
  std::vector<Vec2> out(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    const int from = std::max(0, static_cast<int>(i) - half);
    const int to = std::min(static_cast<int>(path.size()) - 1, static_cast<int>(i) + half);
    Vec2 sum(0.0f, 0.0f);
    for (int k = from; k <= to; ++k) sum += path[k];
    out[i] = sum * (1.0f / static_cast<float>(to - from + 1));
  }
  if (!path.empty()) {
    out.front() = path.front();
    out.back() = path.back();
  }
  return out;
}

// Where the stem ends below when nobody set its base: the lowest point of the tube, kept to
// pixels as deep as a good part of the stem's radius (so that a thinner root does not count).
// The stem is the one under the top: the deepest pixel within 12 px of it, or, where the
// tracker carried the top off the stem (a step too large for it to follow), within `reach`.
bool findBase(const Tube& tube, const Vec2& top, int reach, Vec2* base) {
  const cv::Point near = tube.local(top);
  cv::Point start(-1, -1);
  float deepest = 0.0f;
  for (int radius : {12, std::max(12, reach)}) {
    for (int y = near.y - radius; y <= near.y + radius; ++y) {
      for (int x = near.x - radius; x <= near.x + radius; ++x) {
        if (tube.depth(x, y) > deepest) {
          deepest = tube.depth(x, y);
          start = cv::Point(x, y);
        }
      }
    }
    if (start.x >= 0) break;
  }
  if (start.x < 0) return false;
  cv::Mat reached;
  cv::compare(tube.depthMap(), static_cast<double>(0.4f * deepest), reached, cv::CMP_GT);
  cv::floodFill(reached, start, 128, nullptr, 0, 0, 8);
  int lowest = -1;
  for (int y = reached.rows - 1; y >= 0 && lowest < 0; --y) {
    const uchar* row = reached.ptr<uchar>(y);
    for (int x = 0; x < reached.cols && lowest < 0; ++x) {
      if (row[x] == 128) lowest = y * reached.cols + x;
    }
  }
  if (lowest < 0) return false;
  *base = tube.global(lowest % tube.cols(), lowest / tube.cols());
  return true;
}

// The stem's depth along its middle and its width across.
struct StemSize {
  float depth = 0.0f;
  float width = 0.0f;
};

constexpr float kWidthLimit = 200.0f;  // pixels each way that a width across is followed

// Where the tube has clearly widened past the stem: deeper than it, or much wider across.
bool widerThanStem(float depth, float width, const StemSize& stem, const RefineSettings& settings) {
  return depth > settings.widening * stem.depth || width > settings.crossWidening * stem.width;
}

// The unit vector across direction t (to its left as the image shows it); (1, 0) where t is
// no direction.
Vec2 across(const Vec2& t) {
  return norm(t) > 0.0f ? Vec2(-t.y, t.x) * (1.0f / norm(t)) : Vec2(1.0f, 0.0f);
}

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
         profile.depths[level + 1] <= settings.widening * profile.stem.depth &&
         std::abs(height(level + 1) - height(first)) <= settings.levelTolerance) {
    ++level;
  }
  const bool down = level < end && height(level + 1) < height(first) - settings.levelTolerance;
  if (down) return (first + level) / 2;
  // A stem that rises to the very end of the path ends at its highest point, not at the first
  // point within the tolerance of it.
  if (level == end &&
      profile.walked[end] - profile.walked[first] <= 2.0f * settings.levelTolerance) {
    std::size_t peak = first;
    for (std::size_t i = first; i <= end; ++i) {
      if (height(i) > height(peak)) peak = i;
    }
    return peak;
  }
  return first;
}

// The index of the top on a path from the base up through the tube: the highest point of the
// stem (the apex of a hook: the middle of the arch where the stem runs level and then down
// again). Where the highest point of the path lies where the tube is wider than the stem (in
// the cotyledons), the stem ends where that widening starts, and the top is the highest point
// of the stem below it. A junction far from `tracked` (where the top was carried from the last
// image) is not taken.
// `stem` is set where the top is at that junction or where the path turned off the stem into a
// side branch, and left zero otherwise.
std::size_t topOnPath(const Tube& tube, const std::vector<Vec2>& path, const Vec2& up,
                      const Vec2& tracked, const RefineSettings& settings, StemSize* stem) {
  *stem = StemSize();
  const std::size_t last = path.size() - 1;
  const std::size_t highest = highestUpTo(path, last, up, settings.levelTolerance);
  PathProfile profile(tube, path);
  if (!measureStem(highest, &profile)) return highest;
  const std::vector<float>& walked = profile.walked;
  const StemSize& size = profile.stem;
  auto wide = [&](std::size_t i) {
    return widerThanStem(profile.depths[i], profile.width(i), size, settings);
  };
  const std::size_t apex = middleOfLevel(path, profile, highest, last, up, settings);
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
      *stem = size;
    }
    return apex;
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
    if (!cotyledons && walked[highest] - walked[start] > reach) return apex;
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
  if (norm(path[start] - tracked) > std::max(settings.topReach, 2.0f * size.depth)) return apex;
  // Where the stem rises up to the junction, the top is where the stem widens; where it runs
  // level or down again below it (a hook), the top is the hook's apex.
  const std::size_t top = highestUpTo(path, start, up, settings.levelTolerance);
  if (walked[start] - walked[top] > size.depth) {
    return middleOfLevel(path, profile, top, start, up, settings);
  }
  *stem = size;
  return start;
}

// The top of the line (a pixel) moved across the line to the middle of the tube, to a fraction
// of a pixel.
Vec2 centredAcross(const Tube& tube, const std::vector<Vec2>& line) {
  const Vec2 top = line.front();
  const Vec2 t = line[std::min<std::size_t>(4, line.size() - 1)] - top;
  if (norm(t) <= 0.0f) return top;
  const Vec2 n = across(t);
  return top + n * crestOffset(tube.depth(top - n), tube.depth(top), tube.depth(top + n));
}

// Where the stem meets the cotyledons the path swerves: the top goes back onto the line of the
// stem just below it, up to where the tube widens around that line, and the swerve is left out.
// Only a straight stem has such a line: false where the stem bends below the top or is short.
bool ontoStemLine(const Tube& tube, std::vector<Vec2>* centreline, const StemSize& stem,
                  const RefineSettings& settings) {
  std::vector<Vec2>& line = *centreline;
  const float radius = stem.depth;
  if (lengthOf(line) <= 8.0f * radius) return false;
  const Vec2 a = along(line, 2.0f * radius);
  const Vec2 b = along(line, 6.0f * radius);
  const Vec2 d = (a - b) * (1.0f / std::max(1e-3f, norm(a - b)));
  const Vec2 n(-d.y, d.x);
  for (float s = 2.0f * radius; s <= 6.0f * radius; s += 1.0f) {
    if (std::abs(dot(along(line, s) - a, n)) > std::max(1.0f, 0.25f * radius)) return false;
  }
  // The path's own widening point lies up to a stem radius up in the junction, where the path
  // swerves; along the stem's line the widening shows first.
  const float onPath = dot(line.front() - a, d);
  Vec2 top = a + d * onPath;
  for (float s = std::max(0.0f, onPath - radius); s <= onPath; s += 0.5f) {
    const Vec2 p = a + d * s;
    if (widerThanStem(tube.depth(p), tube.widthAcross(p, n, kWidthLimit), stem, settings)) {
      top = p;
      break;
    }
  }
  float walked = 0.0f;
  std::size_t below = 1;
  while (below + 1 < line.size() && walked < 2.0f * radius) {
    walked += norm(line[below] - line[below - 1]);
    ++below;
  }
  line.erase(line.begin(), line.begin() + static_cast<long>(below) - 1);
  line.front() = top;
  line.insert(line.begin() + 1, a);
  return true;
}

}  // namespace

bool refineOnStem(Snake& snake, const cv::Mat& mask, bool baseFromUser,
                  const RefineSettings& settings) {
  if (snake.pointCount() < 2 || mask.empty() || mask.type() != CV_8UC1) return false;
  std::vector<Vec2> line(snake.points.begin(), snake.points.begin() + snake.pointCount());
  std::vector<cv::Point2f> corners;
  for (const Vec2& p : line) corners.emplace_back(p.x, p.y);
  cv::Rect box = cv::boundingRect(corners);
  // Without a base from the user, the stem is followed down to its end, or to the image's edge.
  const int side = baseFromUser ? settings.margin : 2 * settings.margin;
  box.x -= side;
  box.y -= settings.margin;
  box.width += 2 * side;
  box.height = baseFromUser ? box.height + 2 * settings.margin : mask.rows;
  box &= cv::Rect(0, 0, mask.cols, mask.rows);
  if (box.width < 3 || box.height < 3) return false;
  const Tube tube(mask, box);

  // The base back on the centreline, at its own height.
  const Vec2 tracked = line.front();
  Vec2 base = line.back();
  const int reach = static_cast<int>(settings.topReach);
  if (!baseFromUser && !findBase(tube, tracked, reach, &base)) return false;
  if (!centreOnRow(tube, base, 12.0f, &base)) return false;
  // The stem's radius, about: the median depth under the contour as it was.
  std::vector<float> under;
  for (const Vec2& p : line) under.push_back(tube.depth(p));
  std::nth_element(under.begin(), under.begin() + under.size() / 2, under.end());
  std::vector<Vec2> path = pathToFarEnd(mask, tube, base, tracked, reach, under[under.size() / 2]);
  if (path.size() < 2) return false;
  const Vec2 up(0.0f, -1.0f);  // seedlings grow up the plate
  StemSize stem;               // set where the top is where the stem widens into the cotyledons
  path.resize(topOnPath(tube, path, up, tracked, settings, &stem) + 1);
  std::reverse(path.begin(), path.end());  // from the top down to the base
  path.back() = base;
  std::vector<Vec2> centreline = smoothed(path, 3);
  if (stem.depth <= 0.0f || !ontoStemLine(tube, &centreline, stem, settings)) {
    centreline.front() = centredAcross(tube, centreline);
  }
  const float total = lengthOf(centreline);
  const int n = std::clamp(static_cast<int>(std::lround(total / settings.pointSpacing)) + 1,
                           settings.minPoints, Snake::kMaxPoints);
  snake.clear();
  for (int i = 0; i < n; ++i) {
    snake.append(along(centreline, total * static_cast<float>(i) / static_cast<float>(n - 1)));
  }
  snake.topTracker.pos = snake.point(0);
  snake.baseTracker.pos = snake.lastPoint();
  return true;
}

}  // namespace stemscan
