// Monitoring keys, the walk back and forth through the images already analysed, and the
// one-key command console.
#include <iostream>

#include "plate_analyzer/plate_analyzer.h"

namespace stemscan {

PlateAnalyzer::WaitEnd PlateAnalyzer::handleMonitoringKey(int code) {
  if (onScaleKey(code)) return WaitEnd::kNone;
  const int key = static_cast<signed char>(code & 0xff);
  if (key < 32 || key > 122) return WaitEnd::kNone;
  Snake* chosen = selectedSnake();
  switch (key) {
    case ' ':
      return WaitEnd::kNext;
    case 'q':
      return WaitEnd::kQuit;
    case '+':
    case '-':
      if (chosen != nullptr) {
        const int left = key == '+' ? chosen->grow(2) : chosen->shrink(2);
        // New points start on the base: spread them along the contour first, or they pile up
        // there and the refit loops the contour away from the hypocotyl.
        chosen->spreadEvenly();
        refitHypocotyl(selected);
        markEdited(selected);
        std::cout << (key == '+' ? "adding points: " : "removing points: ") << left
                  << " points left" << std::endl;
        refreshDisplay(kRed);
      }
      return WaitEnd::kNone;
    case 'i':
      scaleMainWindow(1.25f);
      return WaitEnd::kNone;
    case 'o':
      scaleMainWindow(0.8f);
      return WaitEnd::kNone;
    case 'z':
      resetZoom(true);
      resizeMainWindow();  // the whole frame's proportions again
      refreshDisplay(kRed);
      return WaitEnd::kNone;
    case 'l':
      toggleOrientationSlider();
      return WaitEnd::kNone;
    case 'm':
      startScaleMeasure();
      return WaitEnd::kNone;
    case 'b':
      stepBack();
      return WaitEnd::kNone;
    case 'n':
      if (atPresent()) {
        std::cout << "back to present" << std::endl;
        return WaitEnd::kNext;
      }
      stepForward();
      return WaitEnd::kNone;
    case 'f':
      if (!atPresent()) stepForward(true);
      return WaitEnd::kNone;
    case 'v':
      if (atPresent()) return WaitEnd::kNext;
      saveCorrections();
      return WaitEnd::kNone;
    default:
      return WaitEnd::kNone;
  }
}

void PlateAnalyzer::toggleOrientationSlider() {
  if (!show_orientation) {
    windows_.createSlider("orientation parameter", window_name, tuning.orientation_length,
                          tuning.orientation_max,
                          [this](int position) { onOrientationSlider(position); });
    onOrientationSlider(tuning.orientation_length);
  } else {
    const std::string name = window_name;
    destroyMainWindow();
    createMainWindow(name);
    refreshDisplay(kRed);
  }
  show_orientation = !show_orientation;
}

std::vector<PlateAnalyzer::SnakeState> PlateAnalyzer::captureSnakes() const {
  std::vector<SnakeState> states(snakes().size());
  for (std::size_t i = 0; i < snakes().size(); ++i) {
    const Snake& s = snakes()[i];
    states[i] = {s.points,         s.count,          s.active,
                 s.internalWeight, s.topTracker.pos, s.baseTracker.pos};
  }
  return states;
}

void PlateAnalyzer::restoreSnakes(const std::vector<SnakeState>& states) {
  for (std::size_t i = 0; i < snakes().size() && i < states.size(); ++i) {
    Snake& s = snakes()[i];
    s.points = states[i].points;
    s.count = states[i].count;
    s.active = states[i].active;
    s.internalWeight = states[i].internalWeight;
    s.topTracker.pos = states[i].top;
    s.baseTracker.pos = states[i].base;
  }
}

void PlateAnalyzer::stepBack() {
  const unsigned shown = timeIndex();
  // Loading an image clears the marks of corrections: those of the image shown are kept first.
  const std::vector<bool> editedShown = edited_;
  // Look for the nearest earlier image that can still be read.
  for (unsigned t = shown; t-- > 0;) {
    if (!loadFrame(t)) continue;
    if (!present_) present_ = Present{shown, captureSnakes(), editedShown, flags_};
    restoreAll(t);
    refreshDisplay(kRed);
    return;
  }
}

void PlateAnalyzer::stepForward(bool flaggedOnly) {
  const unsigned shown = timeIndex();
  auto flagged = [this](unsigned t) {
    for (int i = 0; i < nb_snakes; ++i) {
      if (pipeline_.store().flagsOf(i, t) != 0) return true;
    }
    return false;
  };
  for (unsigned t = shown + 1; present_ && t <= present_->time; ++t) {
    if (flaggedOnly && t < present_->time && !flagged(t)) continue;
    if (!loadFrame(t)) continue;
    if (t == present_->time) {
      restoreSnakes(present_->snakes);
      edited_ = present_->edited;
      flags_ = present_->flags;
      present_.reset();
      std::cout << "back to present" << std::endl;
    } else {
      restoreAll(t);
    }
    refreshDisplay(kRed);
    return;
  }
}

void PlateAnalyzer::saveCorrections() {
  const unsigned t = timeIndex();
  storeAll(t);
  if (save_images) saveOverlay(t);
  std::cout << "saving analysis of image "
            << pipeline_.sequence().fileNumber(pipeline_.sequence().getCurrent() - 1) << std::endl;
  writeResultFiles();
}

void PlateAnalyzer::commandConsole() {
  std::cout << "command: " << std::flush;
  const int code = windows_.waitKey(5000);
  const int key = static_cast<signed char>(code & 0xff);
  if (key >= 32 && key < 127) std::cout << static_cast<char>(key);
  std::cout << std::endl;
  if (code == 0) {
    std::cout << "no command" << std::endl;
  } else if (key == 'i' || key == 'o') {
    if (key == 'o') std::cout << window_name << std::endl;
    display_scale = static_cast<float>(key == 'i' ? display_scale / 0.8 : display_scale * 0.8);
    resizeMainWindow();
    showDisplay();
  } else {
    std::cout << "not a known command" << std::endl;
  }
}

}  // namespace stemscan
