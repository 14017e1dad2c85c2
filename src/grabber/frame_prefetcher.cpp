#include "grabber/frame_prefetcher.h"

#include <utility>

namespace stemscan {

FramePrefetcher::FramePrefetcher(std::function<cv::Mat(unsigned)> load, unsigned first,
                                 unsigned end, unsigned depth)
    : load_(std::move(load)),
      end_(end),
      depth_(depth),
      next_(first),
      limit_(first),
      loading_(end),
      worker_(&FramePrefetcher::work, this) {}

FramePrefetcher::~FramePrefetcher() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

cv::Mat FramePrefetcher::take(unsigned n) {
  std::unique_lock<std::mutex> lock(mutex_);
  // The next frame is read or being read: wait for it.
  changed_.wait(lock, [&] { return ready_.count(n) != 0 || loading_ != n; });
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
    loading_ = n;
    lock.unlock();
    cv::Mat frame = load_(n);
    lock.lock();
    loading_ = end_;
    if (epoch == epoch_) ready_[n] = std::move(frame);
    changed_.notify_all();
  }
}

}  // namespace stemscan
