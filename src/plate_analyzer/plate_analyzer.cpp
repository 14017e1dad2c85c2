#include "plate_analyzer/plate_analyzer.h"

#include <algorithm>

namespace stemscan {

const char* const kMainWindow = "StemScan";
const char* const kThresholdWindow = "thresholding";
const cv::Scalar kRed(0, 0, 255, 0);

PlateAnalyzer::PlateAnalyzer(int rows, int cols, int seedPoints, WindowSystem& windows,
                             RandomSource& random)
    : snakes(static_cast<std::size_t>(rows) * cols, Snake(5)),
      nb_snakes(rows * cols),
      nb_rows(rows),
      nb_cols(cols),
      nb_seed_points(seedPoints),
      windows_(windows),
      random_(random),
      thresholds_(rows * cols, kDefaultThreshold),
      created_(static_cast<std::size_t>(rows) * cols, false),
      edited_(static_cast<std::size_t>(rows) * cols, false),
      base_set_(static_cast<std::size_t>(rows) * cols, false) {
  // Copies of one Snake share its scratch matrices until each gets its own.
  for (Snake& s : snakes) s.setHalfWindow(5);
}

PlateAnalyzer::~PlateAnalyzer() {
  if (!window_name.empty()) windows_.destroyWindow(window_name);
  if (grabber) grabber->release();
}

Snake* PlateAnalyzer::snake(int i) { return i >= 0 && i < nb_snakes ? &snakes[i] : nullptr; }

Snake* PlateAnalyzer::snakeInCell(int column, int row) {
  if (column < 0 || row < 0 || column >= nb_cols) return nullptr;
  return snake(row * nb_cols + column);
}

Snake* PlateAnalyzer::selectedSnake() { return snake(selected); }

void PlateAnalyzer::setHalfWindowAll(int n) {
  for (Snake& s : snakes) s.setHalfWindow(n);
}

void PlateAnalyzer::deactivateAll() {
  for (Snake& s : snakes) s.deactivate();
}

void PlateAnalyzer::storeAll(unsigned t) {
  // An image stored before, stored again: its lines on disk no longer hold.
  if (t < stored_images_) restored_ = true;
  stored_images_ = std::max(stored_images_, t + 1);
  store.markAnalysed(t);
  for (int i = 0; i < nb_snakes; ++i) {
    if (snakes[i].isInUse()) {
      store.storeSnake(snakes[i], i, t);
    } else {
      store.clearEntry(i, t);  // switched off on an image stored before
    }
    store.setCorrected(i, t, edited_[static_cast<std::size_t>(i)]);
  }
}

void PlateAnalyzer::restoreAll(unsigned t) {
  for (int i = 0; i < nb_snakes; ++i) {
    Snake& s = snakes[i];
    if (store.pointCount(i, t) > 0) {
      created_[i] = true;
      s.activate();
      store.restoreSnake(i, t, s);
      s.topTracker.pos = s.point(0);
      s.baseTracker.pos = s.lastPoint();
    } else {
      s.deactivate();
    }
    // A correction stored with the image stays one when the image is stored again.
    edited_[static_cast<std::size_t>(i)] = store.isCorrected(i, t);
  }
}

}  // namespace stemscan
