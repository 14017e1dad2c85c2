// Renders synthetic time-lapses of a seedling plate with known ground truth: a grid of
// seedlings on an agar-like background, each a dark hypocotyl with a smoothly curved
// centreline of known length, cotyledons at its top and a thinner root below its base (its
// collar). Whole dark-grown seedlings (a dark root with hairs, sliding down the plate) and
// light-grown plates (thin stems, cotyledons open on petioles, pairs, a printed grid, bright on
// dark) are settings of the same renderer.
#pragma once

#include <cstdint>
#include <opencv2/core/mat.hpp>
#include <string>
#include <vector>

namespace stemscan::sample {

struct PlateSettings {
  int rows = 1;
  int cols = 6;
  int width = 960;
  int height = 480;
  int images = 30;
  float startLength = 60.0f;  // hypocotyl length at image 0, pixels
  float growth = 2.0f;        // pixels per image
  float curvature = 0.004f;   // largest bending (1 / radius, pixels^-1); signs vary per seedling
  float thickness = 6.0f;     // hypocotyl width, pixels
  float driftX = 0.0f;        // plate motion per image, pixels
  float driftY = 0.0f;
  float rotation = 0.0f;   // plate rotation per image about its centre, degrees
  float noise = 4.0f;      // sensor noise, grey levels (standard deviation)
  bool cotyledons = true;  // false: bare stems, their tops where the stroke ends
  uint32_t seed = 3;
  float baseAt = 0.85f;         // the bases' height in their cell, from its top (0 to 1)
  float rootWidth = 2.0f;       // pixels
  float rootLength = 60.0f;     // pixels
  bool darkRoot = false;        // the root as dark as the hypocotyl (a dark-grown seedling's)
  bool rootHairs = false;       // a fuzz of fine hairs along the root's upper part
  float slide = 0.0f;           // the seedlings (not the plate) slide down, pixels per image
  bool openCotyledons = false;  // cotyledons on petioles forking at the top (light-grown)
  int gridSpacing = 0;          // a printed grid of lines this far apart, pixels; 0 for none
  float pairGap = 0.0f;         // > 0: seedlings stand in pairs, their bases this far apart
  bool bright = false;          // light seedlings on a dark plate: the picture's negative
};

// Whole dark-grown seedlings, `cols` of them 160 px apart, 150 px long at first and growing 5 px
// per image for 21 images, with a dark root and root hairs below each collar, sliding 5 px per
// image down the picture.
PlateSettings slidingWholeSeedlings(int cols);
// Light-grown seedlings, `cols` of them 100 px apart, 4 px thick, nearly straight, cotyledons
// open on petioles, 40 px long at first and rising 30 px per image for 8 images, bright on a
// dark plate with a printed grid (lines 100 px apart, between the seedlings).
PlateSettings lightGrownOnGrid(int cols);

// Where one seedling stands at one image.
struct SeedlingTruth {
  int image = 0;
  int hypocotyl = 0;  // row * cols + column
  float topX = 0, topY = 0;
  float baseX = 0, baseY = 0;
  float length = 0;  // along the centreline
};

class PlateRenderer {
 public:
  explicit PlateRenderer(const PlateSettings& settings);

  // Image t of the time-lapse (8-bit BGR) and the truth of every seedling in it.
  cv::Mat render(int t, std::vector<SeedlingTruth>* truth = nullptr) const;
  // The truth alone, without drawing.
  std::vector<SeedlingTruth> truth(int t) const;
  // The true centreline of hypocotyl i at image t, in image pixels from the base to the top.
  std::vector<cv::Point2f> centrelineAt(int i, int t) const;

  const PlateSettings& settings() const { return settings_; }

 private:
  struct Seedling {
    cv::Point2f base;     // on the plate at image 0
    float lean = 0;       // starting direction, radians from straight up
    float curvature = 0;  // 1 / radius
  };
  // The centreline of seedling s at image t from its base up to its top, as plate points.
  std::vector<cv::Point2f> centreline(const Seedling& s, float length) const;
  cv::Point2f toImage(const cv::Point2f& p, int t) const;
  // A point of a seedling (which may slide on the plate) in the image.
  cv::Point2f seedlingToImage(const cv::Point2f& p, int t) const;
  void drawSeedling(cv::Mat& image, const Seedling& s, int t) const;

  PlateSettings settings_;
  std::vector<Seedling> seedlings_;
  std::vector<cv::Point3f> specks_;  // x, y, radius
  cv::Mat background_;
};

// Writes images 0 ... n-1 as <folder>/<name>NN.<format> and the ground truth as CSV; returns
// false (with a message on the error stream) when a file cannot be written.
bool writePlate(const PlateSettings& settings, const std::string& folder, const std::string& name,
                const std::string& format, const std::string& truthPath);

}  // namespace stemscan::sample
