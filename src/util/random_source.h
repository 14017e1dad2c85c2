// The one random source of a run. It deals 15-bit values (0 ... 32767), the range every
// random formula of the contour code is written for.
//
// Unseeded, it follows the classic behaviour: the contour optimiser reseeds it from the
// clock before every permutation it draws. Seeded with a fixed value, reseeding is a no-op,
// so the same seed and the same input give the same run, bit for bit.
#pragma once

#include <cstdint>

namespace stemscan {

class RandomSource {
 public:
  static constexpr int kMax = 32767;

  // A source that reseeds from the clock (the default of an interactive run).
  RandomSource();
  // A reproducible source.
  explicit RandomSource(uint32_t seed);

  // Next value in 0 ... kMax.
  int next();

  // Reseeds from the clock unless a fixed seed was given.
  void reseedFromClock();

  bool isSeeded() const { return seeded_; }
  uint32_t seed() const { return seed_; }

  // A seed taken from the clock, for runs that want to record which seed they used.
  static uint32_t clockSeed();

 private:
  uint32_t state_ = 1;
  uint32_t seed_ = 1;
  bool seeded_ = false;
};

}  // namespace stemscan
