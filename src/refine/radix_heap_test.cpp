#include "refine/radix_heap.h"

#include <gtest/gtest.h>

#include <queue>
#include <random>

namespace stemscan {
namespace {

// Keys pushed as a cheapest-path search pushes them (mostly at or above the last key taken,
// now and then below it) come out in the order a binary heap gives, smallest first.
TEST(RadixHeap, TakesKeysOutInTheOrderOfABinaryHeap) {
  std::mt19937_64 random(7);
  RadixHeap heap;
  std::priority_queue<std::uint64_t, std::vector<std::uint64_t>, std::greater<std::uint64_t>>
      reference;
  auto push = [&](std::uint64_t key) {
    heap.push(key);
    reference.push(key);
  };
  push(1000);
  std::uint64_t last = 0;
  int taken = 0;
  while (!reference.empty()) {
    ASSERT_FALSE(heap.empty());
    const std::uint64_t key = heap.pop();
    ASSERT_EQ(key, reference.top()) << "key " << taken;
    reference.pop();
    last = key;
    if (++taken > 20000) continue;  // then drain
    for (int k = static_cast<int>(random() % 4); k > 0; --k) {
      const std::uint64_t step = random() % 8 == 0 ? 0 : random() % (std::uint64_t{1} << 40);
      push(random() % 16 == 0 && last > 8 ? last - 1 - random() % 8 : last + step);
    }
  }
  EXPECT_TRUE(heap.empty());
  EXPECT_GT(taken, 20000);
}

}  // namespace
}  // namespace stemscan
