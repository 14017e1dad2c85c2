#include "tools/sample/plate_renderer.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <locale>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

namespace stemscan::sample {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kDrawShift = 4;  // sub-pixel drawing: coordinates in 1/16 pixel
constexpr float kStep = 1.0f;  // centreline sampling, pixels

cv::Point fixed(const cv::Point2f& p) {
  return cv::Point(cvRound(p.x * (1 << kDrawShift)), cvRound(p.y * (1 << kDrawShift)));
}

}  // namespace

PlateRenderer::PlateRenderer(const PlateSettings& settings) : settings_(settings) {
  std::mt19937 random(settings.seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const float cellW = static_cast<float>(settings.width) / settings.cols;
  const float cellH = static_cast<float>(settings.height) / settings.rows;
  for (int r = 0; r < settings.rows; ++r) {
    for (int c = 0; c < settings.cols; ++c) {
      Seedling s;
      s.base = cv::Point2f(cellW * (c + 0.5f) + (unit(random) - 0.5f) * cellW * 0.2f,
                           cellH * (r + settings.baseAt));
      s.lean = (unit(random) - 0.5f) * 0.3f;
      s.curvature = (unit(random) * 2.0f - 1.0f) * settings.curvature;
      if (settings.pairGap > 0.0f) {
        // Two seedlings to a pair cell, leaning and bending a little away from each other.
        const float pairW = 2.0f * cellW;
        const float side = c % 2 == 0 ? -1.0f : 1.0f;
        s.base.x = pairW * (c / 2 + 0.5f) + side * settings.pairGap / 2.0f;
        s.lean = side * std::abs(s.lean) * 0.5f;
        s.curvature = side * std::abs(s.curvature);
      }
      seedlings_.push_back(s);
    }
  }
  const int speckCount = settings.width * settings.height / 4000;
  for (int k = 0; k < speckCount; ++k) {
    specks_.emplace_back(unit(random) * settings.width, unit(random) * settings.height,
                         0.5f + unit(random) * 1.5f);
  }
  // Agar lit from one side: a gentle gradient from 185 to 205 grey levels.
  background_.create(settings.height, settings.width, CV_8UC3);
  for (int y = 0; y < settings.height; ++y) {
    for (int x = 0; x < settings.width; ++x) {
      const float level = 185.0f + 20.0f * x / settings.width + 5.0f * y / settings.height;
      background_.at<cv::Vec3b>(y, x) =
          cv::Vec3b(cv::saturate_cast<uchar>(level - 6), cv::saturate_cast<uchar>(level),
                    cv::saturate_cast<uchar>(level + 4));
    }
  }
}

std::vector<cv::Point2f> PlateRenderer::centreline(const Seedling& s, float length) const {
  std::vector<cv::Point2f> points{s.base};
  cv::Point2f p = s.base;
  float angle = s.lean;
  const int steps = static_cast<int>(std::ceil(length / kStep));
  for (int k = 0; k < steps; ++k) {
    const float step = std::min(kStep, length - k * kStep);
    const float mid = angle + 0.5f * s.curvature * step;
    p += cv::Point2f(std::sin(mid) * step, -std::cos(mid) * step);
    angle += s.curvature * step;
    points.push_back(p);
  }
  return points;
}

cv::Point2f PlateRenderer::toImage(const cv::Point2f& p, int t) const {
  const float angle = static_cast<float>(settings_.rotation * t * kPi / 180.0);
  const cv::Point2f centre(settings_.width / 2.0f, settings_.height / 2.0f);
  const cv::Point2f d = p - centre;
  return centre +
         cv::Point2f(d.x * std::cos(angle) - d.y * std::sin(angle),
                     d.x * std::sin(angle) + d.y * std::cos(angle)) +
         cv::Point2f(settings_.driftX * t, settings_.driftY * t);
}

cv::Point2f PlateRenderer::seedlingToImage(const cv::Point2f& p, int t) const {
  return toImage(p + cv::Point2f(0.0f, settings_.slide * t), t);
}

std::vector<cv::Point2f> PlateRenderer::centrelineAt(int i, int t) const {
  std::vector<cv::Point2f> line = centreline(seedlings_[static_cast<std::size_t>(i)],
                                             settings_.startLength + settings_.growth * t);
  for (cv::Point2f& p : line) p = seedlingToImage(p, t);
  return line;
}

void PlateRenderer::drawSeedling(cv::Mat& image, const Seedling& s, int t) const {
  const float length = settings_.startLength + settings_.growth * t;
  const cv::Scalar hypocotyl(45, 55, 60);
  const auto at = [&](const cv::Point2f& p) { return fixed(seedlingToImage(p, t)); };
  std::vector<cv::Point> line;
  const std::vector<cv::Point2f> centre = centreline(s, length);
  for (const cv::Point2f& p : centre) line.push_back(at(p));
  // The root: thinner and paler (or, dark-grown, as dark), straight down from the base.
  const cv::Point2f rootEnd = s.base + cv::Point2f(0.0f, settings_.rootLength);
  const cv::Scalar root = settings_.darkRoot ? hypocotyl : cv::Scalar(95, 100, 105);
  if (settings_.rootHairs) {
    // Fine, pale hairs along the root's upper part, the same on every image.
    std::mt19937 hairs(settings_.seed * 31u + static_cast<uint32_t>(s.base.x * 16.0f));
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (float y = 6.0f; y < 0.6f * settings_.rootLength; y += 1.5f) {
      for (float side : {-1.0f, 1.0f}) {
        const float angle = static_cast<float>(kPi) * (0.25f + 0.2f * unit(hairs));
        const float reach = 4.0f + 6.0f * unit(hairs);
        const cv::Point2f from = s.base + cv::Point2f(0.0f, y);
        const cv::Point2f to =
            from + cv::Point2f(side * std::sin(angle) * reach, std::cos(angle) * reach);
        cv::line(image, at(from), at(to), cv::Scalar(125, 130, 135), 1, cv::LINE_AA, kDrawShift);
      }
    }
  }
  cv::line(image, at(s.base), at(rootEnd), root, cvRound(settings_.rootWidth), cv::LINE_AA,
           kDrawShift);
  cv::polylines(image, line, false, hypocotyl, cvRound(settings_.thickness), cv::LINE_AA,
                kDrawShift);
  if (!settings_.cotyledons) return;
  const cv::Point2f top = centre.back();
  const cv::Point2f below = centre[centre.size() > 6 ? centre.size() - 6 : 0];
  const cv::Point2f up = (top - below) * (1.0f / std::max(1e-3f, float(cv::norm(top - below))));
  const cv::Point2f side(-up.y, up.x);
  const float rotated = static_cast<float>(settings_.rotation * t);
  if (settings_.openCotyledons) {
    // Light-grown: two petioles fork at the top, each holding an open leaf.
    for (float sign : {-1.0f, 1.0f}) {
      const cv::Point2f along = up * 0.6f + side * (sign * 0.8f);
      const cv::Point2f tip = top + along * 14.0f;
      cv::line(image, at(top), at(tip), hypocotyl, std::max(1, cvRound(settings_.thickness * 0.7f)),
               cv::LINE_AA, kDrawShift);
      const double angle = std::atan2(along.y, along.x) * 180.0 / kPi;
      cv::ellipse(image, at(tip + along * 7.0f), cv::Size(9 << kDrawShift, 6 << kDrawShift),
                  angle + rotated, 0, 360, cv::Scalar(50, 70, 60), cv::FILLED, cv::LINE_AA,
                  kDrawShift);
    }
    return;
  }
  // Cotyledons: two leaves opening at the top.
  for (float sign : {-1.0f, 1.0f}) {
    const cv::Point2f leaf = top + side * (sign * 10.0f) + up * 3.0f;
    const double angle = std::atan2(side.y * sign, side.x * sign) * 180.0 / kPi;
    cv::ellipse(image, at(leaf), cv::Size(12 << kDrawShift, 5 << kDrawShift), angle + rotated, 0,
                360, cv::Scalar(50, 70, 60), cv::FILLED, cv::LINE_AA, kDrawShift);
  }
}

std::vector<SeedlingTruth> PlateRenderer::truth(int t) const {
  std::vector<SeedlingTruth> out;
  const float length = settings_.startLength + settings_.growth * t;
  for (std::size_t i = 0; i < seedlings_.size(); ++i) {
    const std::vector<cv::Point2f> line = centreline(seedlings_[i], length);
    const cv::Point2f top = seedlingToImage(line.back(), t);
    const cv::Point2f base = seedlingToImage(line.front(), t);
    out.push_back({t, static_cast<int>(i), top.x, top.y, base.x, base.y, length});
  }
  return out;
}

cv::Mat PlateRenderer::render(int t, std::vector<SeedlingTruth>* truthOut) const {
  cv::Mat image = background_.clone();
  for (const cv::Point3f& speck : specks_) {
    const cv::Point2f at = toImage(cv::Point2f(speck.x, speck.y), t);
    cv::circle(image, fixed(at), cvRound(speck.z * (1 << kDrawShift)), cv::Scalar(150, 155, 160),
               cv::FILLED, cv::LINE_AA, kDrawShift);
  }
  if (settings_.gridSpacing > 0) {
    // The grid printed on the plate, its lines between the cells of seedlings, in the stems' tone.
    const cv::Scalar ink(70, 75, 80);
    for (int x = settings_.gridSpacing; x < settings_.width; x += settings_.gridSpacing) {
      cv::line(image, fixed(toImage(cv::Point2f(x, 0), t)),
               fixed(toImage(cv::Point2f(x, settings_.height), t)), ink, 2, cv::LINE_AA,
               kDrawShift);
    }
    for (int y = settings_.gridSpacing; y < settings_.height; y += settings_.gridSpacing) {
      cv::line(image, fixed(toImage(cv::Point2f(0, y), t)),
               fixed(toImage(cv::Point2f(settings_.width, y), t)), ink, 2, cv::LINE_AA, kDrawShift);
    }
  }
  for (const Seedling& s : seedlings_) drawSeedling(image, s, t);
  if (settings_.noise > 0) {
    cv::Mat noise(image.size(), CV_16SC3);
    cv::RNG rng(settings_.seed * 7919u + static_cast<uint32_t>(t));
    rng.fill(noise, cv::RNG::NORMAL, 0, settings_.noise);
    cv::Mat noisy;
    image.convertTo(noisy, CV_16SC3);
    noisy += noise;
    noisy.convertTo(image, CV_8UC3);
  }
  if (settings_.bright) cv::bitwise_not(image, image);
  if (truthOut != nullptr) *truthOut = truth(t);
  return image;
}

PlateSettings slidingWholeSeedlings(int cols) {
  PlateSettings plate;
  plate.cols = cols;
  plate.width = 160 * cols;
  plate.height = 600;
  plate.images = 21;
  plate.startLength = 150.0f;
  plate.growth = 5.0f;
  plate.slide = 5.0f;
  plate.baseAt = 0.55f;
  plate.rootLength = 160.0f;
  plate.darkRoot = true;
  plate.rootHairs = true;
  plate.curvature = 0.0015f;
  return plate;
}

PlateSettings lightGrownOnGrid(int cols) {
  PlateSettings plate;
  plate.cols = cols;
  plate.width = 100 * cols;
  plate.height = 500;
  plate.images = 8;
  plate.startLength = 40.0f;
  plate.growth = 30.0f;
  plate.thickness = 4.0f;
  plate.curvature = 0.0005f;  // light-grown stems stand nearly straight
  plate.baseAt = 0.75f;
  plate.openCotyledons = true;
  plate.gridSpacing = 100;
  plate.bright = true;
  return plate;
}

bool writePlate(const PlateSettings& settings, const std::string& folder, const std::string& name,
                const std::string& format, const std::string& truthPath) {
  const PlateRenderer renderer(settings);
  std::ofstream csv(truthPath);
  if (!csv) {
    std::cerr << "cannot write " << truthPath << std::endl;
    return false;
  }
  csv.imbue(std::locale::classic());
  csv << "image,hypocotyl,top_x,top_y,base_x,base_y,length\n";
  for (int t = 0; t < settings.images; ++t) {
    std::vector<SeedlingTruth> truth;
    const cv::Mat image = renderer.render(t, &truth);
    char number[16];
    std::snprintf(number, sizeof number, "%02d", t);
    const std::string path = folder + "/" + name + number + "." + format;
    bool written = false;
    try {
      written = cv::imwrite(path, image);
    } catch (const cv::Exception&) {
      written = false;
    }
    if (!written) {
      std::cerr << "cannot write " << path << std::endl;
      return false;
    }
    for (const SeedlingTruth& s : truth) {
      csv << s.image << "," << s.hypocotyl << "," << s.topX << "," << s.topY << "," << s.baseX
          << "," << s.baseY << "," << s.length << "\n";
    }
  }
  return static_cast<bool>(csv.flush());
}

}  // namespace stemscan::sample
