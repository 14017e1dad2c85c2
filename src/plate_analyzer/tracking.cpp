// The per-image update of the hypocotyls, in the windows' run: the window-free analysis with
// the run's settings, and a contour refitted after the user added or removed points.
#include <filesystem>
#include <iostream>

#include "analysis/plate_tracking.h"
#include "plate_analyzer/plate_analyzer.h"

namespace stemscan {

std::string PlateAnalyzer::trackerContext(int i) const {
  const std::string file =
      grabber ? std::filesystem::path(grabber->lastName()).filename().string() : "";
  return " (hypocotyl " + std::to_string(i) + ", row " + std::to_string(i / nb_cols + 1) +
         ", col " + std::to_string(i % nb_cols + 1) + ", image " + std::to_string(timeIndex()) +
         ": " + file + ")";
}

void PlateAnalyzer::trackHypocotyls(int endMode) {
  const TrackingSettings settings{tuning.maxGrowth, moving_base, refine};
  trackAndFit(
      snakes, thresholds_, base_set_, settings, endMode, random_,
      [this](int i) { return trackerContext(i); }, std::cout, std::cerr);
}

void PlateAnalyzer::refitHypocotyl(int index) {
  Snake* s = snake(index);
  if (s == nullptr || thresholds_.mask().empty()) return;
  applyThresholdOf(index);
  placeEnds(*s);
  s->optimise(thresholds_.mask(), 10, -1, random_);
}

}  // namespace stemscan
