#include "tools/benchmark/conditions.h"

namespace stemscan::benchmark {

std::vector<Condition> conditions() {
  std::vector<Condition> all;
  const auto add = [&all](const std::string& name, auto change) {
    Condition c;
    c.name = name;
    change(c);
    all.push_back(c);
  };
  add("1x6 default", [](Condition&) {});
  add("straight", [](Condition& c) { c.plate.curvature = 0.0f; });
  add("curved", [](Condition& c) { c.plate.curvature = 0.008f; });
  add("fast growth", [](Condition& c) { c.plate.growth = 5.0f; });
  add("drift", [](Condition& c) {
    c.plate.driftX = 1.5f;
    c.plate.driftY = -1.0f;
    c.movingBase = true;
  });
  add("rotation", [](Condition& c) {
    c.plate.rotation = 0.15f;
    c.movingBase = true;
  });
  add("strong noise", [](Condition& c) { c.plate.noise = 15.0f; });
  add("jpeg", [](Condition& c) { c.format = "jpg"; });
  add("4x12 grid", [](Condition& c) {
    c.plate.rows = 4;
    c.plate.cols = 12;
    c.plate.width = 1920;
    c.plate.height = 1280;
  });
  add("bare stems", [](Condition& c) { c.plate.cotyledons = false; });
  // Two rows close together: the lower row's cotyledons grow into the roots of the row above.
  add("close rows", [](Condition& c) {
    c.plate.rows = 2;
    c.plate.cols = 4;
    c.plate.width = 640;
    c.plate.height = 360;
    c.plate.growth = 3.5f;
  });
  // Lower thresholds than the plates' midway grey: the stems and cotyledons thin out in the mask.
  add("threshold 90", [](Condition& c) { c.threshold = 90; });
  add("threshold 75", [](Condition& c) { c.threshold = 75; });
  // Whole dark-grown seedlings, a dark root with hairs below the collar, sliding 100 px down
  // the picture as they grow; nobody puts the bases.
  add("whole sliding", [](Condition& c) {
    c.plate = sample::slidingWholeSeedlings(4);
    c.rowBottoms = false;
  });
  // Light-grown: bright thin stems on a dark plate with a printed grid, cotyledons open on
  // petioles, seedlings in pairs (a pair to a grid cell), tops rising 30 px per image.
  add("light grid", [](Condition& c) {
    c.plate = sample::lightGrownOnGrid(8);
    c.plate.gridSpacing = 200;
    c.plate.pairGap = 14.0f;
    c.bright = true;
  });
  return all;
}

}  // namespace stemscan::benchmark
