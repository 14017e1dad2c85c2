#include "detect/long_lines.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace stemscan {
namespace {

constexpr int kPool = 8;  // image pixels to a pooled pixel, each way

// `mask` (0 dark, 255 light) pooled eight to one each way, set where any of a pooled pixel's
// 64 is dark: a line slightly tilted or bowed still runs along one pooled row or column, and
// the search along it is short.
cv::Mat pooledDark(const cv::Mat& mask) {
  cv::Mat small;
  cv::resize(mask, small,
             cv::Size((mask.cols + kPool - 1) / kPool, (mask.rows + kPool - 1) / kPool), 0, 0,
             cv::INTER_AREA);
  return small < 255;
}

// The runs of `pooled` along one direction over `share` of its side or more.
cv::Mat runsOver(const cv::Mat& pooled, float share, bool horizontal) {
  const int length =
      std::max(3, cvRound(share * static_cast<float>(horizontal ? pooled.cols : pooled.rows)));
  cv::Mat runs;
  // Outside the image nothing is set: a stem that runs off the picture is not a line.
  cv::morphologyEx(pooled, runs, cv::MORPH_OPEN,
                   cv::getStructuringElement(
                       cv::MORPH_RECT, horizontal ? cv::Size(length, 1) : cv::Size(1, length)),
                   cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
  return runs;
}

// The lines along one direction on the pooled mask: runs over `lineShare` of the side, and
// beside them, in the next pooled row or column, runs over a quarter of that. A line that lies
// across two pooled rows runs unbroken in neither of them all along. Empty where there are none.
cv::Mat pooledLines(const cv::Mat& pooled, float lineShare, bool horizontal) {
  cv::Mat lines = runsOver(pooled, lineShare, horizontal);
  if (cv::countNonZero(lines) == 0) return cv::Mat();
  cv::Mat beside;
  cv::dilate(
      lines, beside,
      cv::getStructuringElement(cv::MORPH_RECT, horizontal ? cv::Size(1, 3) : cv::Size(3, 1)));
  return lines | (beside & runsOver(pooled, lineShare / 4.0f, horizontal));
}

// The pixels of `dark` (set where dark) in the pooled lines, and two pixels around them.
cv::Mat linesAt(const cv::Mat& pooled, const cv::Mat& dark) {
  cv::Mat lines;
  cv::resize(pooled, lines, dark.size(), 0, 0, cv::INTER_NEAREST);
  lines &= dark;
  cv::dilate(lines, lines, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
  return lines;
}

// The lines of `rough` (as linesAlong finds them, with whatever dark lies beside them in a
// pooled row) narrowed to each line itself: the dark pixels within its half width (twice the
// median distance of its pixels from the straight line fitted through them, as for a band of
// even width) and a pixel of the straight line, and a pixel around them. A stem standing close
// beside a grid line is then no longer taken for part of it.
cv::Mat narrowedToLines(const cv::Mat& rough, const cv::Mat& dark) {
  if (cv::countNonZero(rough) == 0) return rough;
  cv::Mat core;
  cv::erode(rough, core, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
  core &= dark;
  cv::Mat labels;
  const int n = cv::connectedComponents(core, labels, 8, CV_32S);
  std::vector<std::vector<cv::Point>> members(static_cast<std::size_t>(n));
  for (int y = 0; y < labels.rows; ++y) {
    const int* row = labels.ptr<int>(y);
    for (int x = 0; x < labels.cols; ++x) {
      if (row[x] > 0) members[static_cast<std::size_t>(row[x])].emplace_back(x, y);
    }
  }
  cv::Mat out = cv::Mat::zeros(dark.size(), CV_8UC1);
  for (int label = 1; label < n; ++label) {
    const std::vector<cv::Point>& points = members[static_cast<std::size_t>(label)];
    if (points.size() < 10) continue;
    cv::Vec4f fitted;
    cv::fitLine(points, fitted, cv::DIST_HUBER, 0, 0.01, 0.01);
    const auto distance = [&fitted](const cv::Point& p) {
      return std::abs((static_cast<float>(p.x) - fitted[2]) * fitted[1] -
                      (static_cast<float>(p.y) - fitted[3]) * fitted[0]);
    };
    std::vector<float> distances;
    for (const cv::Point& p : points) distances.push_back(distance(p));
    std::nth_element(distances.begin(), distances.begin() + distances.size() / 2, distances.end());
    const float half = 2.0f * distances[distances.size() / 2] + 1.0f;
    for (const cv::Point& p : points) {
      if (distance(p) <= half) out.at<uchar>(p) = 255;
    }
  }
  cv::dilate(out, out, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
  return out & rough;
}

// Stretches of dark pixels along one edge of a band: [from, to] positions along it.
struct Stretch {
  int from = 0;
  int to = 0;
  float middle() const { return 0.5f * static_cast<float>(from + to); }
};

std::vector<Stretch> stretches(const std::vector<char>& dark) {
  std::vector<Stretch> out;
  for (int a = 0; a < static_cast<int>(dark.size()); ++a) {
    if (!dark[static_cast<std::size_t>(a)]) continue;
    if (!out.empty() && out.back().to == a - 1) {
      out.back().to = a;
    } else {
      out.push_back({a, a});
    }
  }
  return out;
}

// Lightens the bands of lines across `mask` (each band a component of `lines`), then draws
// back, dark, every stem that crosses one: a stretch of dark just above a band joined to the
// nearest stretch just below it (no further off than the band is wide) by the quadrilateral
// between the two, as a straight stem runs through.
void lightenAcross(cv::Mat& mask, const cv::Mat& lines) {
  const cv::Mat original = mask.clone();
  cv::Mat labels;
  const int n = cv::connectedComponents(lines, labels, 8, CV_32S);
  for (int label = 1; label < n; ++label) {
    std::vector<int> top(static_cast<std::size_t>(mask.cols), -1);
    std::vector<int> bottom(static_cast<std::size_t>(mask.cols), -1);
    for (int y = 0; y < mask.rows; ++y) {
      const int* row = labels.ptr<int>(y);
      for (int x = 0; x < mask.cols; ++x) {
        if (row[x] != label) continue;
        if (top[static_cast<std::size_t>(x)] < 0) top[static_cast<std::size_t>(x)] = y;
        bottom[static_cast<std::size_t>(x)] = y;
        mask.at<uchar>(y, x) = 255;
      }
    }
    int thickness = 0;
    for (std::size_t x = 0; x < top.size(); ++x) {
      if (top[x] >= 0) thickness = std::max(thickness, bottom[x] - top[x] + 1);
    }
    // A stem runs on away from the band, straight on or slanting; a printed line's own
    // unevenness, bulging a pixel or two past the band, or the rest of its edge left beside the
    // band, does not run on half the band's width further out.
    const int away = thickness / 2 + 1;
    const auto dark = [&original](int y, int x) {
      return y >= 0 && y < original.rows && x >= 0 && x < original.cols &&
             original.at<uchar>(y, x) < 128;
    };
    // Whether dark pixels run on from (y, x) for `away` rows in direction `dy`, two columns
    // aside at most from one row to the next: a stem crossing the line at 30 degrees or more.
    std::vector<char> reached(static_cast<std::size_t>(mask.cols) + 4);
    std::vector<char> next(reached.size());
    const auto runsOn = [&](int y, int x, int dy) {
      if (!dark(y, x)) return false;
      const int from = std::max(0, x - away);
      const int to = std::min(mask.cols - 1, x + away);
      std::fill(reached.begin(), reached.end(), 0);
      reached[static_cast<std::size_t>(x + 2)] = 1;
      for (int step = 1; step < away; ++step) {
        bool any = false;
        for (int c = from; c <= to; ++c) {
          const auto i = static_cast<std::size_t>(c + 2);
          next[i] = (reached[i - 2] || reached[i - 1] || reached[i] || reached[i + 1] ||
                     reached[i + 2]) &&
                    dark(y + step * dy, c);
          any = any || next[i];
        }
        if (!any) return false;
        std::swap(reached, next);
        std::fill(next.begin(), next.end(), 0);
      }
      return true;
    };
    std::vector<char> above(top.size(), 0);
    std::vector<char> below(top.size(), 0);
    for (std::size_t k = 0; k < top.size(); ++k) {
      if (top[k] < 0) continue;
      const int x = static_cast<int>(k);
      above[k] = runsOn(top[k] - 1, x, -1);
      below[k] = runsOn(bottom[k] + 1, x, 1);
    }
    const std::vector<Stretch> ups = stretches(above);
    const std::vector<Stretch> downs = stretches(below);
    for (const Stretch& up : ups) {
      const Stretch* match = nullptr;
      for (const Stretch& down : downs) {
        const float shift = std::abs(down.middle() - up.middle());
        if (shift <= 1.5f * static_cast<float>(thickness) &&
            (match == nullptr || shift < std::abs(match->middle() - up.middle()))) {
          match = &down;
        }
      }
      if (match == nullptr) continue;
      // A stem keeps its width across: the line's light halo thins it on one side or the other
      // in the mask, so the crossing is drawn as wide as the wider of the two stretches.
      const int half = std::max(up.to - up.from, match->to - match->from) / 2;
      const auto at = [&](const Stretch& s, int side, const std::vector<int>& edge) {
        const int x = std::clamp(static_cast<int>(s.middle()) + side, 0, mask.cols - 1);
        const int y = edge[static_cast<std::size_t>(std::clamp(x, s.from, s.to))];
        return cv::Point(x, y);
      };
      const cv::Point corners[] = {at(up, -half, top), at(up, half, top), at(*match, half, bottom),
                                   at(*match, -half, bottom)};
      cv::fillConvexPoly(mask, corners, 4, cv::Scalar(0), cv::LINE_8);
    }
  }
}

}  // namespace

cv::Mat longLines(const cv::Mat& dark, float lineShare) {
  const cv::Mat pooled = pooledDark(~dark);
  cv::Mat lines = cv::Mat::zeros(dark.size(), CV_8UC1);
  for (bool horizontal : {true, false}) {
    const cv::Mat found = pooledLines(pooled, lineShare, horizontal);
    if (!found.empty()) lines |= linesAt(found, dark);
  }
  return lines;
}

cv::Mat withoutLongLines(const cv::Mat& mask, float lineShare) {
  const cv::Mat pooled = pooledDark(mask);
  const cv::Mat across = pooledLines(pooled, lineShare, true);
  const cv::Mat down = pooledLines(pooled, lineShare, false);
  if (across.empty() && down.empty()) return mask;  // most plates: nothing to take out
  const cv::Mat dark = mask < 128;
  cv::Mat out = mask.clone();
  if (!across.empty()) lightenAcross(out, narrowedToLines(linesAt(across, dark), dark));
  if (!down.empty()) {
    // Lines down the image are lines across its transpose.
    cv::Mat turned = out.t();
    lightenAcross(turned, narrowedToLines(linesAt(down, dark), dark).t());
    out = turned.t();
  }
  return out;
}

}  // namespace stemscan
