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
                           cellH * (r + 0.85f));
      s.lean = (unit(random) - 0.5f) * 0.3f;
      s.curvature = (unit(random) * 2.0f - 1.0f) * settings.curvature;
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

std::vector<cv::Point2f> PlateRenderer::centrelineAt(int i, int t) const {
  std::vector<cv::Point2f> line = centreline(seedlings_[static_cast<std::size_t>(i)],
                                             settings_.startLength + settings_.growth * t);
  for (cv::Point2f& p : line) p = toImage(p, t);
  return line;
}

std::vector<SeedlingTruth> PlateRenderer::truth(int t) const {
  std::vector<SeedlingTruth> out;
  const float length = settings_.startLength + settings_.growth * t;
  for (std::size_t i = 0; i < seedlings_.size(); ++i) {
    const std::vector<cv::Point2f> line = centreline(seedlings_[i], length);
    const cv::Point2f top = toImage(line.back(), t);
    const cv::Point2f base = toImage(line.front(), t);
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
  const float length = settings_.startLength + settings_.growth * t;
  const cv::Scalar hypocotyl(45, 55, 60);
  for (const Seedling& s : seedlings_) {
    std::vector<cv::Point> line;
    for (const cv::Point2f& p : centreline(s, length)) line.push_back(fixed(toImage(p, t)));
    // The root: thinner and paler, straight down from the base.
    const cv::Point2f rootEnd = s.base + cv::Point2f(0.0f, 60.0f);
    cv::line(image, fixed(toImage(s.base, t)), fixed(toImage(rootEnd, t)), cv::Scalar(95, 100, 105),
             2, cv::LINE_AA, kDrawShift);
    cv::polylines(image, line, false, hypocotyl, cvRound(settings_.thickness), cv::LINE_AA,
                  kDrawShift);
    if (!settings_.cotyledons) continue;
    // Cotyledons: two leaves opening at the top.
    const std::vector<cv::Point2f> centre = centreline(s, length);
    const cv::Point2f top = centre.back();
    const cv::Point2f below = centre[centre.size() > 6 ? centre.size() - 6 : 0];
    const cv::Point2f up = (top - below) * (1.0f / std::max(1e-3f, float(cv::norm(top - below))));
    const cv::Point2f side(-up.y, up.x);
    for (float sign : {-1.0f, 1.0f}) {
      const cv::Point2f leaf = top + side * (sign * 10.0f) + up * 3.0f;
      const double angle = std::atan2(side.y * sign, side.x * sign) * 180.0 / kPi;
      const float rotated = static_cast<float>(settings_.rotation * t);
      cv::ellipse(image, fixed(toImage(leaf, t)), cv::Size(12 << kDrawShift, 5 << kDrawShift),
                  angle + rotated, 0, 360, cv::Scalar(50, 70, 60), cv::FILLED, cv::LINE_AA,
                  kDrawShift);
    }
  }
  if (settings_.noise > 0) {
    cv::Mat noise(image.size(), CV_16SC3);
    cv::RNG rng(settings_.seed * 7919u + static_cast<uint32_t>(t));
    rng.fill(noise, cv::RNG::NORMAL, 0, settings_.noise);
    cv::Mat noisy;
    image.convertTo(noisy, CV_16SC3);
    noisy += noise;
    noisy.convertTo(image, CV_8UC3);
  }
  if (truthOut != nullptr) *truthOut = truth(t);
  return image;
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
