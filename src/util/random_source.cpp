#include "util/random_source.h"

#include <chrono>

namespace stemscan {

RandomSource::RandomSource() : state_(clockSeed()), seed_(state_), seeded_(false) {}

RandomSource::RandomSource(uint32_t seed) : state_(seed), seed_(seed), seeded_(true) {}

int RandomSource::next() {
  // Linear congruential generator with the classic 15-bit output.
  state_ = state_ * 214013u + 2531011u;
  return static_cast<int>((state_ >> 16) & 0x7fffu);
}

void RandomSource::reseedFromClock() {
  if (!seeded_) state_ = clockSeed();
}

uint32_t RandomSource::clockSeed() {
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  return static_cast<uint32_t>(ticks);
}

}  // namespace stemscan
