#include "util/progress_line.h"

#include <cstdio>
#include <iostream>

namespace stemscan {

ProgressLine::ProgressLine(std::ostream& terminal, bool enabled)
    : terminal_(terminal), enabled_(enabled) {
  if (!enabled_) return;
  screen_ = terminal_.rdbuf();
  out_guard_ = std::make_unique<Guard>(std::cout.rdbuf(), *this);
  err_guard_ = std::make_unique<Guard>(std::cerr.rdbuf(), *this);
  std::cout.rdbuf(out_guard_.get());
  std::cerr.rdbuf(err_guard_.get());
}

ProgressLine::~ProgressLine() {
  finish();
  if (!enabled_) return;
  std::cout.rdbuf(out_guard_->inner());
  std::cerr.rdbuf(err_guard_->inner());
}

std::string ProgressLine::text(unsigned done, unsigned total, double seconds) {
  const double rate = seconds > 0.0 ? done / seconds : 0.0;
  char line[128];
  if (rate > 0.0) {
    const long left = static_cast<long>((total - done) / rate + 0.5);
    std::snprintf(line, sizeof line, "image %u of %u, %.1f images/s, %ld:%02ld left", done, total,
                  rate, left / 60, left % 60);
  } else {
    std::snprintf(line, sizeof line, "image %u of %u", done, total);
  }
  return line;
}

void ProgressLine::show(unsigned done, unsigned total) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (!started_) {
    started_ = true;
    start_ = now;
  } else if (drawn_ && done < total && now - last_ < std::chrono::milliseconds(200)) {
    return;
  }
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::cout.flush();
  draw("\r" + text(done, total, seconds) + "\x1b[K");
  drawn_ = true;
}

void ProgressLine::finish() {
  if (drawn_) draw("\n");
  drawn_ = false;
}

void ProgressLine::erase() {
  if (!drawn_) return;
  drawn_ = false;
  draw("\r\x1b[K");
}

void ProgressLine::draw(const std::string& text) {
  screen_->sputn(text.data(), static_cast<std::streamsize>(text.size()));
  screen_->pubsync();
}

int ProgressLine::Guard::overflow(int c) {
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  line_.erase();
  return inner_->sputc(static_cast<char>(c));
}

std::streamsize ProgressLine::Guard::xsputn(const char* s, std::streamsize n) {
  line_.erase();
  return inner_->sputn(s, n);
}

}  // namespace stemscan
