// The run: result files, the image sequence, the three set-up phases (selection, threshold
// calibration, row bottoms) and the per-image cycle.
#include <algorithm>
#include <iostream>
#include <opencv2/imgproc.hpp>

#include "plate_analyzer/plate_analyzer.h"
#include "util/progress_line.h"
#include "util/stop_signal.h"

namespace stemscan {
namespace {

constexpr int kSetupSliceMs = 5;
constexpr int kMonitorSliceMs = 10;
constexpr int kSeedSquare = 30;

}  // namespace

int PlateAnalyzer::run(int halfWindow, const std::string& imagePath,
                       const std::string& outBaseName) {
  const int status = start(halfWindow, imagePath, outBaseName);
  return status == kRunOk ? analyse() : status;
}

int PlateAnalyzer::start(int halfWindow, const std::string& imagePath,
                         const std::string& outBaseName) {
  setHalfWindowAll(halfWindow);
  // Everything that can refuse the run does so before a window opens or a file is written.
  if (!openSequence(imagePath)) return kRunFailed;
  if (!pipeline_.timeEveryImage()) return kRunRefused;
  if (!overlaysSpareInputs(outBaseName)) return kRunRefused;
  if (!pipeline_.outputsSpareInputs(outBaseName)) return kRunRefused;
  if (!pipeline_.openResultFiles(outBaseName)) return kRunFailed;
  return kRunOk;
}

int PlateAnalyzer::analyse() {
  run_info_.started = clockNow();
  std::cout << "initializing display" << std::endl;
  createMainWindow(kMainWindow);
  readNextFrame();
  seedPool();
  deactivateAll();
  refreshDisplay(kRed);
  setMode(ModeEdit);

  selectionPhase();
  if (!stopped_) calibrationPhase();
  if (!stopped_) rowBottomPhase();
  if (!stopped_) monitor();

  flushOverlays();
  writeResultFiles();
  run_info_.mode =
      std::string(refine ? "refine" : "default") + (moving_base ? ", moving base" : "");
  pipeline_.writeRunRecord(run_info_);
  const bool written = pipeline_.printSummary();
  pipeline_.releaseFrames();
  if (!written && stop_status_ == kRunOk) return kRunFailed;
  return stop_status_;
}

bool PlateAnalyzer::openSequence(const std::string& imagePath) {
  cv::Mat first;
  if (!pipeline_.openSequence(imagePath, &first)) return false;
  display = first;
  display_is_clean_ = false;
  roi = cv::Rect(0, 0, first.cols, first.rows);
  return true;
}

void PlateAnalyzer::showFrame(const cv::Mat& frame) {
  if (roi_active) resetZoom(false);
  std::fill(edited_.begin(), edited_.end(), false);
  display = frame;
  levels().nextImage(display, display_clean);
  display.copyTo(display_clean);
  display_is_clean_ = true;
}

bool PlateAnalyzer::readNextFrame() {
  cv::Mat frame;
  if (!pipeline_.readNext(frame)) return false;
  showFrame(frame);
  return true;
}

bool PlateAnalyzer::loadFrame(unsigned t) {
  cv::Mat frame;
  if (!pipeline_.load(t, frame)) return false;
  showFrame(frame);
  return true;
}

void PlateAnalyzer::seedPool() {
  const int w = display.cols / nb_cols;
  const int h = display.rows / nb_rows;
  for (int i = 0; i < nb_cols; ++i) {
    for (int j = 0; j < nb_rows; ++j) {
      snakes()[j * nb_cols + i].scatter(w * i + w / 2, h * j + h / 2, nb_seed_points, kSeedSquare,
                                        random_);
    }
    std::cout << std::endl;
  }
}

bool PlateAnalyzer::waitForKey(int until, int sliceMs, bool scaleKeys) {
  while (!stopped_) {
    const int key = static_cast<signed char>(windows_.waitKey(sliceMs) & 0xff);
    if (interrupted()) break;
    if (key == until) return true;
    if (scaleKeys && key == 'o') scaleMainWindow(0.8f);
    if (scaleKeys && key == 'i') scaleMainWindow(1.25f);
    // A finished script answers every wait with <space>: any other key can never come.
    if (until != ' ' && windows_.inputExhausted()) {
      stopRun(std::string("the session script ended while waiting for '") + char(until) + "'",
              kRunFailed);
      break;
    }
  }
  return false;
}

void PlateAnalyzer::stopRun(const std::string& why, int status) {
  std::cerr << why << "; ending the run" << std::endl;
  stopped_ = true;
  stop_status_ = status;
}

bool PlateAnalyzer::interrupted() {
  if (stopped_) return true;
  if (const int signal = pendingStopSignal()) {
    stopRun(std::string("stopped by ") + stopSignalName(signal) +
                " (the image on screen is not stored)",
            128 + signal);
  } else if (!window_name.empty() && windows_.windowClosed(window_name)) {
    window_name.clear();  // gone with its close button: nothing more to show or destroy
    stopRun("the window \"" + std::string(kMainWindow) +
                "\" was closed (as 'q': the image on screen is not stored)",
            kRunOk);
  }
  return stopped_;
}

bool PlateAnalyzer::beginModalWait() {
  if (modal_wait_) {
    std::cout << "finish the command in progress first" << std::endl;
    return false;
  }
  modal_wait_ = true;
  return true;
}

void PlateAnalyzer::instruct(std::initializer_list<const char*> lines) const {
  if (windows_.headless()) return;  // nobody sees the windows the lines are about
  for (const char* line : lines) std::cout << line << std::endl;
}

void PlateAnalyzer::selectionPhase() {
  phase_ = Phase::kSelection;
  updateTitle();
  instruct({"press 'i' to enlarge the window and 'o' to make it smaller",
            "select the hypocotyls with (ctl)alt-right click",
            "(where the desktop takes Alt + right click for itself, use Ctrl + Alt + right click)",
            "press <space> when you are done"});
  if (detect_) proposeSeedlings();
  if (!waitForKey(' ', kSetupSliceMs, true)) return;
  bool any = false;
  for (const Snake& s : snakes()) any = any || s.isInUse();
  if (!any) std::cout << "no hypocotyl selected: the run will measure nothing" << std::endl;
}

void PlateAnalyzer::calibrationPhase() {
  phase_ = Phase::kCalibration;
  setMode(ModeCalibrate);
  resetZoom(true);
  updateTitle();
  instruct({"calibrate the thresholding using the slider",
            "press 'i' to enlarge the window and 'o' to make it smaller",
            "press 'd' to calibrate each hypocotyl separately", "press <space> when you are done"});
  calibrateAll();
  trackHypocotyls(-1);
  refreshDisplay(kRed);
}

void PlateAnalyzer::rowBottomPhase() {
  phase_ = Phase::kRowBottoms;
  setMode(ModeRowBottom);
  updateTitle();
  instruct(
      {"use the mouse to set the bottom of hypocotyl rows or press <space> to skip (skipping "
       "recommended)"});
  waitForKey(' ', kSetupSliceMs, false);
}

void PlateAnalyzer::monitor() {
  instruct({"********", "you can now monitor the semi-automatic hypocotyl phenotyping",
            "press <space> to go to the next image", "refer to the manual for details",
            "********"});
  setMode(ModeEdit);
  phase_ = Phase::kMonitoring;
  ProgressLine progress(std::cerr, show_progress_);
  while (true) {
    trackHypocotyls(-1);
    refreshDisplay(kRed);
    WaitEnd end = WaitEnd::kNone;
    while (end == WaitEnd::kNone) {
      const int key = windows_.waitKey(kMonitorSliceMs);
      if (interrupted()) break;
      end = handleMonitoringKey(key);
    }
    if (end != WaitEnd::kNext) break;  // 'q'
    present_.reset();
    const unsigned t = timeIndex();
    storeAll(t);
    if (save_images) saveOverlay(t);
    // Every stored image is on disk before the next one is shown.
    updateResultFiles();
    progress.show(t + 1, pipeline_.imageCount());
    if (!readNextFrame()) break;
  }
  progress.finish();
}

}  // namespace stemscan
