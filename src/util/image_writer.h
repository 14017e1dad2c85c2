// ImageWriter: encodes and writes images on a second thread, in the order given, so that the
// analysis never waits for an encoder unless `capacity` images are already waiting. A failure
// is reported as "cannot write image F" on the error stream.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <opencv2/core/mat.hpp>
#include <string>
#include <thread>
#include <utility>

namespace stemscan {

class ImageWriter {
 public:
  explicit ImageWriter(std::size_t capacity = 4);
  // Writes what is still waiting.
  ~ImageWriter();
  ImageWriter(const ImageWriter&) = delete;
  ImageWriter& operator=(const ImageWriter&) = delete;

  // Queues a copy of `image` for `path`.
  void write(const std::string& path, const cv::Mat& image);
  // Returns once every queued image is on disk (or reported).
  void finish();

 private:
  void work();

  const std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<std::string, cv::Mat>> queue_;
  bool busy_ = false;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace stemscan
