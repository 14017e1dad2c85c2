// FramePrefetcher: reads the next frames of a sequence on other threads while the current one
// is analysed. At most `depth` frames are read ahead, so memory stays flat; each is read by one
// of `readers` threads, so that two slow decodes (png, tif) can share the processor with the
// analysis and each other. Asking for any other frame than the next (a step back, a seek) reads
// it at once and reads ahead from there.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <opencv2/core/mat.hpp>
#include <set>
#include <thread>
#include <vector>

namespace stemscan {

class FramePrefetcher {
 public:
  // `load` decodes frame n (an empty image where it cannot); frames run from `first` to
  // `end` - 1, and reading them starts at once.
  FramePrefetcher(std::function<cv::Mat(unsigned)> load, unsigned first, unsigned end,
                  unsigned depth = 2, unsigned readers = 2);
  ~FramePrefetcher();
  FramePrefetcher(const FramePrefetcher&) = delete;
  FramePrefetcher& operator=(const FramePrefetcher&) = delete;

  // Frame n, decoded; the frames after it are read ahead.
  cv::Mat take(unsigned n);

 private:
  void work();

  std::function<cv::Mat(unsigned)> load_;
  const unsigned end_;
  const unsigned depth_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<unsigned, cv::Mat> ready_;
  unsigned next_;                    // the next frame a reader takes
  unsigned limit_;                   // the readers take frames below this
  std::multiset<unsigned> loading_;  // the frames being read (once more where a seek left one)
  unsigned epoch_ = 0;               // bumped when the reading starts over elsewhere
  bool stop_ = false;
  std::vector<std::thread> readers_;
};

}  // namespace stemscan
