// The collar: where a hypocotyl ends below and its root begins. It shows in two ways.
// - The stem's centreline runs on into the root (a dark root, as thresholded as the stem): all
//   the line below the collar is much narrower than the even stretch of stem just above it.
//   Widths are read at half the stem's depth (fine pale root hairs do not count) and from the
//   line to its nearer edge (a hook's cotyledons on one side do not count either).
// - The stem's line runs on into something wider that goes on for a few stem widths: the bulge
//   at a light-grown root's top, where its dense root hairs begin. A line crossing the stem is
//   wide for its own thickness only.
// - The stem's line ends, and a fainter line (a thinner or paler root) goes on below it.
// A stem that keeps its width to the image's edge, or ends with nothing below, has no visible
// collar.
#pragma once

#include <opencv2/core/mat.hpp>
#include <optional>
#include <vector>

#include "refine/refine_settings.h"
#include "refine/stem_tube.h"
#include "util/vec2.h"

namespace stemscan {

struct Collar {
  float at = 0.0f;     // arc length from the top of the centreline
  bool found = false;  // a collar shows (at the centreline's end where no narrowing does)
};

// The collar on `centreline` (top first), read from `grey` (8-bit, the stems dark; without
// one, from the widths of `tube`, and only where the line narrows).
Collar collarOnCentreline(const Tube& tube, const cv::Mat& grey,
                          const std::vector<Vec2>& centreline, const RefineSettings& settings);

}  // namespace stemscan
