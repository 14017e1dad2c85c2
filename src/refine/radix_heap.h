// A priority queue of 64-bit keys for searches whose keys rarely fall below the last one taken
// (Dijkstra's cheapest paths): the keys sit in buckets by the highest bit in which they differ
// from the last key taken, and only the lowest non-empty bucket is ever sorted out again. Keys
// come out in the same order as from a binary heap, smallest first, at a fraction of its cost.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace stemscan {

class RadixHeap {
 public:
  bool empty() const { return size_ == 0; }

  void push(std::uint64_t key) {
    ++size_;
    if (key < last_) {
      // Below the last key taken (a step that rounds to no cost at all): it comes out before
      // every key in the buckets, which are all at or above the last one.
      below_.push_back(key);
      std::push_heap(below_.begin(), below_.end(), std::greater<std::uint64_t>());
      return;
    }
    put(key);
  }

  // Takes out the smallest key; the queue must not be empty.
  std::uint64_t pop() {
    --size_;
    if (!below_.empty()) {
      std::pop_heap(below_.begin(), below_.end(), std::greater<std::uint64_t>());
      const std::uint64_t key = below_.back();
      below_.pop_back();
      return key;
    }
    if (buckets_[0].empty()) {
      const std::size_t i = 1 + static_cast<std::size_t>(__builtin_ctzll(filled_));
      filled_ &= filled_ - 1;
      std::vector<std::uint64_t>& lowest = buckets_[i];
      last_ = *std::min_element(lowest.begin(), lowest.end());
      for (std::uint64_t key : lowest) put(key);
      lowest.clear();
    }
    const std::uint64_t key = buckets_[0].back();
    buckets_[0].pop_back();
    return key;
  }

 private:
  void put(std::uint64_t key) {
    const std::size_t bucket = bucketOf(key);
    buckets_[bucket].push_back(key);
    if (bucket > 0) filled_ |= std::uint64_t{1} << (bucket - 1);
  }

  std::size_t bucketOf(std::uint64_t key) const {
    return key == last_ ? 0 : 64 - static_cast<std::size_t>(__builtin_clzll(key ^ last_));
  }

  std::array<std::vector<std::uint64_t>, 65> buckets_;
  std::vector<std::uint64_t> below_;
  std::uint64_t filled_ = 0;  // bit b - 1 set where bucket b (from 1) holds keys
  std::uint64_t last_ = 0;
  std::size_t size_ = 0;
};

}  // namespace stemscan
