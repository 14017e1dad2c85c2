// Refined contours kept apart: where a hypocotyl's refined path runs along another's stem, the
// one whose top moved least keeps the stem and the other goes back to where it was before the
// image (and is flagged merged), rather than two columns of the tables measuring one stem.
#pragma once

#include <vector>

#include "analysis/thresholds.h"
#include "snake/snake.h"

namespace stemscan {

// A contour before an image was analysed.
struct ContourBefore {
  std::vector<Vec2> points;
  Vec2 top;  // its trackers' positions
  Vec2 base;
};

std::vector<ContourBefore> contoursBefore(const std::vector<Snake>& snakes);

// Puts back every contour in use that runs onto another (and moved further than it); returns
// which were put back. `sharedShare` as the track checks take it.
std::vector<bool> keepApart(std::vector<Snake>& snakes, const std::vector<ContourBefore>& before,
                            const Thresholds& thresholds, float sharedShare);

}  // namespace stemscan
