// The refined fit of a contour on its stem (--refine). After the ends were tracked into a new
// image, the stem is followed as a tube: the thresholded image's dark pixels, with their
// distance transform giving the middle of the tube. The cheapest path through the tube from
// the base (put back on the centreline at its own height) towards the tracked top runs along
// the middle of the stem; the top is the point of that path furthest in the stem's upward
// direction before the tube widens into the cotyledons (the hook's apex, or just below the
// cotyledons once the hook has opened). The contour is that path from the top down to the
// base, with its points spread evenly along it, more of them as the stem grows.
#pragma once

#include <opencv2/core/mat.hpp>

#include "snake/snake.h"

namespace stemscan {

struct RefineSettings {
  float pointSpacing = 5.0f;  // pixels of stem per contour point
  int minPoints = 10;
  int margin = 40;         // pixels around the contour and the tracked top that the fit sees
  float topReach = 40.0f;  // how far from the tracked top the far end of the tube may lie
  float widening = 1.2f;   // past this many stem radii the tube has widened into cotyledons
};

// Fits `snake` on the stem in `mask` (8-bit; the stem dark, below 128, the background light).
// A base the user set (`baseFromUser`) stays at its height; otherwise the base is where the
// stem ends below, or leaves the image. The trackers' positions follow the ends. False, leaving
// the snake as it was, where no stem joins the base to the top's surroundings.
bool refineOnStem(Snake& snake, const cv::Mat& mask, bool baseFromUser,
                  const RefineSettings& settings = RefineSettings());

}  // namespace stemscan
