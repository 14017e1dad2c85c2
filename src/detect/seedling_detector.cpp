// Seedlings are found as the dark, upright, elongated shapes of the image: each pixel's
// darkening against a local background (the median over squares wider than any stem), split
// from the noise, with the long straight lines of a printed grid or a plate's edge taken out;
// each shape that stands taller than it is wide is a candidate, the strongest are kept.
#include "detect/seedling_detector.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "detect/long_lines.h"
#include "detect/seedling_top.h"

namespace stemscan {

std::string DetectSettings::Check() const {
  if (!(backgroundShare > 0.0f && backgroundShare < 1.0f)) return "backgroundShare outside (0, 1)";
  if (!(noiseFactor > 0.0f)) return "noiseFactor not positive";
  if (!(lineShare > 0.0f && lineShare <= 1.0f)) return "lineShare outside (0, 1]";
  if (!(minElongation > 0.0f)) return "minElongation not positive";
  if (minHeight < 1) return "minHeight below 1";
  if (!(minStrengthShare >= 0.0f && minStrengthShare < 1.0f)) {
    return "minStrengthShare outside [0, 1)";
  }
  if (!(maxShare > 0.0f && maxShare <= 1.0f)) return "maxShare outside (0, 1]";
  return "";
}

namespace {

// The median over squares of `square` pixels, at the image's size: the image shrunk so that
// the square is five pixels wide, a five-pixel median, and the result enlarged again.
cv::Mat localBackground(const cv::Mat& grey, int square) {
  const double shrink = std::max(1.0, square / 5.0);
  const cv::Size small(std::max(5, cvRound(grey.cols / shrink)),
                       std::max(5, cvRound(grey.rows / shrink)));
  cv::Mat reduced;
  cv::resize(grey, reduced, small, 0, 0, cv::INTER_AREA);
  cv::medianBlur(reduced, reduced, 5);
  cv::Mat background;
  cv::resize(reduced, background, grey.size(), 0, 0, cv::INTER_LINEAR);
  return background;
}

// The grey level below which `share` of the histogram's count lies.
int quantile(const cv::Mat& histogram, double share) {
  const double total = cv::sum(histogram)[0];
  double below = 0;
  for (int v = 0; v < histogram.rows; ++v) {
    below += histogram.at<float>(v);
    if (below >= share * total) return v;
  }
  return histogram.rows - 1;
}

cv::Mat histogramOf(const cv::Mat& image, const cv::Mat& mask = cv::Mat()) {
  const int channels[] = {0};
  const int size[] = {256};
  const float range[] = {0, 256};
  const float* ranges[] = {range};
  cv::Mat histogram;
  cv::calcHist(&image, 1, channels, mask, histogram, 1, size, ranges);
  return histogram;
}

// Otsu's split of a histogram of 256 grey levels: the level at and below which one class lies.
int otsu(const cv::Mat& histogram) {
  double total = 0, sum = 0;
  for (int v = 0; v < 256; ++v) {
    total += histogram.at<float>(v);
    sum += v * static_cast<double>(histogram.at<float>(v));
  }
  if (total <= 0) return -1;
  // Where levels no pixel has leave the split as good anywhere between two classes, it is put
  // halfway across that gap.
  double below = 0, sumBelow = 0, best = -1;
  int first = 0, last = 0;
  for (int v = 0; v < 255; ++v) {
    below += histogram.at<float>(v);
    sumBelow += v * static_cast<double>(histogram.at<float>(v));
    const double above = total - below;
    if (below <= 0 || above <= 0) continue;
    const double meanBelow = sumBelow / below;
    const double meanAbove = (sum - sumBelow) / above;
    const double between = below * above * (meanBelow - meanAbove) * (meanBelow - meanAbove);
    if (between > best * (1.0 + 1e-12)) {
      best = between;
      first = last = v;
    } else if (between >= best * (1.0 - 1e-12) && last == v - 1) {
      last = v;
    }
  }
  return (first + last) / 2;
}

// The shape with its holes of less than `area` pixels filled.
cv::Mat withoutSmallHoles(const cv::Mat& shape, int area) {
  cv::Mat filled = shape.clone();
  std::vector<std::vector<cv::Point>> contours;
  std::vector<cv::Vec4i> hierarchy;
  cv::findContours(shape.clone(), contours, hierarchy, cv::RETR_CCOMP, cv::CHAIN_APPROX_NONE);
  for (std::size_t k = 0; k < contours.size(); ++k) {
    const bool hole = hierarchy[k][3] >= 0;
    if (hole && cv::contourArea(contours[k]) < area) {
      cv::drawContours(filled, contours, static_cast<int>(k), cv::Scalar(255), cv::FILLED);
    }
  }
  return filled;
}

// Row by row from the top (a new row where the tops jump down by more than half the seedlings'
// median height), left to right within a row.
void orderInRows(std::vector<Seedling>& seedlings) {
  if (seedlings.empty()) return;
  std::vector<float> heights;
  for (const Seedling& s : seedlings) heights.push_back(static_cast<float>(s.box.height));
  std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
  const float gap = 0.5f * heights[heights.size() / 2];
  std::sort(seedlings.begin(), seedlings.end(),
            [](const Seedling& a, const Seedling& b) { return a.top.y < b.top.y; });
  std::vector<std::vector<Seedling>> rows(1);
  for (const Seedling& s : seedlings) {
    if (!rows.back().empty() && s.top.y - rows.back().back().top.y > gap) rows.emplace_back();
    rows.back().push_back(s);
  }
  seedlings.clear();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::vector<Seedling>& row = rows[r];
    for (Seedling& s : row) s.row = static_cast<int>(r);
    std::sort(row.begin(), row.end(),
              [](const Seedling& a, const Seedling& b) { return a.top.x < b.top.x; });
    seedlings.insert(seedlings.end(), row.begin(), row.end());
  }
}

// Light on dark: far more pixels stand out above the background than below it.
bool looksBright(const cv::Mat& grey, const cv::Mat& background, float noise) {
  cv::Mat lighter, darker;
  cv::subtract(grey, background, lighter);
  cv::subtract(background, grey, darker);
  const double level = std::max(4.0, 6.0 * noise);
  const double up = cv::countNonZero(lighter > level);
  const double down = cv::countNonZero(darker > level);
  return up > 3.0 * down && up > 1e-3 * grey.total();
}

}  // namespace

int thresholdAround(const cv::Mat& grey, const cv::Rect& box) {
  const cv::Rect inside = box & cv::Rect(0, 0, grey.cols, grey.rows);
  if (inside.empty()) return -1;
  return otsu(histogramOf(grey(inside)));
}

Detection detectSeedlings(const cv::Mat& grey, int count, const DetectSettings& settings) {
  Detection found;
  if (grey.empty() || count <= 0) return found;
  const int side = std::min(grey.cols, grey.rows);
  const cv::Mat background =
      localBackground(grey, std::max(5, cvRound(settings.backgroundShare * side)));
  cv::Mat darkening, difference;
  cv::subtract(background, grey, darkening);
  cv::absdiff(background, grey, difference);
  // The noise as the median absolute deviation from the background (a normal's sigma).
  const float noise = std::max(0.5f, 1.4826f * quantile(histogramOf(difference), 0.5));
  found.looksBright = looksBright(grey, background, noise);
  const int split = otsu(histogramOf(darkening));
  const int level = std::max(cvRound(settings.noiseFactor * noise), split / 2);
  // Smoothed a little, so that the shapes' outlines do not fray into specks along the noise.
  cv::Mat smooth;
  cv::GaussianBlur(darkening, smooth, cv::Size(5, 5), 0);
  cv::Mat dark = smooth > level;
  dark &= ~longLines(dark, settings.lineShare);

  cv::Mat labels, stats, centroids;
  const int n = cv::connectedComponentsWithStats(dark, labels, stats, centroids, 8, CV_32S);
  // Each shape's darkness, summed over its pixels.
  std::vector<double> strength(static_cast<std::size_t>(n), 0.0);
  for (int y = 0; y < labels.rows; ++y) {
    const int* row = labels.ptr<int>(y);
    const uchar* d = darkening.ptr<uchar>(y);
    for (int x = 0; x < labels.cols; ++x) strength[static_cast<std::size_t>(row[x])] += d[x];
  }
  std::vector<Seedling> kept;
  for (int k = 1; k < n; ++k) {
    const cv::Rect box(stats.at<int>(k, cv::CC_STAT_LEFT), stats.at<int>(k, cv::CC_STAT_TOP),
                       stats.at<int>(k, cv::CC_STAT_WIDTH), stats.at<int>(k, cv::CC_STAT_HEIGHT));
    const int area = stats.at<int>(k, cv::CC_STAT_AREA);
    if (box.height < settings.minHeight) continue;
    if (box.width > settings.maxShare * grey.cols) continue;
    if (box.height > settings.maxShare * grey.rows) continue;
    // Upright and elongated: taller than its mean width by the factor.
    const float width = static_cast<float>(area) / static_cast<float>(box.height);
    if (box.height < settings.minElongation * width) continue;
    Seedling s;
    s.box = box;
    s.strength = static_cast<float>(strength[static_cast<std::size_t>(k)]);
    const cv::Rect around =
        (box + cv::Size(2, 2) - cv::Point(1, 1)) & cv::Rect(0, 0, labels.cols, labels.rows);
    // Specks of the noise inside it filled; a hook's gap is far larger.
    const cv::Mat shape = withoutSmallHoles(labels(around) == k, area / 400);
    s.top = seedlingTop(shape, &s.stemWidth) +
            Vec2(static_cast<float>(around.x), static_cast<float>(around.y));
    kept.push_back(s);
  }
  std::sort(kept.begin(), kept.end(),
            [](const Seedling& a, const Seedling& b) { return a.strength > b.strength; });
  const float weakest = kept.empty() ? 0.0f : settings.minStrengthShare * kept.front().strength;
  while (!kept.empty() && kept.back().strength < weakest) kept.pop_back();
  if (kept.size() > static_cast<std::size_t>(count)) {
    found.leftOut.assign(kept.begin() + count, kept.end());
    kept.resize(static_cast<std::size_t>(count));
  }
  orderInRows(kept);
  found.seedlings = kept;

  // The threshold: Otsu's split of the seedlings' neighbourhoods, each a box around the
  // seedling as wide again on every side as the stem is.
  cv::Mat around = cv::Mat::zeros(grey.size(), CV_8U);
  for (const Seedling& s : kept) {
    const int margin = std::max(3, cvRound(2.0f * s.stemWidth));
    const cv::Rect box(s.box.x - margin, s.box.y - margin, s.box.width + 2 * margin,
                       s.box.height + 2 * margin);
    around(box & cv::Rect(0, 0, grey.cols, grey.rows)).setTo(255);
  }
  if (!kept.empty()) found.threshold = otsu(histogramOf(grey, around));
  return found;
}

}  // namespace stemscan
