// The refined fit of a contour on its stem (--refine). After the ends were tracked into a new
// image, the stem is followed as a tube: the thresholded image's dark pixels, with their
// distance transform giving the middle of the tube. The cheapest path through the tube from
// the base (put back on the centreline at its own height) to the far end of the tube's middle
// line near the tracked top runs along the middle of the stem (where the stem and the cotyledons
// of a closed hook touch and leave a hole in the tube, up the lighter side of it). The top is the
// highest point of that path (the apex of a hook; where hook and cotyledons are one blob, a stem
// radius below the blob's upper edge), unless the path rises there through a part of the tube
// wider than the stem (the cotyledons): then the stem ends where that widening starts. The
// contour is the path from the top down to the base, with its points spread evenly along it, more
// of them as the stem grows.
#pragma once

#include <opencv2/core/mat.hpp>

#include "refine/refine_settings.h"
#include "refine/stem_top.h"
#include "snake/snake.h"

namespace stemscan {

// Where a contour's base comes from.
enum class BaseKind {
  kFound,  // nobody set it: the base is where the stem ends below, or leaves the image
  kSet,    // the user set it, and it stays at its height
  // The user set it and its tracker carries it: where the stem narrows into its root (or ends)
  // near it, the base is held on that narrowing, or the tracker slides along the stem.
  kTracked,
};

// What a refined fit decided.
struct RefineReport {
  TopRule rule = TopRule::kShortPath;  // which rule put the top (see topOnPath)
  bool collar = false;  // the base was found at the collar (or where the stem ends below)
};

// Fits `snake` on the stem in `mask` (8-bit; the stem dark, below 128, the background light),
// its base as `baseKind` says; `grey`, the image `mask` was thresholded from, tells a closed
// hook's stem from its cotyledons where the two touch (none where empty). The trackers' positions
// follow the ends. False, leaving the snake as it was, where no stem joins the base to the top's
// surroundings, or where `settings` fail their Check(). A base nobody set is put at the
// collar where the stem narrows into a visible root or widens into the bulge of its root hairs,
// else where the stem ends below or leaves the image. `report`, where given, tells what the fit
// decided.
bool refineOnStem(Snake& snake, const cv::Mat& mask, const cv::Mat& grey, BaseKind baseKind,
                  const RefineSettings& settings = RefineSettings(),
                  RefineReport* report = nullptr);

}  // namespace stemscan
