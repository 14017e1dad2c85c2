// The run: result files, the image sequence, the three set-up phases (selection, threshold
// calibration, row bottoms) and the per-image cycle.
#include <iostream>
#include <opencv2/imgproc.hpp>

#include "plate_analyzer/plate_analyzer.h"

namespace stemscan {
namespace {

constexpr int kSetupSliceMs = 5;
constexpr int kMonitorSliceMs = 10;
constexpr float kFrameRate = 30.0f;
constexpr int kSeedSquare = 30;

}  // namespace

int PlateAnalyzer::run(int halfWindow, const std::string& imagePath,
                       const std::string& outBaseName) {
  if (!openResultFiles(outBaseName)) return kRunFailed;
  setHalfWindowAll(halfWindow);
  if (!openSequence(imagePath)) return kRunFailed;
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

  writeResultFiles();
  printSummary();
  grabber->release();
  return stopped_ ? kRunFailed : kRunOk;
}

bool PlateAnalyzer::openSequence(const std::string& imagePath) {
  if (grabber) grabber->release();
  grabber = std::make_unique<ImgGrabber>(imagePath, kFrameRate);
  grabber->setLoop(false);
  if (grabber->getCount() == 0) {
    std::cerr << "no image of the sequence " << imagePath << " can be read" << std::endl;
    return false;
  }
  cv::Mat first;
  grabber->grab(first);
  if (first.empty()) {
    std::cerr << "cannot read the first image " << grabber->lastName() << std::endl;
    return false;
  }
  frame_size_ = first.size();
  display = first;
  mask.create(frame_size_, CV_8UC1);
  mask.setTo(0);
  roi = cv::Rect(0, 0, frame_size_.width, frame_size_.height);
  mask_prev = mask.clone();
  grabber->skip(-1);
  grey.create(frame_size_, CV_8UC1);
  grey.setTo(0);
  grey_prev = grey.clone();
  return true;
}

bool PlateAnalyzer::acceptFrame(const cv::Mat& frame, const std::string& name) {
  if (frame.empty()) {
    std::cerr << "cannot read image " << name << "; skipped" << std::endl;
    return false;
  }
  if (frame.size() != frame_size_) {
    std::cerr << "image " << name << " is " << frame.cols << " x " << frame.rows << ", not "
              << frame_size_.width << " x " << frame_size_.height
              << " like the first image; skipped" << std::endl;
    return false;
  }
  if (roi_active) resetZoom(false);
  display = frame;
  if (!display_clean.empty()) cv::cvtColor(display_clean, grey_prev, cv::COLOR_BGR2GRAY);
  cv::cvtColor(display, grey, cv::COLOR_BGR2GRAY);
  if (!display_clean.empty()) grey_prev.copyTo(mask_prev);
  grey.copyTo(mask);
  display.copyTo(display_clean);
  return true;
}

bool PlateAnalyzer::readNextFrame() {
  while (!grabber->atEnd()) {
    cv::Mat frame;
    grabber->grab(frame);
    if (acceptFrame(frame, grabber->lastName())) return true;
  }
  return false;
}

bool PlateAnalyzer::loadFrame(unsigned t) {
  const unsigned before = grabber->getCurrent();
  grabber->seek(grabber->getFirst() + t);
  if (grabber->getCurrent() != grabber->getFirst() + t) return false;
  cv::Mat frame;
  grabber->grab(frame);
  if (acceptFrame(frame, grabber->lastName())) return true;
  grabber->seek(before);
  return false;
}

void PlateAnalyzer::seedPool() {
  const int w = display.cols / nb_cols;
  const int h = display.rows / nb_rows;
  for (int i = 0; i < nb_cols; ++i) {
    for (int j = 0; j < nb_rows; ++j) {
      snakes[j * nb_cols + i].scatter(w * i + w / 2, h * j + h / 2, nb_seed_points, kSeedSquare,
                                      random_);
    }
    std::cout << std::endl;
  }
}

bool PlateAnalyzer::waitForKey(int until, int sliceMs, bool scaleKeys) {
  while (!stopped_) {
    const int key = static_cast<signed char>(windows_.waitKey(sliceMs) & 0xff);
    if (key == until) return true;
    if (scaleKeys && key == 'o') scaleMainWindow(0.8f);
    if (scaleKeys && key == 'i') scaleMainWindow(1.25f);
    // A finished script answers every wait with <space>: any other key can never come.
    if (until != ' ' && windows_.inputExhausted()) {
      stopRun(std::string("the session script ended while waiting for '") + char(until) + "'");
      break;
    }
  }
  return false;
}

void PlateAnalyzer::stopRun(const std::string& why) {
  std::cerr << why << "; ending the run" << std::endl;
  stopped_ = true;
}

void PlateAnalyzer::selectionPhase() {
  std::cout << "press 'i' to enlarge the window and 'o' to make it smaller" << std::endl;
  std::cout << "select the hypocotyls with (ctl)alt-right click" << std::endl;
  std::cout << "press <space> when you are done" << std::endl;
  waitForKey(' ', kSetupSliceMs, true);
}

void PlateAnalyzer::calibrationPhase() {
  setMode(ModeCalibrate);
  resetZoom(true);
  std::cout << "calibrate the thresholding using the slider" << std::endl;
  std::cout << "press 'i' to enlarge the window and 'o' to make it smaller" << std::endl;
  std::cout << "press 'd' to calibrate each hypocotyl separately" << std::endl;
  std::cout << "press <space> when you are done" << std::endl;
  calibrateThresholds(-2);
  for (int i = 0; i < nb_snakes; ++i) {
    if (snakes[i].isInUse()) trackHypocotyl(i, -1);
  }
  refreshDisplay(kRed);
}

void PlateAnalyzer::rowBottomPhase() {
  setMode(ModeRowBottom);
  std::cout << "use the mouse to set the bottom of hypocotyl rows or press <space> to skip "
               "(skipping recommended)"
            << std::endl;
  waitForKey(' ', kSetupSliceMs, false);
}

void PlateAnalyzer::monitor() {
  std::cout << "********" << std::endl;
  std::cout << "you can now monitor the semi-automatic hypocotyl phenotyping" << std::endl;
  std::cout << "press <space> to go to the next image" << std::endl;
  std::cout << "refer to the manual for details" << std::endl;
  std::cout << "********" << std::endl;
  setMode(ModeEdit);
  while (true) {
    for (int i = 0; i < nb_snakes; ++i) {
      if (snakes[i].isInUse()) trackHypocotyl(i, -1);
    }
    refreshDisplay(kRed);
    WaitEnd end = WaitEnd::kNone;
    while (end == WaitEnd::kNone && !stopped_) {
      end = handleMonitoringKey(windows_.waitKey(kMonitorSliceMs));
    }
    if (stopped_ || end != WaitEnd::kNext) return;  // 'q', or the run was stopped
    present_.reset();
    const unsigned t = timeIndex();
    storeAll(t);
    if (save_images) saveOverlay(t);
    if (grabber->index() % 10 == 0) writeResultFiles();
    if (!readNextFrame()) return;
  }
}

}  // namespace stemscan
