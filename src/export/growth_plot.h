// <out>_growth.{svg,pdf,png}: the plate's growth figure (every hypocotyl's length and
// elongation against time, coloured by label, each hypocotyl named at its last point, each
// label's mean with a band of one standard error). Measurements flagged as suspect are left
// out, as in the growth table.
#pragma once

#include <string>

#include "export/export_sources.h"
#include "figure/growth_figure.h"

namespace stemscan {

// The mark by which a later run knows a figure as its own.
extern const char* const kGrowthPlotMark;

// What the lengths are, named by their bases: a hypocotyl's only where every base was placed by
// the user or found at the collar; a visible stem's where a base stands at the image's edge (the
// stem runs off the picture); otherwise the contour's, from where its base was seeded or tracked.
const char* lengthName(bool allPlaced, bool atEdge);

// The plate's figure, under `title` (the plate's name).
GrowthFigure plateGrowthFigure(const ExportSources& sources, const std::string& title);

}  // namespace stemscan
