#include "export/growth_plot.h"

#include "export/growth.h"

namespace stemscan {
namespace {

const char* lengthNameOf(const ExportSources& sources) {
  bool allPlaced = true;
  bool atEdge = false;
  for (int s = 0; s < sources.hypocotyls(); ++s) {
    for (unsigned t = 0; t < sources.images(); ++t) {
      if (sources.contour(s, t).empty()) continue;
      const ResultStore::Base base = sources.store.baseOf(s, t);
      allPlaced =
          allPlaced && (base == ResultStore::Base::kPlaced || base == ResultStore::Base::kCollar);
      atEdge = atEdge || base == ResultStore::Base::kImageEdge;
    }
  }
  return lengthName(allPlaced, atEdge);
}

}  // namespace

const char* lengthName(bool allPlaced, bool atEdge) {
  if (atEdge) return "visible stem length";
  return allPlaced ? "hypocotyl length" : "contour length";
}

const char* const kGrowthPlotMark = "StemScan growth plot";

GrowthFigure plateGrowthFigure(const ExportSources& sources, const std::string& title) {
  const Experiment& experiment = sources.experiment;
  const double scale = experiment.px_per_mm ? 1.0 / *experiment.px_per_mm : 1.0;
  const bool grouped = !experiment.layout_path.empty();
  GrowthFigure figure;
  figure.title = title;
  figure.unit = experiment.px_per_mm ? "mm" : "px";
  figure.xTitle = experiment.timesKnown() ? "time (h)" : "image";
  figure.lengthTitle = std::string(lengthNameOf(sources)) + " (" + figure.unit + ")";
  for (const GrowthSeries& series : growthSeries(sources)) {
    if (series.x.empty()) continue;
    GrowthCurve curve;
    curve.group = grouped ? experiment.labelOf(series.hypocotyl) : "all seedlings";
    if (curve.group.empty()) curve.group = "(no label)";
    curve.tag = std::to_string(series.hypocotyl);
    curve.x = series.x;
    for (double length : series.length_px) curve.y.push_back(length * scale);
    figure.curves.push_back(curve);
  }
  return figure;
}

}  // namespace stemscan
