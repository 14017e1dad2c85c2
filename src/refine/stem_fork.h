// Where a light-grown seedling's stem forks into the petioles of its open cotyledons: its top,
// by the usual convention. A path up the stem runs on up one petiole to its leaf, where the
// tube widens; the fork lies below, where the other petiole leaves the path. Of the dark things
// beside the top of the path, a petiole is the one that meets it at one place, below the top,
// and reaches away from it on the way the stem grows: a hook's cotyledons lie against the stem or
// hang from its apex, a neighbour's stem does not meet it, and a grid line crossing it sticks out
// of it by a pixel or two.
#pragma once

#include <optional>
#include <vector>

#include "refine/stem_tube.h"
#include "util/vec2.h"

namespace stemscan {

// The arc length from the top of `centreline` (top first) down to the fork, within a petiole's
// reach of the top (a few stem widths, `petiole` pixels at most); nothing where no branch
// leaves it there. `radius` is the stem's radius and `up` the way seedlings grow in the image.
std::optional<float> forkBelowTop(const Tube& tube, const std::vector<Vec2>& centreline,
                                  float radius, const Vec2& up, float petiole);

}  // namespace stemscan
