// Proposals for a plate started without clicks (--detect, --auto): the seedlings found on the
// first image become hypocotyls through the same Ctrl + Alt + right clicks a user makes, and the
// threshold slider is moved to the value found, so that the user corrects them as their own
// and a record of the session replays them.
#include <algorithm>
#include <iostream>

#include "detect/seedling_detector.h"
#include "plate_analyzer/plate_analyzer.h"

namespace stemscan {
namespace {

// The entry each seedling should take (-1: the one a click at its top takes, the free entry
// nearest to it). Where a row of the plate holds as many seedlings as the grid has columns,
// they take the entries of the grid row they stand in, from left to right: seedlings are rarely
// evenly spaced, and a layout's labels belong to the seedlings in that order.
std::vector<int> plannedEntries(const std::vector<Seedling>& seedlings, int rows, int cols,
                                int height) {
  std::vector<int> planned(seedlings.size(), -1);
  std::vector<bool> rowTaken(static_cast<std::size_t>(rows), false);
  for (std::size_t first = 0; first < seedlings.size();) {
    std::size_t end = first;
    float sumY = 0;
    while (end < seedlings.size() && seedlings[end].row == seedlings[first].row) {
      sumY += seedlings[end].top.y;
      ++end;
    }
    if (static_cast<int>(end - first) == cols) {
      const float meanY = sumY / static_cast<float>(cols);
      const int row = std::clamp(static_cast<int>(meanY * rows / height), 0, rows - 1);
      if (!rowTaken[static_cast<std::size_t>(row)]) {
        rowTaken[static_cast<std::size_t>(row)] = true;
        for (std::size_t k = first; k < end; ++k) {
          planned[k] = row * cols + static_cast<int>(k - first);
        }
      }
    }
    first = end;
  }
  return planned;
}

cv::Point clickAt(const Vec2& top) { return cv::Point(cvRound(top.x), cvRound(top.y)); }

}  // namespace

void PlateAnalyzer::proposeSeedlings() {
  const Detection found = detectSeedlings(levels().grey(), nb_snakes);
  automatic_threshold_ = found.threshold;
  detected_box_.assign(static_cast<std::size_t>(nb_snakes), cv::Rect());
  std::vector<float> widths;
  for (const Seedling& s : found.seedlings) widths.push_back(s.stemWidth);
  if (!widths.empty()) {
    std::nth_element(widths.begin(), widths.begin() + widths.size() / 2, widths.end());
    stem_width_ = widths[widths.size() / 2];
  }
  if (found.looksBright && !bright_) {
    std::cout << "the seedlings look lighter than the background: if they are, run again with "
                 "--bright"
              << std::endl;
  }
  // Each seedling is clicked when its planned entry is the one its click takes; seedlings whose
  // entry is free to choose, in order. A seedling whose planned entry no click can reach takes
  // the nearest, like a click.
  const std::vector<int> planned = plannedEntries(found.seedlings, nb_rows, nb_cols, display.rows);
  std::vector<int> entry(found.seedlings.size(), -1);
  std::vector<bool> done(found.seedlings.size(), false);
  for (std::size_t clicks = 0; clicks < found.seedlings.size(); ++clicks) {
    std::size_t next = found.seedlings.size();
    for (std::size_t k = 0; k < found.seedlings.size() && next == found.seedlings.size(); ++k) {
      const cv::Point p = clickAt(found.seedlings[k].top);
      if (!done[k] && (planned[k] < 0 || nearestFreeSnake(Vec2(p.x, p.y)) == planned[k])) {
        next = k;
      }
    }
    if (next == found.seedlings.size()) {
      next = static_cast<std::size_t>(std::find(done.begin(), done.end(), false) - done.begin());
    }
    done[next] = true;
    const cv::Point p = clickAt(found.seedlings[next].top);
    entry[next] = nearestFreeSnake(Vec2(p.x, p.y));
    if (entry[next] < 0) continue;
    detected_box_[static_cast<std::size_t>(entry[next])] = found.seedlings[next].box;
    windows_.userMouse(window_name, kRightUp, p.x - roi.x, p.y - roi.y, kFlagCtrl | kFlagAlt);
  }

  std::cout << "seedlings found: " << found.seedlings.size() << std::endl;
  std::vector<std::size_t> byEntry(found.seedlings.size());
  for (std::size_t k = 0; k < byEntry.size(); ++k) byEntry[k] = k;
  std::sort(byEntry.begin(), byEntry.end(),
            [&entry](std::size_t a, std::size_t b) { return entry[a] < entry[b]; });
  for (std::size_t k : byEntry) {
    if (entry[k] < 0) continue;
    const cv::Point p = clickAt(found.seedlings[k].top);
    std::cout << "  hypocotyl " << entry[k] << " (row " << entry[k] / nb_cols + 1 << ", col "
              << entry[k] % nb_cols + 1 << "): top " << p.x << " " << p.y << std::endl;
  }
  std::vector<int> empty;
  for (int i = 0; i < nb_snakes; ++i) {
    if (!snakes()[i].isInUse()) empty.push_back(i);
  }
  if (!empty.empty()) {
    std::cout << "entries left empty:";
    for (int i : empty) std::cout << " " << i;
    std::cout << std::endl;
  }
  if (!found.leftOut.empty()) {
    std::cout << "weaker candidates left out (more than the grid holds): tops";
    for (const Seedling& s : found.leftOut) {
      const cv::Point p = clickAt(s.top);
      std::cout << " (" << p.x << ", " << p.y << ")";
    }
    std::cout << std::endl;
  }
}

void PlateAnalyzer::proposeThreshold(int index) {
  int value = automatic_threshold_;
  if (index >= 0 && static_cast<std::size_t>(index) < detected_box_.size() &&
      !detected_box_[static_cast<std::size_t>(index)].empty()) {
    // The seedling's own neighbourhood: its box, as wide again on every side as two stems.
    const int margin = std::max(3, cvRound(2.0f * stem_width_));
    cv::Rect box = detected_box_[static_cast<std::size_t>(index)];
    box -= cv::Point(margin, margin);
    box += cv::Size(2 * margin, 2 * margin);
    value = thresholdAround(levels().grey(), box);
  }
  if (value < 0) return;
  if (index < 0) {
    std::cout << "automatic threshold: " << value << std::endl;
  } else {
    std::cout << "automatic threshold of hypocotyl " << index << ": " << value << std::endl;
  }
  windows_.userSlider("threshold", kThresholdWindow, value);
}

}  // namespace stemscan
