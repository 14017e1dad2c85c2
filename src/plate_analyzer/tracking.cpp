// The per-image update of the hypocotyls, in the windows' run: the window-free analysis with
// the run's settings, and a contour refitted after the user added or removed points.
#include "analysis/plate_tracking.h"
#include "plate_analyzer/plate_analyzer.h"

namespace stemscan {

void PlateAnalyzer::trackHypocotyls(int endMode) {
  TrackingSettings settings;
  settings.maxGrowth = tuning.maxGrowth;
  settings.movingBase = moving_base;
  settings.refine = refine;
  pipeline_.track(settings, endMode);
  flags_ = pipeline_.checkTracks();
}

void PlateAnalyzer::refitHypocotyl(int index) {
  Snake* s = snake(index);
  if (s == nullptr || levels().mask().empty()) return;
  applyThresholdOf(index);
  placeEnds(*s);
  s->optimise(levels().mask(), 10, -1, random_);
}

}  // namespace stemscan
