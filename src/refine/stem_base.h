// Where a stem's base lies on its tube: on the middle of the stem across its row, where the stem
// narrows into its root, or where the stem ends below.
#pragma once

#include "refine/stem_tube.h"
#include "util/vec2.h"

namespace stemscan {

// The middle of the dark run through (or nearest to) p along its row, within reach: the
// deepest pixel, to a fraction of a pixel; p keeps its height.
bool centreOnRow(const Tube& tube, const Vec2& p, float reach, Vec2* centre);

// Where the stem narrows into its root, or ends, within two stem radii (`radius`) of p: the
// lowest row of the stem still about as deep as its radius, with the tube less than half as
// deep a radius further down. Trackers slide along a uniform stem; this narrowing stays on the
// same place of the seedling. False where no narrowing is near; the nearest where there are
// several.
bool narrowingNear(const Tube& tube, const Vec2& p, float radius, Vec2* at);

// Where the stem ends below when nobody set its base: the lowest point of the tube, kept to
// pixels as deep as a good part of the stem's radius (so that a thinner root does not count).
// The stem is the one under the top: the deepest pixel within 12 px of it, or, where the
// tracker carried the top off the stem (a step too large for it to follow), within `reach`.
// Where that pixel lies in open cotyledons much wider than the stem (`radius`, about), the
// stem's own depth counts: the thin stem of a light-grown seedling is kept.
bool findBase(const Tube& tube, const Vec2& top, int reach, float radius, Vec2* base);

}  // namespace stemscan
