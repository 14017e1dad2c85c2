#include "util/image_writer.h"

#include <iostream>
#include <opencv2/imgcodecs.hpp>

namespace stemscan {

ImageWriter::ImageWriter(std::size_t capacity)
    : capacity_(capacity), worker_(&ImageWriter::work, this) {}

ImageWriter::~ImageWriter() {
  finish();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void ImageWriter::write(const std::string& path, const cv::Mat& image) {
  cv::Mat copy = image.clone();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queue_.size() < capacity_; });
  queue_.emplace_back(path, std::move(copy));
  changed_.notify_all();
}

void ImageWriter::finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queue_.empty() && !busy_; });
}

void ImageWriter::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, nothing left
    auto [path, image] = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    changed_.notify_all();
    lock.unlock();
    bool written = false;
    try {
      written = cv::imwrite(path, image);
    } catch (const cv::Exception&) {
      written = false;
    }
    if (!written) std::cerr << "cannot write image " << path << std::endl;
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace stemscan
