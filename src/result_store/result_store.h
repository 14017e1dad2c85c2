// ResultStore: every hypocotyl's contour at every analysed image, indexed by hypocotyl, then
// time index, and the four result tables written from it.
#pragma once

#include <ostream>
#include <vector>

#include "snake/snake.h"
#include "util/vec2.h"

namespace stemscan {

class ResultStore {
 public:
  // Copies the Snake's points into entry (s, t), replacing what was there.
  void storeSnake(const Snake& snake, unsigned s, unsigned t);
  // Replaces the Snake's points with entry (s, t); out-of-range indices are reported on the
  // error stream and leave the Snake unchanged.
  void restoreSnake(unsigned s, unsigned t, Snake& snake) const;
  // Points in entry (s, t); 0 outside the stored range.
  unsigned pointCount(unsigned s, unsigned t) const;
  unsigned getLastTime() const { return lastTime; }

  // The tables: one line per time index 0 ... lastTime, one group per hypocotyl index, every
  // value followed by a blank, "nan" for a missing value. Written in the C locale.
  void writeLengths(std::ostream& out) const;
  void writeOrientations(std::ostream& out, float orientationParameter) const;
  void writeSegments(std::ostream& out) const;
  void writeTips(std::ostream& out) const;

  // One line per hypocotyl with records: its first and last length and their difference.
  void writeSummary(std::ostream& out) const;

  std::vector<std::vector<std::vector<Vec2>>> series;
  unsigned lastTime = 0;

 private:
  // Writes the table whose group for a stored contour is `group` and for a missing or empty
  // entry `missing`.
  template <typename Group>
  void writeTable(std::ostream& out, const char* missing, Group group) const;
};

}  // namespace stemscan
