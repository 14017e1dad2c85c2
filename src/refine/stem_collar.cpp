#include "refine/stem_collar.h"

#include <algorithm>
#include <cmath>

#include "refine/stem_top.h"
#include "snake/contour.h"

namespace stemscan {
namespace {

// The grey level at p, read between the pixels around it (the border's outside the image).
float greyAt(const cv::Mat& grey, const Vec2& p) {
  const float x = std::clamp(p.x, 0.0f, static_cast<float>(grey.cols - 1));
  const float y = std::clamp(p.y, 0.0f, static_cast<float>(grey.rows - 1));
  const int x0 = std::min(static_cast<int>(x), std::max(0, grey.cols - 2));
  const int y0 = std::min(static_cast<int>(y), std::max(0, grey.rows - 2));
  const int x1 = std::min(x0 + 1, grey.cols - 1);
  const int y1 = std::min(y0 + 1, grey.rows - 1);
  const float fx = x - static_cast<float>(x0);
  const float fy = y - static_cast<float>(y0);
  const auto g = [&grey](int xx, int yy) { return static_cast<float>(grey.at<uchar>(yy, xx)); };
  return (g(x0, y0) * (1.0f - fx) + g(x1, y0) * fx) * (1.0f - fy) +
         (g(x0, y1) * (1.0f - fx) + g(x1, y1) * fx) * fy;
}

// A line's grey profile across p: its background (the lighter of the two sides beyond
// `reach`, as the other may hold a neighbour) and its core (the darkest within `core` of p).
struct Profile {
  float background = 0.0f;
  float core = 0.0f;
  float contrast() const { return background - core; }
};

Profile profileAcross(const cv::Mat& grey, const Vec2& p, const Vec2& n, float reach, float core) {
  const auto side = [&](float sign) {
    std::vector<float> g;
    for (float o = reach; o <= reach + 4.0f; o += 1.0f) {
      g.push_back(greyAt(grey, p + n * (sign * o)));
    }
    std::nth_element(g.begin(), g.begin() + g.size() / 2, g.end());
    return g[g.size() / 2];
  };
  Profile profile;
  profile.background = std::max(side(-1.0f), side(1.0f));
  profile.core = profile.background;
  for (float o = -core; o <= core; o += 0.5f) {
    profile.core = std::min(profile.core, greyAt(grey, p + n * o));
  }
  return profile;
}

// Twice the distance from p to the nearer edge of the line, where the grey crosses halfway
// between its core and its background; 0 where the core is hardly darker than the background.
float widthAtHalfDepth(const cv::Mat& grey, const Vec2& p, const Vec2& n, float reach) {
  const Profile profile = profileAcross(grey, p, n, reach, 1.0f);
  if (profile.contrast() < 10.0f) return 0.0f;
  const float half = (profile.background + profile.core) / 2.0f;
  float nearer = reach;
  for (float sign : {-1.0f, 1.0f}) {
    float edge = 0.0f;
    while (edge < nearer && greyAt(grey, p + n * (sign * edge)) < half) edge += 0.5f;
    nearer = std::min(nearer, edge);
  }
  return 2.0f * nearer;
}

// How many samples, `step` px apart, span `stemWidths` widths of a stem of `radius` (10 px at
// least).
std::size_t samplesOver(float stemWidths, float radius, float step) {
  return static_cast<std::size_t>(std::max(10.0f, stemWidths * 2.0f * radius) / step);
}

// The `run` widths just above sample k, smallest first: the stem's own stretch there, whose
// median is the stem's width.
std::vector<float> sortedAbove(const std::vector<float>& widths, std::size_t k, std::size_t run) {
  std::vector<float> above(widths.begin() + static_cast<long>(k - run),
                           widths.begin() + static_cast<long>(k));
  std::sort(above.begin(), above.end());
  return above;
}

// Where the line runs on into a root: the arc length where the narrowing begins.
// `widths` are read every `step` px along the line, from the top; `from` is in samples.
std::optional<float> narrowing(const std::vector<float>& widths, std::size_t from, float radius,
                               float step, const RefineSettings& settings) {
  const std::size_t run = samplesOver(settings.collarRun, radius, step);
  for (std::size_t k = from + run; k + run / 2 <= widths.size(); ++k) {
    // Nothing narrows here unless the line is thin against the widest of the stem above.
    const auto begin = widths.begin() + static_cast<long>(k - run);
    const auto end = widths.begin() + static_cast<long>(k);
    if (!(widths[k] < settings.collarNarrowing * *std::max_element(begin, end))) continue;
    const std::vector<float> above = sortedAbove(widths, k, run);
    const float stemWidth = above[above.size() / 2];
    const float thin = settings.collarNarrowing * stemWidth;
    if (!(widths[k] < thin)) continue;
    // Above the collar the stem keeps its width: where it was much wider a little higher up,
    // the line comes out of something wider than a stem (a hook with its cotyledons).
    if (above[above.size() / 4] < settings.collarEven * stemWidth) continue;
    std::size_t narrow = 0;
    for (std::size_t j = k; j < widths.size(); ++j) narrow += widths[j] < thin ? 1 : 0;
    if (static_cast<float>(narrow) < settings.collarShare * static_cast<float>(widths.size() - k)) {
      continue;
    }
    // The collar is where the narrowing begins: up the line to the stem's full width, within
    // two stem radii.
    std::size_t begins = k;
    const auto limit = static_cast<std::size_t>(2.0f * radius / step);
    while (begins > 0 && k - begins < limit && widths[begins - 1] < 0.9f * stemWidth) --begins;
    return step * static_cast<float>(begins > 0 ? begins - 1 : 0);
  }
  return std::nullopt;
}

// Where the stem runs into something wider that goes on (the bulge at a light-grown root's
// top, where its dense root hairs begin): the arc length where the widening begins. A crossing
// line (a printed grid line, a neighbour's root) is wide for its own thickness only.
std::optional<float> widening(const std::vector<float>& widths, std::size_t from, float radius,
                              float step, const RefineSettings& settings) {
  const std::size_t run = samplesOver(settings.collarWideRun, radius, step);
  // Root hairs come and go along the line: each width is taken as the widest near it.
  const auto spread =
      static_cast<std::size_t>(std::max(1.0f, settings.collarHairSpread * radius / step));
  std::vector<float> fuller(widths.size());
  for (std::size_t k = 0; k < widths.size(); ++k) {
    fuller[k] = *std::max_element(
        widths.begin() + static_cast<long>(k > spread ? k - spread : 0),
        widths.begin() + static_cast<long>(std::min(widths.size(), k + spread + 1)));
  }
  for (std::size_t k = from + run; k + run <= widths.size(); ++k) {
    const auto begin = widths.begin() + static_cast<long>(k - run);
    const auto end = widths.begin() + static_cast<long>(k);
    if (!(fuller[k] > settings.collarWidening * *std::min_element(begin, end))) continue;
    const std::vector<float> above = sortedAbove(widths, k, run);
    const float stemWidth = above[above.size() / 2];
    const float wide = settings.collarWidening * stemWidth;
    if (!(fuller[k] > wide) || above[above.size() / 4] < settings.collarEven * stemWidth ||
        above[above.size() * 3 / 4] * settings.collarEven > stemWidth) {
      continue;
    }
    std::size_t wider = 0;
    for (std::size_t j = k; j < k + run; ++j) wider += fuller[j] > wide ? 1 : 0;
    if (static_cast<float>(wider) < settings.collarWideShare * static_cast<float>(run)) continue;
    // Below the root hairs the root goes on, no wider than the stem, for a stem width at least:
    // a hook's arm runs into a stem that stays wider than it.
    const auto needed = static_cast<std::size_t>(std::max(2.0f, stemWidth / step));
    std::size_t narrow = 0;
    const std::size_t within = k + (1 + static_cast<std::size_t>(settings.collarRootWithin)) * run;
    for (std::size_t j = k + run; j < std::min(widths.size(), within) && narrow < needed; ++j) {
      narrow = widths[j] <= stemWidth ? narrow + 1 : 0;
    }
    if (narrow < needed) continue;
    // The widening begins below the last width of the even stem.
    std::size_t begins = k;
    while (begins + 1 < widths.size() && widths[begins] <= settings.collarEven * wide) ++begins;
    while (begins > 0 && widths[begins - 1] > stemWidth / settings.collarEven) --begins;
    return step * static_cast<float>(begins > 0 ? begins - 1 : 0);
  }
  return std::nullopt;
}

// Whether a fainter line goes on below the end of the stem's line: for collarShare of
// collarRun stem widths beyond a stem radius past the end, something darker than its
// background by at least collarRootContrast of the stem's contrast, within a stem radius of
// the line's way on.
bool rootBelow(const cv::Mat& grey, const Contour& line, float radius, float stemContrast,
               const RefineSettings& settings) {
  const float total = line.length();
  const Vec2 end = line.pointAt(total);
  const Vec2 way = line.pointAt(total) - line.pointAt(total - 2.0f * radius);
  if (norm(way) <= 0.0f) return false;
  const Vec2 d = way * (1.0f / norm(way));
  const Vec2 n = across(way);
  const float run = std::max(10.0f, settings.collarRun * 2.0f * radius);
  int seen = 0;
  int dark = 0;
  for (float s = radius + 1.0f; s <= radius + 1.0f + run; s += 1.0f) {
    const Vec2 p = end + d * s;
    if (p.x < 0.0f || p.y < 0.0f || p.x > static_cast<float>(grey.cols - 1) ||
        p.y > static_cast<float>(grey.rows - 1)) {
      break;
    }
    ++seen;
    const Profile profile = profileAcross(grey, p, n, 2.0f * radius + 2.0f, radius);
    dark += profile.contrast() >= settings.collarRootContrast * stemContrast ? 1 : 0;
  }
  return seen >= run / 2.0f && static_cast<float>(dark) >= settings.collarShare * seen;
}

}  // namespace

Collar collarOnCentreline(const Tube& tube, const cv::Mat& grey,
                          const std::vector<Vec2>& centreline, const RefineSettings& settings) {
  const Contour line(centreline);
  const float total = line.length();
  if (total < 10.0f) return {};
  // The line a point per pixel or so, and its normal at each.
  const std::vector<Vec2> every = line.resampled(static_cast<int>(total) + 1);
  const auto normal = [&every](std::size_t k) {
    return across(every[std::min(every.size() - 1, k + 2)] - every[k >= 2 ? k - 2 : 0]);
  };
  const auto sample = [&every](float share) {
    return std::min(every.size() - 1, static_cast<std::size_t>(std::max(
                                          0.0f, share * static_cast<float>(every.size()))));
  };
  // The stem's radius: the median depth along its upper part, below the cotyledons and above
  // where a root could begin on a whole seedling.
  std::vector<float> depths;
  for (std::size_t k = sample(settings.collarStemFrom); k <= sample(settings.collarStemTo); ++k) {
    depths.push_back(tube.depth(every[k]));
  }
  std::nth_element(depths.begin(), depths.begin() + depths.size() / 2, depths.end());
  const float radius = depths[depths.size() / 2];
  if (radius <= 0.0f) return {};
  // The stem's width along the line, every pixel (every quarter radius on a thick stem): at
  // half its depth in the grey image, or, without one, in the mask.
  const auto stride = static_cast<std::size_t>(std::max(1.0f, std::floor(radius / 4.0f)));
  const float step = static_cast<float>(stride) * total / static_cast<float>(every.size() - 1);
  std::vector<float> widths;
  for (std::size_t k = 0; k < every.size(); k += stride) {
    const Vec2 p = every[k];
    const Vec2 n = normal(k);
    widths.push_back(grey.empty() ? tube.widthAcross(p, n, 4.0f * radius)
                                  : widthAtHalfDepth(grey, p, n, 2.0f * radius + 2.0f));
  }
  const std::size_t from = sample(settings.collarStemFrom) / stride;
  const std::optional<float> narrows = narrowing(widths, from, radius, step, settings);
  const std::optional<float> widens =
      grey.empty() ? std::nullopt : widening(widths, from, radius, step, settings);
  if (narrows || widens) {
    float at = total;
    for (const std::optional<float>& rule : {narrows, widens}) {
      if (rule) at = std::min(at, *rule);
    }
    return {at, true};
  }
  if (grey.empty()) return {};
  std::vector<float> contrasts;
  for (std::size_t k = sample(settings.collarStemFrom); k <= sample(settings.collarStemTo); ++k) {
    contrasts.push_back(
        profileAcross(grey, every[k], normal(k), 2.0f * radius + 2.0f, 1.0f).contrast());
  }
  std::nth_element(contrasts.begin(), contrasts.begin() + contrasts.size() / 2, contrasts.end());
  return {total, rootBelow(grey, line, radius, contrasts[contrasts.size() / 2], settings)};
}

}  // namespace stemscan
