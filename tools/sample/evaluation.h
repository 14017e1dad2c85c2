// Sessions that select a rendered plate's hypocotyls at their true tops, and the comparison of
// StemScan's tables with the plate's ground truth.
#pragma once

#include <string>
#include <vector>

#include "tools/sample/plate_renderer.h"

namespace stemscan::sample {

// A session script: every hypocotyl selected at its true top at image 0, one threshold for
// all, and (with `rowBottoms`) each row's bottom set on its true bases.
std::string selectionSession(const PlateSettings& plate, int threshold, bool rowBottoms);

struct Accuracy {
  int measurements = 0;        // hypocotyl-images compared
  int missing = 0;             // of them, without a value in the tables
  double meanLengthError = 0;  // pixels, absolute
  double worstLengthError = 0;
  double meanLengthErrorPercent = 0;  // of the true length
  double worstLengthErrorPercent = 0;
  double meanTopError = 0;  // pixels
  double lostShare = 0;     // share of measurements whose top is more than `lostPixels` off
};

// A table's text as rows of numbers; "nan" reads as NaN.
std::vector<std::vector<double>> parseTable(const std::string& text);

// Compares the "_len.txt" and "_tip.txt" tables (their text) with the truth of images
// 0 ... images - 1.
Accuracy evaluate(const PlateSettings& plate, const std::string& lengthTable,
                  const std::string& tipTable, double lostPixels = 5.0);

}  // namespace stemscan::sample
