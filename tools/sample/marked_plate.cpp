#include "tools/sample/marked_plate.h"

#include <cmath>
#include <map>
#include <sstream>

namespace stemscan::sample {
namespace {

// The marks of frame 0, left to right by seedling number.
std::map<int, const MarkedTop*> firstMarks(const std::vector<MarkedTop>& marks) {
  std::map<int, const MarkedTop*> first;
  for (const MarkedTop& m : marks) {
    if (m.frame == 0) first[m.seedling] = &m;
  }
  return first;
}

}  // namespace

std::string markedSelection(const std::vector<MarkedTop>& marks, int threshold) {
  std::ostringstream session;
  session << "seed 1\n";
  for (const auto& [seedling, m] : firstMarks(marks)) {
    session << "mouse StemScan rup " << std::lround(m->x) << " " << std::lround(m->y) << " alt\n";
  }
  session << "key space\nslider thresholding threshold " << threshold << "\nkey space\nkey space\n";
  return session.str();
}

MarkAgreement agreeWithMarks(const std::vector<MarkedTop>& marks, const std::string& longTable) {
  std::map<int, int> column;
  for (const auto& [seedling, m] : firstMarks(marks)) {
    column[seedling] = static_cast<int>(column.size());
  }
  std::map<std::pair<int, int>, LongTableRow> ends;
  for (const LongTableRow& row : readLongTable(longTable)) {
    if (row.measured()) ends[{row.image, row.hypocotyl}] = row;
  }
  MarkAgreement a;
  int measured = 0;
  int collars = 0;
  for (const MarkedTop& m : marks) {
    ++a.marks;
    const auto found = ends.find({m.frame, column[m.seedling]});
    if (found == ends.end()) continue;
    ++measured;
    const LongTableRow& e = found->second;
    const double top = std::hypot(e.top.x - m.x, e.top.y - m.y);
    a.topMean += top;
    a.topsWithin15 += top <= 15.0 ? 1 : 0;
    if (std::isnan(m.collarX)) continue;
    const double collar = std::hypot(e.base.x - m.collarX, e.base.y - m.collarY);
    ++collars;
    a.collarMean += collar;
    a.collarsWithin10 += collar <= 10.0 ? 1 : 0;
  }
  if (measured > 0) a.topMean /= measured;
  if (collars > 0) a.collarMean /= collars;
  return a;
}

}  // namespace stemscan::sample
