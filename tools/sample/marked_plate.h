// Real plates' seedlings marked by eye (tops, as in cry1's tops.csv, and collars, as in
// tests/data/abrs_flight): the marks read, sessions that select the seedlings at them, and the
// tables' agreement with them.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "tools/sample/evaluation.h"

namespace stemscan::sample {

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

// The marked tops, by frame then seedling (NaN where a frame has no mark).
std::vector<std::vector<cv::Point2f>> markedTops(const std::vector<MarkedTop>& marks, int frames,
                                                 int seedlings);

// A session script selecting each marked seedling, left to right, at its top on the first
// photograph (frame 0), with one threshold for all.
std::string markedSelection(const std::vector<MarkedTop>& marks, int threshold);

struct MarkAgreement {
  int marks = 0;
  int topsWithin15 = 0;
  int collarsWithin10 = 0;
  double topMean = 0;     // pixels, over the marks measured (a missing one is no top within 15)
  double collarMean = 0;  // pixels, over the marked collars measured
};

// The tops and bases of a long table (`<out>.csv`, its text) from a run of markedSelection's
// session against the marks: hypocotyl k is the k-th marked seedling from the left.
MarkAgreement agreeWithMarks(const std::vector<MarkedTop>& marks, const std::string& longTable);

}  // namespace stemscan::sample
