#include "support/headless_run.h"

#include <cmath>
#include <iostream>
#include <limits>
#include <sstream>

#include "main/command_line.h"
#include "tools/sample/evaluation.h"

namespace stemscan::testing {

HeadlessRun::HeadlessRun(const PlateSpec& layout, int images)
    : plate(layout), rows_(layout.rows), cols_(layout.cols) {
  first_ = writeSequence(dir_.path(), "plate", images,
                         [&layout](int t) { return seedlingPlate(layout, t); });
}

HeadlessRun::HeadlessRun(int rows, int cols, int images, const std::function<cv::Mat(int)>& frame)
    : rows_(rows), cols_(cols) {
  first_ = writeSequence(dir_.path(), "plate", images, frame);
}

int HeadlessRun::run(const std::string& script, const std::vector<std::string>& options) {
  std::vector<std::string> args = {first_, std::to_string(rows_), std::to_string(cols_),
                                   dir_.file("out")};
  args.insert(args.end(), options.begin(), options.end());
  const ParseResult parsed = parseCommandLine(args, dir_.path());
  if (!parsed.settings) return parsed.status;
  std::string error;
  std::optional<SessionScript> session = parseSessionScript(script, "session", &error);
  if (!session) return kExitUsage;
  CapturedOutput output;
  windows_ = std::make_unique<ObservedWindows>(*session, std::cerr);
  windows_->onWait = onWait;
  const uint32_t seed = parsed.settings->seed.value_or(session->seed.value_or(7));
  random_ = std::make_unique<RandomSource>(seed);
  analyzer_ = std::make_unique<PlateAnalyzer>(rows_, cols_, 10, *windows_, *random_);
  applyOptions(*parsed.settings, *analyzer_, std::cout);
  const int status = analyzer_->run(5, first_, dir_.file("out"));
  out = output.out();
  err = output.err();
  return status;
}

std::vector<std::vector<double>> HeadlessRun::values(const std::string& suffix) const {
  return sample::parseTable(table(suffix));
}

std::string at(const cv::Point& p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

std::string spaceKeys(int n) {
  std::string keys;
  for (int i = 0; i < n; ++i) keys += "key space\n";
  return keys;
}

std::string mouseLine(const std::string& event, const cv::Point& p, const std::string& modifiers) {
  return "mouse StemScan " + event + " " + at(p) + modifiers + "\n";
}

std::string selectAllAndCalibrate(const PlateSpec& plate, int threshold) {
  std::ostringstream script;
  for (int r = 0; r < plate.rows; ++r) {
    for (int c = 0; c < plate.cols; ++c) {
      const cv::Point top = topOf(plate, r, c, 0);
      script << "mouse StemScan rup " << top.x << " " << top.y << " alt\n";
    }
  }
  script << "key space\n"
         << "slider thresholding threshold " << threshold << "\n"
         << "key space\n"
         << "key space\n";
  return script.str();
}

}  // namespace stemscan::testing
