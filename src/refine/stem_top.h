// Where a stem's top lies on a path up through its tube: the apex of a hook, or where the stem
// widens into its cotyledons. The stem's own size along the path tells the stem from the wider
// parts around its top.
#pragma once

#include <cstddef>
#include <vector>

#include "refine/refine_settings.h"
#include "refine/stem_tube.h"
#include "util/vec2.h"

namespace stemscan {

// The stem's depth along its middle and its width across.
struct StemSize {
  float depth = 0.0f;
  float width = 0.0f;
};

constexpr float kWidthLimit = 200.0f;  // pixels each way that a width across is followed

// Where the tube is clearly deeper than the stem: by a share of its depth, and by more than a
// pixel (the depths of a thin, speckled stem vary by a pixel from place to place).
bool deeperThanStem(float depth, const StemSize& stem, const RefineSettings& settings);

// Where the tube has clearly widened past the stem: deeper than it, or much wider across.
bool widerThanStem(float depth, float width, const StemSize& stem, const RefineSettings& settings);

// The unit vector across direction t (to its left as the image shows it); (1, 0) where t is
// no direction.
Vec2 across(const Vec2& t);

// Which rule put the top where it is (see topOnPath).
enum class TopRule {
  kShortPath,              // the path is too short to measure the stem: its highest point
  kHookApex,               // the path ends on the stem: the hook's apex, or the stem's end
  kLevelSideBranch,        // it runs on level into a side branch: where it turned off the stem
  kRaisedSideBranch,       // it rises into a cotyledon held at an angle: where it turned
  kHookAgainstCotyledons,  // a wide stretch reaching far down: a hook lying on its cotyledons
  kFarJunction,            // a junction far from the tracked top: a closed hook seen as one blob
  kHookBelowJunction,      // the stem runs level below the junction: the hook's apex
  kTurnBeforeWidening,     // the widening lies well beyond where the path turned off the stem
  kWidening,               // where the stem widens into its cotyledons
  kFork,                   // below that, where the stem forks into two petioles
};

// Where the top lies on a path, and the stem below it.
struct PathTop {
  std::size_t index = 0;  // the top's point on the path
  StemSize stem;          // the stem's size below the top; zero where the path is too short
  // The top is where the stem widens into its cotyledons, or where the path turned off the stem
  // into a side branch.
  bool atJunction = false;
  TopRule rule = TopRule::kShortPath;
};

// The top on a path from the base up through the tube: the highest point of the stem (the apex
// of a hook: the middle of the arch where the stem runs level and then down again). Where the
// highest point of the path lies where the tube is wider than the stem (in the cotyledons), the
// stem ends where that widening starts, and the top is the highest point of the stem below it.
// A junction far from `tracked` (where the top was carried from the last image) is not taken.
PathTop topOnPath(const Tube& tube, const std::vector<Vec2>& path, const Vec2& up,
                  const Vec2& tracked, const RefineSettings& settings);

}  // namespace stemscan
