#include "util/frame_pool.h"

#include <algorithm>
#include <cstdlib>

namespace stemscan {

FramePool::FramePool(std::size_t smallest, std::size_t kept) : smallest_(smallest), kept_(kept) {}

FramePool::~FramePool() {
  for (const Buffer& buffer : free_) cv::fastFree(buffer.data);
}

void FramePool::install() {
  static FramePool* const pool = [] {
    auto* created = new FramePool();  // never deleted: images may be freed at exit
    cv::Mat::setDefaultAllocator(created);
    // glibc maps every block above a threshold afresh and raises the threshold to the size of
    // any such block freed. The first frame freed used to raise it; kept here, frames never
    // reach malloc again, and every medium-sized temporary (a tracker's window, a pyramid)
    // would be mapped and unmapped image after image. A block freed now raises it as before.
    void* volatile probe = std::malloc(std::size_t{4} << 20);
    std::free(probe);
    return created;
  }();
  (void)pool;
}

cv::UMatData* FramePool::allocate(int dims, const int* sizes, int type, void* data, size_t* step,
                                  cv::AccessFlag flags, cv::UMatUsageFlags usage) const {
  cv::MatAllocator* const library = cv::Mat::getStdAllocator();
  // The caller's own buffer, with its own steps: the library wraps it.
  if (data != nullptr) return library->allocate(dims, sizes, type, data, step, flags, usage);
  // Rows packed one after another, as the library lays out an image it allocates.
  std::size_t total = CV_ELEM_SIZE(type);
  for (int i = dims - 1; i >= 0; --i) {
    if (step != nullptr) step[i] = total;
    total *= static_cast<std::size_t>(sizes[i]);
  }
  if (total < smallest_) return library->allocate(dims, sizes, type, data, step, flags, usage);
  void* buffer = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // The buffer freed last: the likeliest to be in the cache still.
    const auto same = std::find_if(free_.rbegin(), free_.rend(),
                                   [&](const Buffer& b) { return b.size == total; });
    if (same != free_.rend()) {
      buffer = same->data;
      free_.erase(std::next(same).base());
    }
  }
  if (buffer == nullptr) buffer = cv::fastMalloc(total);
  auto* u = new cv::UMatData(this);
  u->data = u->origdata = static_cast<uchar*>(buffer);
  u->size = total;
  return u;
}

bool FramePool::allocate(cv::UMatData* data, cv::AccessFlag, cv::UMatUsageFlags) const {
  return data != nullptr;
}

void FramePool::deallocate(cv::UMatData* u) const {
  if (u == nullptr) return;
  CV_Assert(u->urefcount == 0 && u->refcount == 0);
  void* evicted = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back({u->origdata, u->size});
    if (free_.size() > kept_) {
      evicted = free_.front().data;
      free_.erase(free_.begin());
    }
  }
  if (evicted != nullptr) cv::fastFree(evicted);
  delete u;
}

std::size_t FramePool::keptCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return free_.size();
}

}  // namespace stemscan
