#include "plate_analyzer/plate_analyzer.h"

namespace stemscan {

const char* const kMainWindow = "StemScan";
const char* const kThresholdWindow = "thresholding";
const cv::Scalar kRed(0, 0, 255, 0);
const cv::Scalar kSelectedColour(255, 255, 0, 0);
const cv::Scalar kFlaggedColour(0, 200, 255, 0);

PlateAnalyzer::PlateAnalyzer(int rows, int cols, int seedPoints, WindowSystem& windows,
                             RandomSource& random)
    : nb_snakes(rows * cols),
      nb_rows(rows),
      nb_cols(cols),
      nb_seed_points(seedPoints),
      windows_(windows),
      random_(random),
      pipeline_(rows, cols, kDefaultThreshold, random),
      created_(static_cast<std::size_t>(rows) * cols, false),
      edited_(static_cast<std::size_t>(rows) * cols, false) {}

PlateAnalyzer::~PlateAnalyzer() {
  if (!window_name.empty()) windows_.destroyWindow(window_name);
}

Snake* PlateAnalyzer::snake(int i) { return i >= 0 && i < nb_snakes ? &snakes()[i] : nullptr; }

const Snake* PlateAnalyzer::snake(int i) const {
  return i >= 0 && i < nb_snakes ? &snakes()[i] : nullptr;
}

Snake* PlateAnalyzer::snakeInCell(int column, int row) {
  if (column < 0 || row < 0 || column >= nb_cols) return nullptr;
  return snake(row * nb_cols + column);
}

Snake* PlateAnalyzer::selectedSnake() { return snake(selected); }

void PlateAnalyzer::setHalfWindowAll(int n) {
  for (Snake& s : snakes()) s.setHalfWindow(n);
}

void PlateAnalyzer::deactivateAll() {
  for (Snake& s : snakes()) s.deactivate();
}

void PlateAnalyzer::storeAll(unsigned t) { pipeline_.storeImage(t, edited_); }

void PlateAnalyzer::restoreAll(unsigned t) {
  pipeline_.restoreImage(t, created_, edited_);
  flags_.assign(static_cast<std::size_t>(nb_snakes), 0u);
  for (int i = 0; i < nb_snakes; ++i) flags_[i] = pipeline_.store().flagsOf(i, t);
}

bool PlateAnalyzer::isFlagged(int i) const {
  const std::size_t k = static_cast<std::size_t>(i);
  return k < flags_.size() && flags_[k] != 0 && !edited_[k];
}

cv::Scalar PlateAnalyzer::contourColour(int i, const cv::Scalar& plain) const {
  if (i == selected) return kSelectedColour;
  return isFlagged(i) ? kFlaggedColour : plain;
}

int PlateAnalyzer::flaggedCount() const {
  int n = 0;
  for (int i = 0; i < nb_snakes; ++i) n += snakes()[i].isInUse() && isFlagged(i) ? 1 : 0;
  return n;
}

}  // namespace stemscan
