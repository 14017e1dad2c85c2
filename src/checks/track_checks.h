// Checks of every hypocotyl's track after each image, so that a lost track does not pass for a
// good one: each contour is flagged where it runs onto another hypocotyl, reaches the image's
// edge, jumps further than growth allows, leaves the dark pixels or folds back on itself.
#pragma once

#include <opencv2/core/mat.hpp>
#include <string>
#include <vector>

#include "util/vec2.h"

namespace stemscan {

// One bit per reason; a hypocotyl's flags at an image are their sum.
enum TrackFlag : unsigned {
  kFlagMerged = 1,   // its top is on another hypocotyl's contour, or most of its points are
  kFlagEdge = 2,     // its top, or a point above its base, is at the image's border
  kFlagJump = 4,     // its top moved, or its length changed, further than growth allows
  kFlagOffStem = 8,  // too few of its points lie on dark pixels
  kFlagFolded = 16,  // it is far longer than the distance from its top to its base
  kFlagBehind = 32,  // its stem goes on past its top: the top lags behind the stem's end
};
constexpr int kTrackFlagCount = 6;

// "merged;jump" (in the order above); empty for none.
std::string flagText(unsigned flags);
// The name of flag k (0 ... kTrackFlagCount - 1).
const char* flagName(int k);

struct CheckSettings {
  // Why these settings cannot be used; empty when they can.
  std::string Check() const;

  // off_stem: fewer than this share of the contour's points within `onStemTolerance` pixels of
  // a pixel at or below the hypocotyl's threshold.
  float onStemShare = 0.8f;
  int onStemTolerance = 2;
  // merged: the top within a stem width of another contour, or this share of the points within
  // half a stem width of it.
  float sharedShare = 0.5f;
  // edge: within this many pixels of the border.
  float edgeMargin = 1.0f;
  // folded: longer than this many times the distance from its top to its base.
  float foldFactor = 2.0f;
  // behind: the dark stem goes on straight past the top for this many stem widths, and at
  // least `behindPixels`.
  float behindWidths = 1.5f;
  float behindPixels = 15.0f;
  // jump: a step of the top beyond the optical flow's reach (twice the search half-width and
  // the 20 px a tracked end may move at most) and this many times the hypocotyl's median step
  // over its recent images; a change of length beyond the same reach, the same multiple of its
  // median change, and `lengthShare` of its length.
  float stepFactor = 3.0f;
  float lengthShare = 0.25f;
  int history = 5;  // recent images the median steps are taken over
};

// A hypocotyl at one image as the checks see it.
struct TrackState {
  std::vector<Vec2> points;  // top first; empty when the hypocotyl is not in use
  int threshold = -1;        // its grey threshold (dark at or below); -1 for none set
  // Its contours at the images before, the latest first (as many as were stored, up to
  // CheckSettings::history + 1).
  std::vector<std::vector<Vec2>> before;
};

// The width of the stem a contour lies on: the median of the narrowest dark run (at or below
// `threshold`) across each of its points on dark pixels; 5 px where none is.
float stemWidthAlong(const cv::Mat& grey, const std::vector<Vec2>& points, int threshold);
// Whether the contour `mine` has run onto `other`: its top within `width` of it, or more than
// `sharedShare` of its points within half `width`.
bool runsOnto(const std::vector<Vec2>& mine, const std::vector<Vec2>& other, float width,
              float sharedShare);

// The flags of every hypocotyl on the grey image, `maxGrowth` being the search half-width.
std::vector<unsigned> checkTracks(const std::vector<TrackState>& tracks, const cv::Mat& grey,
                                  int maxGrowth, const CheckSettings& settings = {});

}  // namespace stemscan
