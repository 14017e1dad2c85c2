#include "refine/stem_refiner.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "refine/stem_base.h"
#include "refine/stem_collar.h"
#include "refine/stem_fork.h"
#include "refine/stem_loop.h"
#include "refine/stem_top.h"
#include "refine/stem_tube.h"
#include "snake/contour.h"
#include "util/rect.h"

namespace stemscan {
namespace {

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
  const Contour path(line);
  if (path.length() <= 8.0f * radius) return false;
  const Vec2 a = path.pointAt(2.0f * radius);
  const Vec2 b = path.pointAt(6.0f * radius);
  const Vec2 d = (a - b) * (1.0f / std::max(1e-3f, norm(a - b)));
  const Vec2 n(-d.y, d.x);
  for (float s = 2.0f * radius; s <= 6.0f * radius; s += 1.0f) {
    if (std::abs(dot(path.pointAt(s) - a, n)) > std::max(1.0f, 0.25f * radius)) return false;
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

// A closed hook with its cotyledons pressed against it shows as one dark blob, thicker than the
// stem, and a path up the blob ends in its middle, where its middle line ends: deeper in it than
// the stem (`stemDepth`). The hook's apex lies higher, as deep as the stem below the blob's upper
// edge. From a path's last point that deep the top climbs there, each step to the deepest of the
// three pixels above (straight up first), while that is as deep as the stem, and no higher than
// a little above `tracked` (where the top was carried from the last image): up a blob of
// cotyledons the climb would run on into them. `tube` is the one the path was found on: where it
// is coarse, a speck of light inside the blob does not stop the climb.
void climbToApex(const Tube& tube, float stemDepth, const Vec2& tracked,
                 const RefineSettings& settings, std::vector<Vec2>* path) {
  const float scale = static_cast<float>(tube.scale());
  cv::Point q = tube.local(path->back());
  if (stemDepth <= 0.0f || tube.depth(q.x, q.y) * scale <= settings.widening * stemDepth) return;
  const float highest = tracked.y - settings.climbAboveTracked * stemDepth;
  while (true) {
    cv::Point next = q;
    float deepest = 0.0f;
    for (int dx : {0, -1, 1}) {
      const float d = tube.depth(q.x + dx, q.y - 1);
      if (d > deepest) {
        deepest = d;
        next = cv::Point(q.x + dx, q.y - 1);
      }
    }
    if (deepest * scale < stemDepth || tube.global(next.x, next.y).y < highest) return;
    q = next;
    path->push_back(tube.global(q.x, q.y));
  }
}

// A stem does not run from its cotyledons on into a neck much thinner than itself (no deeper
// than two thirds of its radius, for more than a stem width, beginning within a stem width of
// where the tube is deeper than the stem): there the path has passed into something touching
// the cotyledons, such as the root of a seedling in the row above. The path ends where such a
// neck begins. Necks are looked for only within reach of `near`, where the top was carried,
// with the cotyledons: lower down, a thin stretch is the stem's own, at a threshold that breaks
// it up.
void endBeforeNeck(const Tube& tube, float radius, const Vec2& near, const RefineSettings& settings,
                   std::vector<Vec2>* path) {
  const StemSize stem{radius, 0.0f};
  const float thin = radius * 2.0f / 3.0f;
  const float width = 2.0f * radius;
  float walked = 0.0f;
  float deeper = -std::numeric_limits<float>::infinity();  // walked to the last deeper point
  float neckFrom = -1.0f;  // walked to where the neck began; below 0 outside a neck
  std::size_t neckStart = 0;
  for (std::size_t i = 1; i < path->size(); ++i) {
    walked += norm((*path)[i] - (*path)[i - 1]);
    const float depth = tube.depth((*path)[i]);
    if (deeperThanStem(depth, stem, settings)) deeper = walked;
    if (depth > thin) {
      neckFrom = -1.0f;
    } else if (neckFrom < 0.0f) {
      if (walked - deeper <= width && norm((*path)[i] - near) <= settings.topReach) {
        neckFrom = walked;
        neckStart = i;
      }
    } else if (walked - neckFrom > width) {
      path->resize(neckStart);
      return;
    }
  }
}

// What the fit sees of a stem: its tube (and the tube its path is looked for on), the grey
// image, its base on the centreline and its radius.
struct StemView {
  const Tube& tube;
  const Tube& searched;
  const cv::Mat& grey;
  Vec2 base;
  float radius;
};

// The stem's centreline from its top, on the path through the tube to the far end near `near`,
// down to its base; empty where no path joins them.
std::vector<Vec2> centrelineFrom(const StemView& stem, const Vec2& near,
                                 const RefineSettings& settings, TopRule* rule) {
  const int reach = static_cast<int>(settings.topReach);
  std::vector<Vec2> path = pathToFarEnd(stem.searched, stem.base, near, reach);
  if (path.size() < 2) return {};
  path = stemSideOfLoop(stem.searched, stem.grey, std::move(path), near, reach, stem.radius,
                        settings.lighterStem);
  endBeforeNeck(stem.tube, stem.radius, near, settings, &path);
  if (path.size() < 2) return {};
  const Vec2 up(0.0f, -1.0f);  // seedlings grow up the plate
  const PathTop top = topOnPath(stem.tube, path, up, near, settings);
  *rule = top.rule;
  path.resize(top.index + 1);
  if (!top.atJunction) climbToApex(stem.searched, top.stem.depth, near, settings, &path);
  std::reverse(path.begin(), path.end());  // from the top down to the base
  path.back() = stem.base;
  std::vector<Vec2> centreline = smoothed(path, 3);
  if (!top.atJunction || !ontoStemLine(stem.tube, &centreline, top.stem, settings)) {
    centreline.front() = centredAcross(stem.tube, centreline);
  }
  return centreline;
}

// Light specks inside the stem: light pixels (128 or more in `mask`) whose four neighbours are
// all dark, within two pixels of points every 5 px along the contour. A whole stem has none
// (cry1's contours have at most three at threshold 70); a noisy photograph thresholded far
// below the stems' grey has many.
int specksAlong(const cv::Mat& mask, const std::vector<Vec2>& line) {
  auto dark = [&mask](int x, int y) { return mask.at<uchar>(y, x) < 128; };
  int specks = 0;
  auto countAround = [&](const Vec2& p) {
    const int cx = static_cast<int>(p.x);
    const int cy = static_cast<int>(p.y);
    for (int y = std::max(1, cy - 2); y <= std::min(mask.rows - 2, cy + 2); ++y) {
      for (int x = std::max(1, cx - 2); x <= std::min(mask.cols - 2, cx + 2); ++x) {
        if (!dark(x, y) && dark(x - 1, y) && dark(x + 1, y) && dark(x, y - 1) && dark(x, y + 1)) {
          ++specks;
        }
      }
    }
  };
  const Contour contour(line);
  const float total = contour.length();
  for (float at = 0.0f; at <= total; at += 5.0f) countAround(contour.pointAt(at));
  return specks;
}

}  // namespace

bool refineOnStem(Snake& snake, const cv::Mat& mask, const cv::Mat& grey, BaseKind baseKind,
                  const RefineSettings& settings, RefineReport* report) {
  if (snake.pointCount() < 2 || mask.empty() || mask.type() != CV_8UC1) return false;
  if (!settings.Check().empty()) return false;
  std::vector<Vec2> line(snake.points.begin(), snake.points.begin() + snake.pointCount());
  std::vector<cv::Point2f> corners;
  for (const Vec2& p : line) corners.emplace_back(p.x, p.y);
  cv::Rect box = cv::boundingRect(corners);
  // Without a base from the user, the stem is followed down to its end, or to the image's edge.
  const bool baseFromUser = baseKind != BaseKind::kFound;
  const int side = baseFromUser ? settings.margin : 2 * settings.margin;
  box.x -= side;
  box.y -= settings.margin;
  box.width += 2 * side;
  box.height = baseFromUser ? box.height + 2 * settings.margin : mask.rows;
  box &= cv::Rect(0, 0, mask.cols, mask.rows);
  if (box.width < 3 || box.height < 3) return false;
  // Specks of light inside a stem would make its tube porous and shallow: where there are many,
  // each pixel of the box (and of a little around it, which a coarse tube reads) first takes
  // the majority of its 3 x 3 neighbourhood, twice: where a third of a stem's pixels came out
  // light, one pass still leaves a sixth of them light.
  const cv::Mat* stem = &mask;
  cv::Mat cleaned;
  if (specksAlong(mask, line) >= settings.specks) {
    cleaned.create(mask.size(), CV_8UC1);
    // A coarse search tube starts on a whole coarse pixel: up to kMaxSearchScale - 1 pixels
    // before the box.
    const cv::Rect around =
        grownWithin(box, 2 + kMaxSearchScale - 1, cv::Rect(0, 0, mask.cols, mask.rows));
    cv::Mat part = cleaned(around);
    cv::Mat once;
    cv::medianBlur(mask(around), once, 3);
    cv::medianBlur(once, part, 3);
    stem = &cleaned;
  }
  const Tube tube(*stem, box);

  // The stem's radius, about: the median depth under the contour as it was.
  std::vector<float> under;
  for (const Vec2& p : line) under.push_back(tube.depth(p));
  std::nth_element(under.begin(), under.begin() + under.size() / 2, under.end());
  const float radius = under[under.size() / 2];
  // A stem stands out of a light background within the box; where the contour lies in dark as
  // wide as the box (a threshold that makes almost everything dark), there is no stem to follow,
  // and the searches below, whose reach grows with the radius, would run over the whole image.
  if (2.0f * radius > static_cast<float>(std::min(box.width, box.height))) return false;
  // The base back on the centreline, at its own height or on the narrowing it was carried to.
  const Vec2 tracked = line.front();
  Vec2 base = line.back();
  const int reach = static_cast<int>(settings.topReach);
  if (baseKind == BaseKind::kFound) {
    if (!findBase(tube, tracked, reach, radius, &base)) return false;
    // The radius comes from the contour as it was; where that ran on into something wider than
    // the stem (the bulge at a root's top, a crossing line), a thin stem falls short of the
    // depth followed and seems to end well above the contour's base: it is followed again at
    // half that depth.
    Vec2 deeper;
    if (base.y < line.back().y - 2.0f * radius &&
        findBase(tube, tracked, reach, radius / 2.0f, &deeper) && deeper.y > base.y) {
      base = deeper;
    }
  }
  if (baseKind == BaseKind::kTracked) narrowingNear(tube, base, radius, &base);
  if (!centreOnRow(tube, base, 12.0f, &base)) return false;
  const Tube searched = searchTube(*stem, tube, radius);
  const StemView view{tube, searched, grey, base, radius};
  TopRule rule = TopRule::kShortPath;
  std::vector<Vec2> centreline = centrelineFrom(view, tracked, settings, &rule);
  // A stem does not shrink from one image to the next: where the tracker carried the top off
  // the stem, or far down it (the features round a hook's apex are few), the top is looked for
  // again where it was, and the longer stem kept.
  float total = Contour(centreline).length();
  if (centreline.empty() || total < Contour(line).length(1) - 2.0f * radius) {
    TopRule againRule = TopRule::kShortPath;
    std::vector<Vec2> again = centrelineFrom(view, line[1], settings, &againRule);
    const float longer = Contour(again).length();
    if (longer > total) {
      centreline = std::move(again);
      total = longer;
      rule = againRule;
    }
  }
  // A path of a stem radius or less found no stem: where the top and the base were taken in
  // one blob (open cotyledons around a thin stem), the plain fit does better.
  if (centreline.empty() || total <= std::max(1.0f, radius)) return false;
  // A light-grown seedling's top is where its stem forks into the petioles.
  if (const std::optional<float> fork =
          forkBelowTop(tube, centreline, radius, Vec2(0.0f, -1.0f), settings.petioleReach)) {
    centreline = Contour(centreline).from(*fork);
    rule = TopRule::kFork;
    total = Contour(centreline).length();
  }
  // Where nobody set the base, the hypocotyl ends at its collar when the root shows below it;
  // otherwise where its stem ends, or at the image's edge.
  bool collar = false;
  if (baseKind == BaseKind::kFound) {
    const Collar found = collarOnCentreline(tube, grey, centreline, settings);
    if (found.found) centreline = Contour(centreline).upTo(found.at);
    collar = found.found;
    total = Contour(centreline).length();
  }
  const int n = std::clamp(static_cast<int>(std::lround(total / settings.pointSpacing)) + 1,
                           settings.minPoints, Snake::kMaxPoints);
  snake.clear();
  for (const Vec2& p : Contour(std::move(centreline)).resampled(n)) snake.append(p);
  snake.topTracker.pos = snake.point(0);
  snake.baseTracker.pos = snake.lastPoint();
  if (report != nullptr) *report = RefineReport{rule, collar};
  return true;
}

}  // namespace stemscan
