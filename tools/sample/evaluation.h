// Sessions that select a rendered plate's hypocotyls at their true tops, and the comparison of
// StemScan's tables with the plate's ground truth.
#pragma once

#include <cmath>
#include <initializer_list>
#include <map>
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

// The fields of one line of a CSV file of ours (no quoted commas), a trailing empty one kept.
std::vector<std::string> fieldsOf(const std::string& line);
// Each column's position by its name in a header line; empty where one of `needed` is missing.
std::map<std::string, std::size_t> columnsNamed(const std::string& header,
                                                std::initializer_list<const char*> needed);

// A table's text as rows of numbers; "nan" reads as NaN.
std::vector<std::vector<double>> parseTable(const std::string& text);

// Compares the "_len.txt" and "_tip.txt" tables (their text) with the truth of images
// 0 ... images - 1.
Accuracy evaluate(const PlateSettings& plate, const std::string& lengthTable,
                  const std::string& tipTable, double lostPixels = 5.0);

// Seedlings found on one image against the true (or marked) tops: each true top takes the
// nearest unmatched top found within `tolerance` pixels.
struct DetectionScore {
  int found = 0;       // true tops with a top found near them
  int missed = 0;      // true tops without
  int inError = 0;     // tops found near no true top
  double meanTop = 0;  // pixels, over the tops found
};
DetectionScore scoreDetection(const std::vector<cv::Point2f>& truth,
                              const std::vector<cv::Point2f>& found, double tolerance);

// One line of a long table (`<out>.csv`): where the hypocotyl's ends were, and whether a track
// check flagged it. Ends are NaN where nothing was measured.
struct LongTableRow {
  int image = 0;
  int hypocotyl = 0;
  cv::Point2f top, base;
  bool flagged = false;
  bool measured() const { return !std::isnan(top.x); }
};
// The lines of a long table (its text), its columns found by their names in the header.
std::vector<LongTableRow> readLongTable(const std::string& text);

// The track checks' flags in a long table (`<out>.csv`, its text) against the true tops: a
// measurement is lost when its top is more than `lostPixels` from the truth (or missing).
struct FlagAgreement {
  int measurements = 0;  // hypocotyl-images compared
  int flagged = 0;       // of them, with a flag
  int lost = 0;
  int lostFlagged = 0;  // lost and flagged
  int falseAlarms = 0;  // flagged but not lost
};
// `truth[t][s]`: the true top of hypocotyl s at image t (NaN where unknown).
FlagAgreement compareFlags(const std::vector<std::vector<cv::Point2f>>& truth,
                           const std::string& longTable, double lostPixels = 15.0);
// The rendered plate's true tops, by image then hypocotyl.
std::vector<std::vector<cv::Point2f>> trueTops(const PlateSettings& plate);

struct StemShare {
  double mean = 0;        // over the images
  double worstImage = 0;  // at the image with the smallest share
};
// The share of contour points (a "_contours.csv" text) on dark pixels (below `threshold`,
// within `tolerance` pixels) of the photographs <folder>/1.TIF, 2.TIF, ... (image k: k+1.TIF).
StemShare pointsOnStem(const std::string& folder, const std::string& contours, int threshold,
                       int tolerance);

}  // namespace stemscan::sample
