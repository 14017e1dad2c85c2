// Growth of each hypocotyl over the images where it was measured: first and last length, and
// the least-squares rate of length against time (against the image index where no time is
// known) with its coefficient of determination. Measurements the track checks flagged (and the
// user did not correct) are left out, and counted.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "export/export_sources.h"

namespace stemscan {

struct GrowthSeries {
  int hypocotyl = 0;
  std::vector<double> x;          // hours, or image index where no time is known
  std::vector<double> length_px;  // at each x
  std::vector<unsigned> images;   // the image index of each point
  int suspect = 0;                // flagged measurements left out
};

struct LineFit {
  double slope = 0.0;
  std::optional<double> r2;  // nothing for fewer than three points or lengths all equal
};

// Every hypocotyl of the grid, with the images where it was measured and not flagged.
std::vector<GrowthSeries> growthSeries(const ExportSources& sources);
// The least-squares line through (x, y); nothing for fewer than two distinct x.
std::optional<LineFit> fitLine(const std::vector<double>& x, const std::vector<double>& y);

// <out>_growth.csv: one line per hypocotyl.
std::string growthTable(const ExportSources& sources);

}  // namespace stemscan
