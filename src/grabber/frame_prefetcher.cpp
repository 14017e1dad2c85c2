#include "grabber/frame_prefetcher.h"

#include <algorithm>
#include <utility>

namespace stemscan {

FramePrefetcher::FramePrefetcher(std::function<cv::Mat(unsigned)> load, unsigned first,
                                 unsigned end, unsigned depth, unsigned readers)
    : load_(std::move(load)),
      end_(end),
      depth_(depth),
      next_(first),
      limit_(std::min(end, first + depth)) {
  for (unsigned k = 0; k < std::max(1u, readers); ++k) {
    readers_.emplace_back(&FramePrefetcher::work, this);
  }
}

FramePrefetcher::~FramePrefetcher() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& reader : readers_) reader.join();
}

cv::Mat FramePrefetcher::take(unsigned n) {
  std::unique_lock<std::mutex> lock(mutex_);
  // The next frame is read or being read: wait for it.
  changed_.wait(lock, [&] { return ready_.count(n) != 0 || loading_.count(n) == 0; });
  cv::Mat frame;
  auto it = ready_.find(n);
  if (it != ready_.end()) {
    frame = std::move(it->second);
    ready_.erase(ready_.begin(), std::next(it));
  } else {
    // Elsewhere in the sequence: read it now and read ahead from there.
    ready_.clear();
    ++epoch_;
    next_ = n + 1;
    lock.unlock();
    frame = load_(n);
    lock.lock();
  }
  limit_ = std::min(end_, n + 1 + depth_);
  if (next_ < n + 1) next_ = n + 1;
  changed_.notify_all();
  return frame;
}

void FramePrefetcher::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait(lock, [&] { return stop_ || next_ < limit_; });
    if (stop_) return;
    const unsigned n = next_++;
    const unsigned epoch = epoch_;
    const auto reading = loading_.insert(n);
    lock.unlock();
    cv::Mat frame = load_(n);
    lock.lock();
    loading_.erase(reading);
    if (epoch == epoch_) ready_[n] = std::move(frame);
    changed_.notify_all();
  }
}

}  // namespace stemscan
