// experiment_growth.{svg,pdf,png}: the growth figure of every plate of an experiment, each
// seedling a line in its label's colour, named by its plate and number at its last point.
#pragma once

#include <string>
#include <vector>

#include "figure/growth_figure.h"

namespace stemscan {

// One plate's long table (<out>.csv): its header and lines.
struct PlateRows {
  std::string name;
  std::string header;
  std::vector<std::string> lines;
};

// Lengths in mm where every plate has a scale, against hours where every plate has times;
// measurements flagged as suspect left out.
GrowthFigure experimentGrowthFigure(const std::string& title, const std::vector<PlateRows>& plates);

}  // namespace stemscan
