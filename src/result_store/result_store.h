// ResultStore: every hypocotyl's contour at every analysed image, indexed by hypocotyl, then
// time index, and the four result tables written from it.
#pragma once

#include <ostream>
#include <string>
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
  // Empties entry (s, t): the hypocotyl has no contour at that time.
  void clearEntry(unsigned s, unsigned t);
  // Image t could not be read: it still has its line of the tables, with no entry.
  void markSkipped(unsigned t);
  bool isSkipped(unsigned t) const { return t < skipped.size() && skipped[t]; }
  // Image t was analysed: it has its line of the tables, even where no contour is stored.
  void markAnalysed(unsigned t) {
    if (lastTime < t) lastTime = t;
  }
  // Whether the contour stored for hypocotyl s at image t holds a correction by hand.
  void setCorrected(unsigned s, unsigned t, bool corrected);
  bool isCorrected(unsigned s, unsigned t) const {
    return s < corrected.size() && t < corrected[s].size() && corrected[s][t];
  }
  // The track checks' flags of the contour stored for hypocotyl s at image t (0: none).
  void setFlags(unsigned s, unsigned t, unsigned value);
  unsigned flagsOf(unsigned s, unsigned t) const {
    return s < flags.size() && t < flags[s].size() ? flags[s][t] : 0u;
  }
  // Where the base of the contour stored for hypocotyl s at image t comes from.
  enum class Base : unsigned char { kSeeded, kPlaced, kTracked, kImageEdge, kCollar };
  void setBase(unsigned s, unsigned t, Base base);
  Base baseOf(unsigned s, unsigned t) const {
    return s < bases.size() && t < bases[s].size() ? bases[s][t] : Base::kSeeded;
  }
  // Points in entry (s, t); 0 outside the stored range.
  unsigned pointCount(unsigned s, unsigned t) const;
  unsigned getLastTime() const { return lastTime; }
  // Lines of each table, and value groups per line.
  unsigned rowCount() const { return lastTime + 1; }
  std::size_t columnCount() const { return series.size(); }

  // The tables: one line per time index 0 ... lastTime, one group per hypocotyl index, every
  // value followed by a blank, "nan" for a missing value. Written in the C locale. Only the
  // lines of time indices from ... to - 1 (to append to a table already written, or to write
  // one a piece at a time).
  static constexpr unsigned kEnd = ~0u;
  void writeLengths(std::ostream& out, unsigned from = 0, unsigned to = kEnd) const;
  void writeOrientations(std::ostream& out, float orientationParameter, unsigned from = 0,
                         unsigned to = kEnd) const;
  void writeSegments(std::ostream& out, unsigned from = 0, unsigned to = kEnd) const;
  void writeTips(std::ostream& out, unsigned from = 0, unsigned to = kEnd) const;

  // One line per hypocotyl with records: its first and last length and their difference, each
  // image named by its index and, where `files` holds it, its file name.
  void writeSummary(std::ostream& out, const std::vector<std::string>& files = {}) const;

  std::vector<std::vector<std::vector<Vec2>>> series;
  unsigned lastTime = 0;
  std::vector<bool> skipped;                 // per time index
  std::vector<std::vector<bool>> corrected;  // per hypocotyl, then time index
  std::vector<std::vector<unsigned>> flags;  // per hypocotyl, then time index
  std::vector<std::vector<Base>> bases;      // per hypocotyl, then time index

 private:
  // Writes the table whose group for a stored contour is `group` and for a missing or empty
  // entry `missing`.
  template <typename Group>
  void writeTable(std::ostream& out, unsigned from, unsigned to, const char* missing,
                  Group group) const;
};

}  // namespace stemscan
