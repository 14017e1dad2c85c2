// A closed hook whose cotyledons hang down against the stem and touch it: the thresholded stem
// and cotyledons form a loop, and the refined fit must go up the stem, not the cotyledons.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "refine/stem_refiner.h"
#include "support/synthetic.h"

namespace stemscan {
namespace {

// The distance from p to the stem drawn below: straight up x = 100 from y = 290 to 120, then an
// arch of radius 20 over to x = 140.
float offStem(const Vec2& p) {
  if (p.y >= 120.0f) return std::abs(p.x - 100.0f);
  return std::abs(norm(p - Vec2(120.0f, 120.0f)) - 20.0f);
}

struct Hook {
  cv::Mat grey;
  cv::Mat mask;
};

// The stem (grey `stem`, 12 px thick) rising to a hook; the cotyledons (grey `cotyledons`, 16 px
// thick, so cheaper to a path that keeps to the middle of the dark) hang from the hook's far
// end down against the stem and touch it 100 px above its base.
Hook closedHook(int stem, int cotyledons) {
  cv::Mat grey(300, 220, CV_8UC1, cv::Scalar(200));
  cv::line(grey, {100, 290}, {100, 120}, stem, 12);
  cv::ellipse(grey, {120, 120}, {20, 20}, 0, 180, 360, stem, 12);
  cv::line(grey, {140, 118}, {114, 185}, cotyledons, 16);
  Hook hook{grey, cv::Mat()};
  cv::threshold(grey, hook.mask, 128, 255, cv::THRESH_BINARY);
  return hook;
}

Snake hangingFromApex() {
  Snake s;
  for (int k = 0; k <= 10; ++k) s.append(Vec2(110.0f - k, 100.0f + 19.0f * k));
  return s;
}

TEST(ClosedHookLoop, TheContourRunsUpTheLighterStemNotTheCotyledons) {
  const Hook hook = closedHook(90, 40);
  Snake s = hangingFromApex();
  ASSERT_TRUE(refineOnStem(s, hook.mask, hook.grey, BaseKind::kSet));
  for (int i = 0; i < s.pointCount(); ++i) {
    EXPECT_LT(offStem(s.point(i)), 3.0f) << "point " << i << " at " << s.point(i);
  }
  // Without the grey image the path keeps to the thicker cotyledons: the loop is real.
  Snake blind = hangingFromApex();
  ASSERT_TRUE(refineOnStem(blind, hook.mask, cv::Mat(), BaseKind::kSet));
  float worst = 0.0f;
  for (int i = 0; i < blind.pointCount(); ++i) worst = std::max(worst, offStem(blind.point(i)));
  EXPECT_GT(worst, 8.0f);
}

TEST(ClosedHookLoop, AStemDarkerThanItsCotyledonsKeepsTheCheapestWay) {
  // Nothing tells a darker stem from its cotyledons: the fit stays as it was without the grey.
  const Hook hook = closedHook(40, 90);
  Snake withGrey = hangingFromApex();
  Snake blind = hangingFromApex();
  ASSERT_TRUE(refineOnStem(withGrey, hook.mask, hook.grey, BaseKind::kSet));
  ASSERT_TRUE(refineOnStem(blind, hook.mask, cv::Mat(), BaseKind::kSet));
  ASSERT_EQ(withGrey.pointCount(), blind.pointCount());
  for (int i = 0; i < blind.pointCount(); ++i) EXPECT_EQ(withGrey.point(i), blind.point(i));
}

TEST(ClosedHookBlob, TheTopIsAStemRadiusBelowTheBlobsUpperEdge) {
  // At a high threshold a closed hook and the cotyledons pressed against it show as one dark
  // blob, wider than the stem (36 px thick): its upper edge is the hook's, at y = 80, and the
  // hook's apex lies a stem radius below it. The middle of the blob, where a path up through it
  // ends, lies 34 px below the edge.
  cv::Mat mask(260, 260, CV_8UC1, cv::Scalar(255));
  cv::line(mask, {130, 250}, {130, 140}, cv::Scalar(0), 36);
  cv::ellipse(mask, {132, 114}, {34, 34}, 0, 0, 360, cv::Scalar(0), cv::FILLED);
  Snake s;
  for (int k = 0; k <= 10; ++k) s.append(Vec2(130.0f, 98.0f + 15.0f * k));
  ASSERT_TRUE(refineOnStem(s, mask, mask, BaseKind::kSet));
  EXPECT_NEAR(s.point(0).y, 98.0f, 3.0f) << s.point(0);
  EXPECT_NEAR(s.point(0).x, 132.0f, 3.0f) << s.point(0);
}

}  // namespace
}  // namespace stemscan
