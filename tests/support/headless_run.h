// A whole analysis run, headless, on a generated sequence, with the analyzer kept for
// inspection after the run.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/scripted_window_system.h"
#include "plate_analyzer/plate_analyzer.h"
#include "support/synthetic.h"
#include "util/random_source.h"

namespace stemscan::testing {

// The scripted window system with a hook called before every wait.
class ObservedWindows : public ScriptedWindowSystem {
 public:
  using ScriptedWindowSystem::ScriptedWindowSystem;
  int waitKey(int delayMs) override {
    if (onWait) onWait(delayMs);
    return ScriptedWindowSystem::waitKey(delayMs);
  }
  std::function<void(int delayMs)> onWait;
};

class HeadlessRun {
 public:
  // Writes `images` frames of the plate as <dir>/plate00.png ...
  HeadlessRun(const PlateSpec& plate, int images);
  // Writes the frames `frame` gives.
  HeadlessRun(int rows, int cols, int images, const std::function<cv::Mat(int)>& frame);

  // Runs the analysis with the script and the options (as on the command line); the output
  // base is <dir>/out. Returns the run's status.
  int run(const std::string& script, const std::vector<std::string>& options = {});

  PlateAnalyzer& analyzer() { return *analyzer_; }
  ObservedWindows& windows() { return *windows_; }
  const TempDir& dir() const { return dir_; }
  std::string firstImage() const { return first_; }
  std::string table(const std::string& suffix) const { return readFile(dir_.file("out" + suffix)); }
  // Lines of a table, each split into its numbers (nan as NaN).
  std::vector<std::vector<double>> values(const std::string& suffix) const;
  // Set before run() to watch every wait.
  std::function<void(int delayMs)> onWait;

  std::string out;
  std::string err;
  PlateSpec plate;

 private:
  TempDir dir_;
  std::string first_;
  int rows_ = 1;
  int cols_ = 1;
  std::unique_ptr<ObservedWindows> windows_;
  std::unique_ptr<RandomSource> random_;
  std::unique_ptr<PlateAnalyzer> analyzer_;
};

// Script words and lines: "x y", n presses of <space>, a mouse event on the main window
// (`modifiers` as in a script line, each with a leading blank: " ctrl alt").
std::string at(const cv::Point& p);
std::string spaceKeys(int n);
std::string mouseLine(const std::string& event, const cv::Point& p,
                      const std::string& modifiers = "");

// Script lines that select every seedling of the plate at its top at image 0, calibrate one
// threshold with the slider and skip the row bottoms.
std::string selectAllAndCalibrate(const PlateSpec& plate, int threshold = 110);

}  // namespace stemscan::testing
