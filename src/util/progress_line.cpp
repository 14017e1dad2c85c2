#include "util/progress_line.h"

#include <cstdio>

namespace stemscan {

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
  } else if (done < total && now - last_ < std::chrono::milliseconds(200)) {
    return;
  }
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  out_ << "\r" << text(done, total, seconds) << "\x1b[K" << std::flush;
  drawn_ = true;
}

void ProgressLine::finish() {
  if (drawn_) out_ << std::endl;
  drawn_ = false;
}

}  // namespace stemscan
