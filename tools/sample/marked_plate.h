// A real plate's seedlings marked by eye (tops and collars, as in tests/data/abrs_flight): a
// session that selects them at their marked tops, and the refined fit's agreement with the marks.
#pragma once

#include <string>
#include <vector>

#include "tools/sample/evaluation.h"

namespace stemscan::sample {

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
