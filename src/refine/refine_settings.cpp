#include "refine/refine_settings.h"

namespace stemscan {

std::string RefineSettings::Check() const {
  if (!(pointSpacing > 0.0f)) return "pointSpacing must be positive";
  if (minPoints < 2) return "minPoints must be at least 2";
  if (margin < 1) return "margin must be at least 1 pixel";
  if (!(topReach > 0.0f)) return "topReach must be positive";
  if (!(widening > 1.0f) || !(crossWidening > 1.0f) || !(wideningStart > 1.0f)) {
    return "widening, crossWidening and wideningStart must each be more than 1";
  }
  if (!(junctionReach > 0.0f)) return "junctionReach must be positive";
  if (!(levelTolerance >= 0.0f) || !(lighterStem >= 0.0f) || !(climbAboveTracked >= 0.0f)) {
    return "levelTolerance, lighterStem and climbAboveTracked must not be negative";
  }
  if (specks < 0) return "specks must not be negative";
  if (!(petioleReach > 0.0f)) return "petioleReach must be positive";
  if (!(collarStemFrom >= 0.0f && collarStemFrom < collarStemTo && collarStemTo <= 1.0f)) {
    return "collarStemFrom and collarStemTo must be shares with collarStemFrom the smaller";
  }
  if (!(collarNarrowing > 0.0f && collarNarrowing < 1.0f) || !(collarShare > 0.0f) ||
      !(collarShare <= 1.0f) || !(collarRun > 0.0f) || !(collarEven > 0.0f) ||
      !(collarEven <= 1.0f) || !(collarRootContrast > 0.0f)) {
    return "collarNarrowing, collarShare and collarEven must be shares, collarRun positive";
  }
  if (!(collarWidening > 1.0f) || !(collarWideShare > 0.0f && collarWideShare <= 1.0f) ||
      !(collarWideRun > 0.0f) || !(collarHairSpread >= 0.0f) || collarRootWithin < 1) {
    return "collarWidening must be more than 1, collarWideShare a share, collarWideRun positive, "
           "collarHairSpread not negative and collarRootWithin at least 1";
  }
  return "";
}

}  // namespace stemscan
