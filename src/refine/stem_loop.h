// Where the cotyledons of a closed hook hang down against the stem and touch it, the
// thresholded stem and cotyledons form a loop: the tube has a hole, and the stem's path can go
// round it either way, up the stem or up the cotyledons. The cotyledons are thicker, so the
// cheapest path takes them; in the grey image they are darker than the stem (two folded leaves
// hold more tissue than the hypocotyl), and that tells the two ways apart.
#pragma once

#include <opencv2/core/mat.hpp>
#include <vector>

#include "refine/stem_tube.h"
#include "util/vec2.h"

namespace stemscan {

// The path up the stem's side of a loop. Where `path` (through `tube` to the far end of the tube
// near `near`, as pathToFarEnd finds it) passes a hole in the tube at least a
// quarter of the stem's radius squared in area, and the way round the hole's other side is
// lighter in `grey` by more than `margin` grey levels, that way; `path` otherwise.
std::vector<Vec2> stemSideOfLoop(const Tube& tube, const cv::Mat& grey, std::vector<Vec2> path,
                                 const Vec2& near, int reach, float radius, float margin);

}  // namespace stemscan
