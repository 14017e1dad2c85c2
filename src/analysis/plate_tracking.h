// The analysis of one image, window-free: every hypocotyl's ends tracked into it and its
// contour fitted on it.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/thresholds.h"
#include "snake/snake.h"
#include "util/random_source.h"

namespace stemscan {

// How the hypocotyls are carried into a new image.
struct TrackingSettings {
  int maxGrowth = 5;        // how far an end may move between two images, in pixels
  bool movingBase = false;  // the bases' trackers carry them too (--base)
  bool refine = false;      // the refined fit (--refine), the plain one where it finds no stem
  // The refined fit does not follow straight lines longer than this share of the image's side
  // (a printed grid, the plate's edge), except where a stem crosses them. A long etiolated stem
  // photographed close up can run straight down four fifths of the picture.
  float lineShare = 0.9f;
  // How far each hypocotyl's top moved between the last two images stored (0 where unknown):
  // the refined fit looks for a top that far from where it was tracked, and more.
  std::vector<float> recentSteps;
};

// Puts the contour's ends where their trackers are; a tracker not placed yet is put on its end.
void placeEnds(Snake& s);

// Tracks the ends of every hypocotyl in use into the image `thresholds` holds (each at its own
// threshold) and fits each contour on it; the plain fits draw from `random` in hypocotyl order
// (`endMode` as Snake::visitingOrders takes it). `baseSet[i]` says that the user put hypocotyl
// i's base. The trackers' messages go to `messages` and `errors` in hypocotyl order, each
// followed by `context(i)`, which names the hypocotyl and the image. Returns, for every
// hypocotyl, whether the refined fit found its base at the collar.
std::vector<bool> trackAndFit(std::vector<Snake>& snakes, Thresholds& thresholds,
                              const std::vector<bool>& baseSet, const TrackingSettings& settings,
                              int endMode, RandomSource& random,
                              const std::function<std::string(int)>& context,
                              std::ostream& messages, std::ostream& errors);

}  // namespace stemscan
