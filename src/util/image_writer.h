// ImageWriter: encodes and writes images on background threads, so that the analysis never
// waits for an encoder unless `capacity` images are already waiting. Two images may be encoded
// at once (an encode can take longer than the analysis of an image), but the files are written
// one after the other in the order given. A failure is reported as "cannot write image F" on
// the error stream.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <opencv2/core/mat.hpp>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace stemscan {

class ImageWriter {
 public:
  explicit ImageWriter(std::size_t capacity = 4, int encoders = 2);
  // Writes what is still waiting.
  ~ImageWriter();
  ImageWriter(const ImageWriter&) = delete;
  ImageWriter& operator=(const ImageWriter&) = delete;

  // Queues a copy of `image` for `path`.
  void write(const std::string& path, const cv::Mat& image);
  // Returns once every queued image is on disk (or reported).
  void finish();

 private:
  struct Job {
    std::uint64_t number;  // in the order given
    std::string path;
    cv::Mat image;
  };

  void work();

  const std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> queue_;
  std::uint64_t given_ = 0;    // images given so far
  std::uint64_t written_ = 0;  // images written (or reported) so far, in order
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace stemscan
