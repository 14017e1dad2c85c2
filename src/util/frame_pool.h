// FramePool: an image allocator that keeps the buffers of large images (whole frames) when they
// are freed and hands them out again for the next image of the same size. Frames are decoded
// on reader threads and freed on the analysis thread, one after another, all of one size:
// through malloc they come and go from arenas that fragment, and the peak memory of a run
// drifts up with its length; kept here, the buffers in use never outnumber the most frames
// ever alive at once, which the reading ahead and writing behind bound.
#pragma once

#include <cstddef>
#include <mutex>
#include <opencv2/core/mat.hpp>
#include <vector>

namespace stemscan {

class FramePool : public cv::MatAllocator {
 public:
  // Buffers of at least `smallest` bytes are kept, at most `kept` of them at a time.
  explicit FramePool(std::size_t smallest = std::size_t{1} << 20, std::size_t kept = 8);
  ~FramePool() override;

  // Makes the pool the allocator of every image created from now on (the library's default
  // allocator), for the rest of the process; the pool is never destroyed, as images may
  // outlive any scope. Calling it again changes nothing.
  static void install();

  cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step,
                         cv::AccessFlag flags, cv::UMatUsageFlags usage) const override;
  bool allocate(cv::UMatData* data, cv::AccessFlag flags, cv::UMatUsageFlags usage) const override;
  void deallocate(cv::UMatData* data) const override;

  // Buffers kept for reuse, now.
  std::size_t keptCount() const;

 private:
  struct Buffer {
    void* data;
    std::size_t size;
  };
  const std::size_t smallest_;
  const std::size_t kept_;
  mutable std::mutex mutex_;
  mutable std::vector<Buffer> free_;  // the oldest first
};

}  // namespace stemscan
