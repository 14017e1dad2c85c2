// One self-updating line on a terminal for long unattended runs: image k of N, images per
// second, time left. Silent when switched off (output to a file or a pipe).
//
// While it is on, every other line written to std::cout or std::cerr (a file name, a warning)
// first erases it, so that nothing is glued to it; it is drawn again at the next show().
#pragma once

#include <chrono>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

namespace stemscan {

class ProgressLine {
 public:
  // `terminal`: the stream the line is drawn on (standard error).
  ProgressLine(std::ostream& terminal, bool enabled);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // `done` of `total` images analysed; redrawn at most five times a second.
  void show(unsigned done, unsigned total);
  // Ends the line, so that what follows starts on a fresh one.
  void finish();

  // The line's text, for `done` of `total` images in `seconds`.
  static std::string text(unsigned done, unsigned total, double seconds);

 private:
  // Passes everything on to `inner`, erasing the progress line first.
  class Guard : public std::streambuf {
   public:
    Guard(std::streambuf* inner, ProgressLine& line) : inner_(inner), line_(line) {}
    std::streambuf* inner() const { return inner_; }

   protected:
    int overflow(int c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override { return inner_->pubsync(); }

   private:
    std::streambuf* inner_;
    ProgressLine& line_;
  };

  void erase();
  void draw(const std::string& text);

  using Clock = std::chrono::steady_clock;
  std::ostream& terminal_;
  bool enabled_;
  bool started_ = false;
  bool drawn_ = false;
  Clock::time_point start_;
  Clock::time_point last_;
  std::streambuf* screen_ = nullptr;  // the terminal's own buffer, drawn on directly
  std::unique_ptr<Guard> out_guard_;
  std::unique_ptr<Guard> err_guard_;
};

}  // namespace stemscan
