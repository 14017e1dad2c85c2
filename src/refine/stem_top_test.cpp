// The rules that put a stem's top, each on a mask drawn to call for it.
#include "refine/stem_top.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "refine/stem_refiner.h"

namespace stemscan {
namespace {

// A light mask with a dark stem 10 px wide from (100, 280) up to (100, `top`).
cv::Mat stemUpTo(int top) {
  cv::Mat mask(300, 220, CV_8UC1, cv::Scalar(255));
  cv::line(mask, {100, 280}, {100, top}, cv::Scalar(0), 10);
  return mask;
}

// The rule that put the top of a contour hanging from `tracked` down the stem.
TopRule ruleFor(const cv::Mat& mask, const Vec2& tracked, Vec2* top = nullptr) {
  Snake s;
  for (int k = 0; k <= 10; ++k) {
    s.append(tracked + (Vec2(100.0f, 275.0f) - tracked) * (static_cast<float>(k) / 10.0f));
  }
  RefineReport report;
  EXPECT_TRUE(refineOnStem(s, mask, cv::Mat(), BaseKind::kSet, RefineSettings(), &report));
  if (top != nullptr) *top = s.point(0);
  return report.rule;
}

TEST(TopRules, AStemTooShortToMeasureEndsAtItsHighestPoint) {
  Vec2 top;
  EXPECT_EQ(ruleFor(stemUpTo(250), Vec2(100, 252), &top), TopRule::kShortPath);
  EXPECT_NEAR(top.y, 250.0f, 6.0f);
}

TEST(TopRules, ABareStemEndsWhereItEnds) {
  Vec2 top;
  EXPECT_EQ(ruleFor(stemUpTo(120), Vec2(100, 125), &top), TopRule::kHookApex);
  EXPECT_NEAR(top.y, 120.0f, 6.0f);
}

TEST(TopRules, AStemEndsWhereItWidensIntoItsCotyledons) {
  cv::Mat mask = stemUpTo(120);
  cv::ellipse(mask, {100, 105}, {30, 14}, 0, 0, 360, cv::Scalar(0), cv::FILLED);
  Vec2 top;
  EXPECT_EQ(ruleFor(mask, Vec2(100, 110), &top), TopRule::kWidening);
  EXPECT_GT(top.y, 112.0f);
}

TEST(TopRules, APathRunningLevelIntoASideBranchTurnsBackWhereItLeftTheStem) {
  cv::Mat mask = stemUpTo(120);
  cv::line(mask, {100, 120}, {170, 120}, cv::Scalar(0), 8);
  Vec2 top;
  EXPECT_EQ(ruleFor(mask, Vec2(140, 120), &top), TopRule::kLevelSideBranch);
  EXPECT_NEAR(top.x, 100.0f, 8.0f);
}

}  // namespace
}  // namespace stemscan
