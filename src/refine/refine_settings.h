// The refined fit's settings: every number its rules use, in one place.
#pragma once

#include <string>

namespace stemscan {

struct RefineSettings {
  // Why these settings cannot be used (a spacing or a margin of no size, a widening that is no
  // widening, ...); empty when they can.
  std::string Check() const;

  float pointSpacing = 5.0f;  // pixels of stem per contour point
  int minPoints = 10;
  int margin = 40;              // pixels around the contour and the tracked top that the fit sees
  float topReach = 40.0f;       // how far from the tracked top the far end of the tube may lie
  float widening = 1.25f;       // past this many times the stem's depth the tube has widened
  float crossWidening = 2.0f;   // or past this many times its width across the path
  float wideningStart = 1.25f;  // and began where it was this many times as wide
  float junctionReach = 2.0f;   // stem widths from the highest point down to a junction, at most
  float levelTolerance = 1.0f;  // pixels below the highest point where the stem still runs level
  float lighterStem = 2.0f;     // grey levels by which a loop's stem side is lighter than its
                                // cotyledons' side, at least
  float climbAboveTracked = 0.5f;  // stem radii a merged hook's apex may lie above the tracked
                                   // top, at most
  int specks = 5;  // light specks next to the contour from which the mask is cleaned first
  // The collar, where nobody set the base. The stem's radius is measured between these shares
  // of the centreline from the top. The root is all the line below the collar, collarShare of
  // it narrower than collarNarrowing of the stem's width over collarRun stem widths above it,
  // where the stem is even (a quarter of them no narrower than collarEven of that width).
  float collarStemFrom = 0.15f;
  float collarStemTo = 0.5f;
  float collarNarrowing = 0.7f;
  float collarShare = 0.8f;
  float collarRun = 3.0f;
  float collarEven = 0.8f;
  // Or the line widens past collarWidening of the even stem's width over collarWideShare of
  // collarWideRun stem widths below (each width the widest within collarHairSpread stem radii),
  // and a root no wider than the stem goes on below within collarRootWithin such runs.
  float collarWidening = 1.4f;
  float collarWideShare = 0.7f;
  float collarWideRun = 4.0f;
  float collarHairSpread = 1.5f;
  int collarRootWithin = 3;
  // Or the stem's line ends and a root goes on below it: darker than its background by this
  // share of the stem's contrast, over collarShare of collarRun stem widths.
  float collarRootContrast = 0.15f;
  // How far below the top a light-grown seedling's stem may fork into its petioles, in pixels.
  float petioleReach = 60.0f;
};

}  // namespace stemscan
