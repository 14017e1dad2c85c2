// <out>_growth.svg: every hypocotyl's length against time, coloured by label, with a legend,
// axes with ticks and units and, when a layout names the seedlings, each label's mean with a
// band of one standard error. Plain SVG 1.1.
#pragma once

#include <string>

#include "export/export_sources.h"

namespace stemscan {

// The comment on the plot's second line, by which a later run knows the file as its own.
extern const char* const kGrowthPlotMark;

std::string growthPlot(const ExportSources& sources);

}  // namespace stemscan
