// The growth figure: every seedling's length against time in one panel and its elongation
// (length minus its first length) in another, one colour per label (genotype, treatment),
// each label's mean with a band of one standard error, a legend row with each label's n under
// the title, and each seedling's name small at its last point. Drawn the same to SVG, PDF and
// PNG.
#pragma once

#include <string>
#include <vector>

#include "figure/figure_canvas.h"

namespace stemscan {

struct GrowthCurve {
  std::string group;  // curves of one group share a colour, a mean and a band
  std::string tag;    // written small at the curve's last point
  std::vector<double> x;
  std::vector<double> y;
};

struct GrowthFigure {
  std::string title;
  std::string xTitle;       // e.g. "time (h)"
  std::string lengthTitle;  // e.g. "hypocotyl length (mm)"
  std::string unit;         // the lengths' unit, for the elongation axis: "mm" or "px"
  bool bands = true;        // each group's mean and standard error
  std::vector<GrowthCurve> curves;
};

// The page every growth figure is drawn on.
FigurePage growthFigurePage();

// The figure's file; empty when cairo could not draw it.
std::string drawGrowthFigure(const GrowthFigure& figure, FigureFormat format,
                             const std::string& mark);

}  // namespace stemscan
