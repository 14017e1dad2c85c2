// Threshold values, the threshold window and its calibration dialogues.
#include <algorithm>
#include <iostream>
#include <opencv2/imgproc.hpp>

#include "plate_analyzer/plate_analyzer.h"

namespace stemscan {
namespace {

constexpr int kMinThresholdWindow = 50;  // the window never shrinks past this side
constexpr int kSliceMs = 5;

}  // namespace

void PlateAnalyzer::applyThresholdOf(int index) { levels().makeMasksFor(index); }

void PlateAnalyzer::applyCalibrationThreshold() {
  if (levels().sharing() || selected == -1) {
    levels().shareCurrent();
  } else {
    levels().setCurrent(levels().of(selected));
  }
  levels().makeMasks();
}

void PlateAnalyzer::setThreshold(int value) {
  levels().setCurrent(value);
  if (selected >= 0) levels().set(selected, value);
}

void PlateAnalyzer::openThresholdWindow(int index) {
  if (index >= 0) {
    selected = index;
    zoomToHypocotyl(index % nb_cols, index / nb_cols, tuning.maxGrowth);
    levels().setCurrent(levels().of(index));
  }
  applyCalibrationThreshold();
  windows_.createWindow(kThresholdWindow);
  windows_.resizeWindow(kThresholdWindow, thresh_win_w, thresh_win_h);
  windows_.showImage(kThresholdWindow, workView(levels().mask()));
  windows_.createSlider("threshold", kThresholdWindow, std::max(0, levels().current()), 255,
                        [this](int value) { onThresholdSlider(value); });
  windows_.setMouseHandler(kThresholdWindow,
                           [this](int event, int, int, int) { onThresholdMouse(event); });
}

void PlateAnalyzer::scaleThresholdWindow(float step) {
  if (step > 0) {
    thresh_win_w = std::max(kMinThresholdWindow, static_cast<int>(thresh_win_w * 0.8));
    thresh_win_h = std::max(kMinThresholdWindow, static_cast<int>(thresh_win_h * 0.8));
  } else if (step < 0) {
    thresh_win_w = static_cast<int>(thresh_win_w / 0.8);
    thresh_win_h = static_cast<int>(thresh_win_h / 0.8);
  }
  windows_.resizeWindow(kThresholdWindow, thresh_win_w, thresh_win_h);
  windows_.showImage(kThresholdWindow, workView(levels().mask()));
}

void PlateAnalyzer::onThresholdSlider(int value) {
  setThreshold(value);
  applyCalibrationThreshold();
  windows_.showImage(kThresholdWindow, workView(levels().mask()));
}

void PlateAnalyzer::onThresholdMouse(int event) {
  const int step = event == kLeftDown ? -1 : (event == kRightDown ? 1 : 0);
  scaleThresholdWindow(static_cast<float>(step));
}

void PlateAnalyzer::calibrateAll() {
  // One value for every hypocotyl. A hypocotyl created before calibration left the value at
  // none: start from the default so that the slider reaches all of them.
  if (levels().current() < 0) levels().setCurrent(kDefaultThreshold);
  levels().startSharing();
  openThresholdWindow(-1);
  if (detect_) proposeThreshold(-1);
  while (!stopped_) {
    const int key = static_cast<signed char>(windows_.waitKey(kSliceMs) & 0xff);
    if (interrupted()) break;
    // Closed with its close button: the calibration goes on in a new one.
    if (windows_.windowClosed(kThresholdWindow)) openThresholdWindow(-1);
    if (key == ' ') break;
    if (key == 'd') {
      windows_.destroyWindow(kThresholdWindow);
      levels().stopSharing();
      calibrateEach();
      break;
    }
    if (key == 'i') scaleThresholdWindow(-1.0f);
    if (key == 'o') scaleThresholdWindow(1.0f);
  }
  windows_.destroyWindow(kThresholdWindow);
}

void PlateAnalyzer::calibrateEach() {
  for (int i = 0; i < nb_snakes && !stopped_; ++i) {
    if (!snakes()[i].isInUse()) continue;
    calibrating_ = i;
    updateTitle();
    openThresholdWindow(i);
    if (detect_) proposeThreshold(i);
    // 'i' and 'o' resize the threshold window here as in the calibration of all at once.
    while (!stopped_) {
      const int key = static_cast<signed char>(windows_.waitKey(kSliceMs) & 0xff);
      if (interrupted() || key == ' ') break;
      if (windows_.windowClosed(kThresholdWindow)) openThresholdWindow(i);
      if (key == 'i') scaleThresholdWindow(-1.0f);
      if (key == 'o') scaleThresholdWindow(1.0f);
    }
    resetZoom(true);
  }
  calibrating_ = -1;
  updateTitle();
  windows_.destroyWindow(kThresholdWindow);
}

void PlateAnalyzer::recalibrate(int which) {
  if (which >= 0 && which < nb_snakes && snakes()[which].isInUse()) {
    std::cout << "resetting thresholding for hypocotyl " << which << std::endl;
    std::cout << "press 'g' when done" << std::endl;
    openThresholdWindow(which);
    if (waitForKey('g', kSliceMs, false)) {
      std::cout << "done" << std::endl;
      resetZoom(true);
      snakes()[which].optimise(levels().mask(), 10, -1, random_);
    } else {
      resetZoom(true);
    }
  }
  windows_.destroyWindow(kThresholdWindow);
}

}  // namespace stemscan
