// The synthetic conditions the accuracy benchmark renders and measures.
#pragma once

#include <string>
#include <vector>

#include "tools/sample/plate_renderer.h"

namespace stemscan::benchmark {

struct Condition {
  std::string name;
  sample::PlateSettings plate;
  std::string format = "png";
  bool movingBase = false;  // the plate moves: let the bases follow it (--base)
  int threshold = 120;      // the one set in the calibration window
  bool rowBottoms = true;   // the session puts each row's bottom on its bases
  bool bright = false;      // light seedlings on a dark plate (--bright)
};

// Every condition, in the order of the tables.
std::vector<Condition> conditions();

}  // namespace stemscan::benchmark
