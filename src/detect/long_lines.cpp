#include "detect/long_lines.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace stemscan {
namespace {

// The lines along one direction, on `mask` (0 dark, 255 light) pooled eight to one each way
// (a pooled pixel is dark where any of its 64 is), so that a line slightly tilted or bowed still
// runs along one pooled row or column, and the search along it is short. Empty where there are
// none.
cv::Mat pooledLines(const cv::Mat& mask, float lineShare, bool horizontal) {
  constexpr int kPool = 8;
  const cv::Size pooled((mask.cols + kPool - 1) / kPool, (mask.rows + kPool - 1) / kPool);
  cv::Mat small;
  cv::resize(mask, small, pooled, 0, 0, cv::INTER_AREA);
  small = small < 255;
  const int length = std::max(
      3, cvRound(lineShare * static_cast<float>(horizontal ? pooled.width : pooled.height)));
  // Outside the image nothing is set: a stem that runs off the picture is not a line.
  cv::morphologyEx(small, small, cv::MORPH_OPEN,
                   cv::getStructuringElement(
                       cv::MORPH_RECT, horizontal ? cv::Size(length, 1) : cv::Size(1, length)),
                   cv::Point(-1, -1), 1, cv::BORDER_CONSTANT, cv::Scalar(0));
  return cv::countNonZero(small) > 0 ? small : cv::Mat();
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
    std::vector<char> above(top.size(), 0);
    std::vector<char> below(top.size(), 0);
    int thickness = 0;
    for (std::size_t x = 0; x < top.size(); ++x) {
      if (top[x] < 0) continue;
      thickness = std::max(thickness, bottom[x] - top[x] + 1);
      above[x] = top[x] > 0 && original.at<uchar>(top[x] - 1, static_cast<int>(x)) < 128;
      below[x] =
          bottom[x] + 1 < mask.rows && original.at<uchar>(bottom[x] + 1, static_cast<int>(x)) < 128;
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
      const cv::Point corners[] = {{up.from, top[static_cast<std::size_t>(up.from)]},
                                   {up.to, top[static_cast<std::size_t>(up.to)]},
                                   {match->to, bottom[static_cast<std::size_t>(match->to)]},
                                   {match->from, bottom[static_cast<std::size_t>(match->from)]}};
      cv::fillConvexPoly(mask, corners, 4, cv::Scalar(0), cv::LINE_8);
    }
  }
}

}  // namespace

cv::Mat longLines(const cv::Mat& dark, float lineShare) {
  const cv::Mat mask = ~dark;
  cv::Mat lines = cv::Mat::zeros(dark.size(), CV_8UC1);
  for (bool horizontal : {true, false}) {
    const cv::Mat pooled = pooledLines(mask, lineShare, horizontal);
    if (!pooled.empty()) lines |= linesAt(pooled, dark);
  }
  return lines;
}

cv::Mat withoutLongLines(const cv::Mat& mask, float lineShare) {
  const cv::Mat across = pooledLines(mask, lineShare, true);
  const cv::Mat down = pooledLines(mask, lineShare, false);
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
