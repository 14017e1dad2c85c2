// Sessions that select a rendered plate's hypocotyls at their true tops, and the comparison of
// StemScan's tables with the plate's ground truth.
#pragma once

#include <cmath>
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

// A top marked by eye in a real sequence (tops.csv: frame,file,seedling,top_x,top_y,notes), and
// its collar where the marks give one (tracks.csv: ...,top_y,collar_x,collar_y,notes).
struct MarkedTop {
  int frame = 0;
  std::string file;
  int seedling = 0;
  double x = 0;
  double y = 0;
  double collarX = NAN;
  double collarY = NAN;
  bool uncertain = false;
};
std::vector<MarkedTop> readMarkedTops(const std::string& path);

struct TopAgreement {
  int marks = 0;
  double mean = 0;      // pixels
  double worst = 0;     // pixels
  double within15 = 0;  // share of marks within 15 px
};
// The marks on every `step`-th photograph, renumbered as in a sequence of those alone.
std::vector<MarkedTop> marksEvery(const std::vector<MarkedTop>& marks, int step);
// Links <folder>/1.TIF, 2.TIF, ... to every `step`-th of the photographs <data>/1.TIF ...
// <data>/<count>.TIF (links already there are kept).
void linkEvery(const std::string& data, const std::string& folder, int step, int count);
// A session script (its text) with its threshold slider set to `threshold` instead.
std::string withThreshold(const std::string& session, int threshold);

// The tracked tops of a "_tip.txt" table (its text) against the marks.
TopAgreement compareTops(const std::vector<MarkedTop>& marks, const std::string& tipTable);

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
// The marked tops, by frame then seedling (NaN where a frame has no mark).
std::vector<std::vector<cv::Point2f>> markedTops(const std::vector<MarkedTop>& marks, int frames,
                                                 int seedlings);

struct StemShare {
  double mean = 0;        // over the images
  double worstImage = 0;  // at the image with the smallest share
};
// The share of contour points (a "_contours.csv" text) on dark pixels (below `threshold`,
// within `tolerance` pixels) of the photographs <folder>/1.TIF, 2.TIF, ... (image k: k+1.TIF).
StemShare pointsOnStem(const std::string& folder, const std::string& contours, int threshold,
                       int tolerance);

}  // namespace stemscan::sample
