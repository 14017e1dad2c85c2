// Where the refined fit ends a hypocotyl nobody set the base of: at its collar where one shows.
#include "refine/stem_collar.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "refine/stem_refiner.h"

namespace stemscan {
namespace {

// A light-grown seedling as the negative of its photograph shows it, on a plate 300 px tall:
// a stem 6 px wide from its top (y 40) down to the collar (y 160), the bulge at the root's top
// with its dense root hairs (22 px wide, with hairs reaching out on both sides), then the root,
// 5 px wide, to the plate's lower edge; and a printed line, 6 px thick, across the stem at y 100.
cv::Mat lightGrownSeedling() {
  cv::Mat grey(300, 200, CV_8UC1, cv::Scalar(230));
  cv::line(grey, {100, 40}, {100, 160}, cv::Scalar(70), 6);
  cv::ellipse(grey, {100, 175}, {11, 15}, 0.0, 0.0, 360.0, cv::Scalar(60), cv::FILLED);
  for (int y = 165; y < 205; y += 4) {
    cv::line(grey, {100, y}, {86 - (y % 8), y + 6}, cv::Scalar(90), 2);
    cv::line(grey, {100, y}, {114 + (y % 8), y + 6}, cv::Scalar(90), 2);
  }
  cv::line(grey, {100, 190}, {100, 299}, cv::Scalar(70), 5);
  cv::rectangle(grey, {0, 97}, {199, 102}, cv::Scalar(70), cv::FILLED);
  return grey;
}

// The refined fit of a contour selected at the top (100, 40), its base left to the fit.
Snake refined(const cv::Mat& grey, RefineReport* report) {
  Snake s;
  for (int k = 0; k <= 10; ++k) s.append(Vec2(100.0f, 40.0f + 6.0f * static_cast<float>(k)));
  const cv::Mat mask = grey >= 128;
  EXPECT_TRUE(refineOnStem(s, mask, grey, BaseKind::kFound, RefineSettings(), report));
  return s;
}

TEST(CollarRules, ALightGrownStemEndsWhereItWidensIntoItsRootHairsNotAtACrossingLine) {
  RefineReport report;
  const Snake s = refined(lightGrownSeedling(), &report);
  EXPECT_TRUE(report.collar);
  EXPECT_NEAR(s.lastPoint().y, 160.0f, 5.0f);
  EXPECT_NEAR(s.lastPoint().x, 100.0f, 2.0f);
}

TEST(CollarRules, AThinStemRunningIntoAWiderOneToTheEdgeHasNoCollar) {
  // The thin arm of a closed hook, and below it the stem, twice as wide, off the picture.
  cv::Mat grey(300, 200, CV_8UC1, cv::Scalar(230));
  cv::line(grey, {100, 40}, {100, 160}, cv::Scalar(70), 6);
  cv::line(grey, {100, 160}, {100, 299}, cv::Scalar(70), 12);
  RefineReport report;
  const Snake s = refined(grey, &report);
  EXPECT_FALSE(report.collar);
  EXPECT_GT(s.lastPoint().y, 290.0f);
}

}  // namespace
}  // namespace stemscan
