// One self-updating line on a terminal for long unattended runs: image k of N, images per
// second, time left. Silent when switched off (output to a file or a pipe).
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace stemscan {

class ProgressLine {
 public:
  ProgressLine(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}

  // `done` of `total` images analysed; redrawn at most five times a second.
  void show(unsigned done, unsigned total);
  // Ends the line, so that what follows starts on a fresh one.
  void finish();

  // The line's text, for `done` of `total` images in `seconds`.
  static std::string text(unsigned done, unsigned total, double seconds);

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream& out_;
  bool enabled_;
  bool started_ = false;
  bool drawn_ = false;
  Clock::time_point start_;
  Clock::time_point last_;
};

}  // namespace stemscan
