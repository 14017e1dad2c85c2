// Finding the seedlings of a plate on one image, with no click: the hypocotyls standing in it,
// each with the top a person would click (the apex of a hook, or where a stem meets its open
// cotyledons), and a threshold that makes the stems dark and the background light.
#pragma once

#include <opencv2/core/mat.hpp>
#include <string>
#include <vector>

#include "util/vec2.h"

namespace stemscan {

struct DetectSettings {
  // Why these settings cannot be used; empty when they can.
  std::string Check() const;

  // The background is the image's median over squares of this share of its shorter side:
  // wide enough that no stem darkens it, narrow enough to follow the plate's lighting.
  float backgroundShare = 1.0f / 8.0f;
  // A pixel is part of a seedling where it is darker than the background by this many times
  // the image's noise (and by Otsu's split of the darkening, where that is higher).
  float noiseFactor = 4.0f;
  // Straight lines longer than this share of the image's side (printed grid lines, plate
  // edges) are not seedlings.
  float lineShare = 0.8f;
  // A seedling is at least this many stem widths tall...
  float minElongation = 3.0f;
  // ... and at least this many pixels.
  int minHeight = 12;
  // A candidate weaker than this share of the strongest is left out (dust, hairs).
  float minStrengthShare = 0.15f;
  // A candidate wider or taller than this share of the image is not one seedling.
  float maxShare = 0.6f;
};

// One seedling found.
struct Seedling {
  Vec2 top;             // where a person would click: on the centreline at the stem's top
  cv::Rect box;         // the seedling's dark pixels
  float strength = 0;   // its darkness summed over its pixels
  float stemWidth = 0;  // pixels
  int row = 0;          // of the rows the seedlings found stand in, counted from the top
};

struct Detection {
  std::vector<Seedling> seedlings;  // the strongest, at most the number asked for
  std::vector<Seedling> leftOut;    // further candidates beyond that number
  // The grey level between the seedlings' and their background's (Otsu's split of the
  // seedlings' neighbourhoods); -1 where no seedling was found.
  int threshold = -1;
  // The image looks like light seedlings on a dark background.
  bool looksBright = false;
};

// Finds at most `count` seedlings in the grey image (dark stems on a lighter background),
// ordered row by row from the top, left to right.
Detection detectSeedlings(const cv::Mat& grey, int count, const DetectSettings& settings = {});

// Otsu's threshold of the grey levels inside `box` (clipped to the image); -1 for an empty box.
int thresholdAround(const cv::Mat& grey, const cv::Rect& box);

}  // namespace stemscan
