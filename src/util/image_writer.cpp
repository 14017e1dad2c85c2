#include "util/image_writer.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <opencv2/imgcodecs.hpp>

namespace stemscan {
namespace {

// The image encoded as the extension of `path` asks, as cv::imwrite would write it; false
// where the format is unknown or the encoder fails.
bool encode(const std::string& path, const cv::Mat& image, std::vector<uchar>* bytes) {
  try {
    return cv::imencode(std::filesystem::path(path).extension().string(), image, *bytes);
  } catch (const cv::Exception&) {
    return false;
  }
}

bool writeBytes(const std::string& path, const std::vector<uchar>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

ImageWriter::ImageWriter(std::size_t capacity, int encoders) : capacity_(capacity) {
  for (int k = 0; k < std::max(1, encoders); ++k) workers_.emplace_back(&ImageWriter::work, this);
}

ImageWriter::~ImageWriter() {
  finish();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void ImageWriter::write(const std::string& path, const cv::Mat& image) {
  cv::Mat copy = image.clone();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queue_.size() < capacity_; });
  queue_.push_back(Job{given_++, path, std::move(copy)});
  changed_.notify_all();
}

void ImageWriter::finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return written_ == given_; });
}

void ImageWriter::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, nothing left
    Job job = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();
    lock.unlock();
    std::vector<uchar> bytes;
    const bool encoded = encode(job.path, job.image, &bytes);
    job.image.release();
    lock.lock();
    // The files are written in the order the images were given.
    changed_.wait(lock, [&] { return written_ == job.number; });
    lock.unlock();
    if (!encoded || !writeBytes(job.path, bytes)) {
      std::cerr << "cannot write image " << job.path << std::endl;
    }
    lock.lock();
    ++written_;
    changed_.notify_all();
  }
}

}  // namespace stemscan
