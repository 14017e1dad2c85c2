// The refined fit on masks at the edges of what it meets (a wide speckled stem, whose coarse
// search reads past the fit's box, and a threshold that turns everything dark), and on settings
// it cannot use.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "refine/stem_refiner.h"
#include "util/frame_pool.h"

namespace stemscan {
namespace {

// A light mask (1200 x 1000, over a megabyte) with a vertical stem 70 px wide centred on
// x = 603, from y = 263 to 900, speckled with single light pixels. Its flat top lies on the
// upper edge of the fit's box for a contour from y = 303 down.
cv::Mat wideSpeckledStem() {
  cv::Mat mask(1000, 1200, CV_8UC1, cv::Scalar(255));
  cv::rectangle(mask, cv::Point(568, 263), cv::Point(638, 900), cv::Scalar(0), cv::FILLED);
  for (int y = 270; y < 890; y += 7) {
    for (int x = 575; x < 632; x += 9) mask.at<uchar>(y, x + (y / 7) % 5) = 255;
  }
  return mask;
}

Snake downTheStem() {
  Snake s;
  for (int k = 0; k <= 10; ++k) s.append(Vec2(603.0f, 303.0f + 56.0f * static_cast<float>(k)));
  return s;
}

TEST(RefinedFitOnAnyMask, AWideSpeckledStemGivesOneContourWhateverMemoryHeldBefore) {
  const cv::Mat mask = wideSpeckledStem();
  // Frame-sized buffers come back from the pool as they were left: the fit must never read a
  // pixel of its cleaned mask that it did not write.
  FramePool pool;
  cv::MatAllocator* const before = cv::Mat::getDefaultAllocator();
  cv::Mat::setDefaultAllocator(&pool);
  auto fitAfterLeaving = [&](uchar leftover) {
    { cv::Mat(mask.size(), CV_8UC1, cv::Scalar(leftover)); }
    Snake s = downTheStem();
    const bool fitted = refineOnStem(s, mask, cv::Mat(), BaseKind::kSet);
    return fitted ? std::vector<Vec2>(s.points.begin(), s.points.begin() + s.pointCount())
                  : std::vector<Vec2>();
  };
  const std::vector<Vec2> afterDark = fitAfterLeaving(0);
  const std::vector<Vec2> afterLight = fitAfterLeaving(255);
  cv::Mat::setDefaultAllocator(before);
  ASSERT_FALSE(afterDark.empty());
  ASSERT_EQ(afterDark.size(), afterLight.size());
  for (std::size_t k = 0; k < afterDark.size(); ++k) {
    EXPECT_EQ(afterDark[k].x, afterLight[k].x) << k;
    EXPECT_EQ(afterDark[k].y, afterLight[k].y) << k;
  }
}

TEST(RefinedFitOnAnyMask, LeavesTheContourWhereEverythingIsDark) {
  // A threshold above every grey level: no stem stands out, and the fit, whose searches reach
  // as far as the stem is wide, does not search the whole image for one.
  const cv::Mat dark(1000, 1200, CV_8UC1, cv::Scalar(0));
  for (BaseKind base : {BaseKind::kFound, BaseKind::kSet, BaseKind::kTracked}) {
    Snake s = downTheStem();
    EXPECT_FALSE(refineOnStem(s, dark, cv::Mat(), base));
    EXPECT_EQ(s.pointCount(), 11);
    EXPECT_EQ(s.point(10).y, 863.0f);
  }
}

TEST(RefineSettings, TheDefaultsPassTheirCheckAndNonsenseDoesNot) {
  EXPECT_EQ(RefineSettings().Check(), "");
  RefineSettings noSpacing;
  noSpacing.pointSpacing = 0.0f;
  EXPECT_NE(noSpacing.Check(), "");
  RefineSettings noWidening;
  noWidening.widening = 1.0f;
  EXPECT_NE(noWidening.Check(), "");
  // The fit refuses settings it cannot use and leaves the contour to the plain fit.
  Snake s = downTheStem();
  EXPECT_FALSE(refineOnStem(s, wideSpeckledStem(), cv::Mat(), BaseKind::kSet, noSpacing));
}

}  // namespace
}  // namespace stemscan
