#include "result_store/result_store.h"

#include <iostream>
#include <locale>

#include "snake/contour.h"

namespace stemscan {

void ResultStore::storeSnake(const Snake& snake, unsigned s, unsigned t) {
  if (series.size() <= s) series.resize(static_cast<std::size_t>(s) + 1);
  std::vector<std::vector<Vec2>>& times = series[s];
  if (times.size() <= t) times.resize(static_cast<std::size_t>(t) + 1);
  times[t].assign(snake.points.begin(), snake.points.begin() + snake.pointCount());
  if (lastTime < t) lastTime = t;
}

void ResultStore::restoreSnake(unsigned s, unsigned t, Snake& snake) const {
  if (s >= series.size()) {
    std::cerr << "unvalid snake index" << std::endl;
    return;
  }
  if (t >= series[s].size()) {
    std::cerr << "unvalid time index" << std::endl;
    return;
  }
  snake.clear();
  for (const Vec2& p : series[s][t]) snake.append(p);
}

void ResultStore::clearEntry(unsigned s, unsigned t) {
  if (s < series.size() && t < series[s].size()) series[s][t].clear();
}

void ResultStore::markSkipped(unsigned t) {
  if (lastTime < t) lastTime = t;
  if (skipped.size() <= t) skipped.resize(static_cast<std::size_t>(t) + 1, false);
  skipped[t] = true;
}

namespace {

// Sets the mark of entry (s, t), growing the marks as needed; `none` is what every entry not
// set holds, and setting it where nothing grew yet leaves the marks as they are.
template <typename Mark>
void setMark(std::vector<std::vector<Mark>>& marks, unsigned s, unsigned t, Mark value, Mark none) {
  if (value == none && (s >= marks.size() || t >= marks[s].size())) return;
  if (marks.size() <= s) marks.resize(static_cast<std::size_t>(s) + 1);
  if (marks[s].size() <= t) marks[s].resize(static_cast<std::size_t>(t) + 1, none);
  marks[s][t] = value;
}

}  // namespace

void ResultStore::setCorrected(unsigned s, unsigned t, bool value) {
  setMark(corrected, s, t, value, false);
}

void ResultStore::setFlags(unsigned s, unsigned t, unsigned value) {
  setMark(flags, s, t, value, 0u);
}

void ResultStore::setBase(unsigned s, unsigned t, Base base) {
  setMark(bases, s, t, base, Base::kSeeded);
}

unsigned ResultStore::pointCount(unsigned s, unsigned t) const {
  if (s >= series.size() || t >= series[s].size()) return 0;
  return static_cast<unsigned>(series[s][t].size());
}

// An entry left empty (an image skipped, or a hypocotyl switched off for a while) is a
// missing value like any other: no length 0 or orientation 1000 is made up for it.
template <typename Group>
void ResultStore::writeTable(std::ostream& out, unsigned from, unsigned to, const char* missing,
                             Group group) const {
  const std::locale previous = out.imbue(std::locale::classic());
  for (unsigned t = from; t <= lastTime && t < to; ++t) {
    for (std::size_t s = 0; s < series.size(); ++s) {
      if (series[s].size() > t && !series[s][t].empty()) {
        group(series[s][t]);
      } else {
        out << missing;
      }
    }
    out << '\n';
  }
  out.imbue(previous);
}

void ResultStore::writeLengths(std::ostream& out, unsigned from, unsigned to) const {
  writeTable(out, from, to, "nan ",
             [&out](const std::vector<Vec2>& points) { out << Contour(points).length() << " "; });
}

void ResultStore::writeOrientations(std::ostream& out, float orientationParameter, unsigned from,
                                    unsigned to) const {
  writeTable(out, from, to, "nan ", [&out, orientationParameter](const std::vector<Vec2>& points) {
    out << Contour(points).orientation(orientationParameter) << " ";
  });
}

void ResultStore::writeSegments(std::ostream& out, unsigned from, unsigned to) const {
  writeTable(out, from, to, "nan nan ", [&out](const std::vector<Vec2>& points) {
    const Vec2 seg = points.front() - points.back();
    out << seg.x << " " << seg.y << " ";
  });
}

void ResultStore::writeTips(std::ostream& out, unsigned from, unsigned to) const {
  writeTable(out, from, to, "nan nan ", [&out](const std::vector<Vec2>& points) {
    out << points.front().x << " " << points.front().y << " ";
  });
}

void ResultStore::writeSummary(std::ostream& out, const std::vector<std::string>& files) const {
  // The index counts from 0 like the tables' lines; the file name says which photograph it is.
  auto image = [&files](std::size_t t) {
    std::string text = "image " + std::to_string(t);
    if (t < files.size()) text += " (" + files[t] + ")";
    return text;
  };
  for (std::size_t s = 0; s < series.size(); ++s) {
    const auto& times = series[s];
    std::size_t first = 0;
    while (first < times.size() && times[first].empty()) ++first;
    if (first == times.size()) continue;
    std::size_t last = times.size() - 1;
    while (times[last].empty()) --last;
    const float from = Contour(times[first]).length();
    const float to = Contour(times[last]).length();
    out << "hypocotyl " << s << ": " << from << " px at " << image(first) << ", " << to << " px at "
        << image(last) << ", growth " << to - from << " px" << std::endl;
  }
}

}  // namespace stemscan
