// Each flag on a plate drawn to call for it, and none on a good track.
#include "checks/track_checks.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace stemscan {
namespace {

constexpr int kThreshold = 100;

// A light grey plate with dark vertical stems 8 px wide from y `top` to 260 at the given x.
cv::Mat plateWithStems(const std::vector<int>& xs, int top = 60) {
  cv::Mat grey(300, 400, CV_8UC1, cv::Scalar(200));
  for (int x : xs) cv::line(grey, {x, top}, {x, 260}, cv::Scalar(40), 8);
  return grey;
}

// Eleven points from (x, top) down to (x, bottom).
std::vector<Vec2> straight(float x, float top, float bottom) {
  std::vector<Vec2> points;
  for (int k = 0; k <= 10; ++k) points.emplace_back(x, top + (bottom - top) * k / 10.0f);
  return points;
}

TrackState track(std::vector<Vec2> points, std::vector<std::vector<Vec2>> before = {}) {
  TrackState t;
  t.points = std::move(points);
  t.threshold = kThreshold;
  t.before = std::move(before);
  return t;
}

// A history of a stem growing up by 2 px per image, its top now at `top`.
std::vector<std::vector<Vec2>> grewTo(float x, float top, float bottom) {
  std::vector<std::vector<Vec2>> before;
  for (int k = 1; k <= 6; ++k) before.push_back(straight(x, top + 2.0f * k, bottom));
  return before;
}

TEST(TrackChecks, GoodTracksCarryNoFlag) {
  const cv::Mat grey = plateWithStems({100, 200, 300});
  std::vector<TrackState> tracks;
  for (float x : {100.0f, 200.0f, 300.0f}) {
    tracks.push_back(track(straight(x, 62, 258), grewTo(x, 62, 258)));
  }
  tracks.push_back(TrackState());  // not in use
  EXPECT_EQ(checkTracks(tracks, grey, 5), (std::vector<unsigned>{0, 0, 0, 0}));
  EXPECT_EQ(flagText(0), "");
  EXPECT_EQ(flagText(kFlagMerged | kFlagJump), "merged;jump");
}

TEST(TrackChecks, AContourOnItsNeighboursStemIsMerged) {
  const cv::Mat grey = plateWithStems({100, 140});
  // Hypocotyl 1's top has run onto hypocotyl 0's stem.
  const std::vector<TrackState> tracks = {track(straight(100, 62, 258)),
                                          track({Vec2(102, 120), Vec2(120, 190), Vec2(140, 258)})};
  const std::vector<unsigned> flags = checkTracks(tracks, grey, 5);
  EXPECT_EQ(flags[1] & kFlagMerged, kFlagMerged);
  // Two contours along one stem: both.
  const std::vector<TrackState> same = {track(straight(100, 62, 258)),
                                        track(straight(101, 62, 250))};
  EXPECT_EQ(checkTracks(same, grey, 5), (std::vector<unsigned>{kFlagMerged, kFlagMerged}));
}

TEST(TrackChecks, ATopAtTheBorderIsAtTheEdgeButABaseThereIsNot) {
  cv::Mat grey(300, 400, CV_8UC1, cv::Scalar(200));
  cv::line(grey, {100, 0}, {100, 200}, cv::Scalar(40), 8);
  cv::line(grey, {300, 100}, {300, 299}, cv::Scalar(40), 8);
  EXPECT_EQ(checkTracks({track(straight(100, 0, 200))}, grey, 5)[0], kFlagEdge);
  EXPECT_EQ(checkTracks({track(straight(300, 102, 299))}, grey, 5)[0], 0u);
}

TEST(TrackChecks, ATopThatLeapsOrALengthThatCollapsesIsAJump) {
  const cv::Mat grey = plateWithStems({100, 300});
  // The top moved 200 px from one stem to the other.
  EXPECT_EQ(
      checkTracks({track(straight(300, 62, 258), grewTo(100, 62, 258))}, grey, 5)[0] & kFlagJump,
      kFlagJump);
  // The apex ran out of the picture: 196 px of stem become 18.
  EXPECT_EQ(
      checkTracks({track(straight(100, 240, 258), grewTo(100, 62, 258))}, grey, 5)[0] & kFlagJump,
      kFlagJump);
  // A wider search (--growth) lets the top move further.
  EXPECT_EQ(checkTracks({track(straight(100, 22, 258), grewTo(100, 62, 258))},
                        plateWithStems({100}, 20), 5)[0] &
                kFlagJump,
            kFlagJump);
  EXPECT_EQ(checkTracks({track(straight(100, 22, 258), grewTo(100, 62, 258))},
                        plateWithStems({100}, 20), 20)[0] &
                kFlagJump,
            0u);
}

TEST(TrackChecks, AChordAcrossTheAgarIsOffTheStem) {
  const cv::Mat grey = plateWithStems({100, 300});
  std::vector<Vec2> chord;
  for (int k = 0; k <= 10; ++k) chord.emplace_back(100.0f + 20.0f * k, 62.0f + 19.6f * k);
  EXPECT_EQ(checkTracks({track(chord)}, grey, 5)[0] & kFlagOffStem, kFlagOffStem);
}

TEST(TrackChecks, AContourDoublingBackIsFolded) {
  const cv::Mat grey = plateWithStems({100});
  std::vector<Vec2> folded = straight(100, 62, 200);
  for (const Vec2& p : straight(100, 190, 70)) folded.push_back(p);  // back up the stem
  EXPECT_EQ(checkTracks({track(folded)}, grey, 5)[0], kFlagFolded);
}

TEST(TrackChecks, ATopLeftBehindWhileTheStemGrewOnIsBehind) {
  // The stem reaches y 20; the contour stops 40 px below.
  const cv::Mat grey = plateWithStems({100}, 20);
  EXPECT_EQ(checkTracks({track(straight(100, 62, 258))}, grey, 5)[0], kFlagBehind);
  EXPECT_EQ(checkTracks({track(straight(100, 24, 258))}, grey, 5)[0], 0u);
}

TEST(TrackChecks, SettingsThatCannotWorkAreNamed) {
  EXPECT_EQ(CheckSettings().Check(), "");
  CheckSettings bad;
  bad.foldFactor = 0.5f;
  EXPECT_NE(bad.Check(), "");
}

}  // namespace
}  // namespace stemscan
