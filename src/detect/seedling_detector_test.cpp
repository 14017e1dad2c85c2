// Seedlings found on rendered plates of many kinds, each against the plate's truth.
#include "detect/seedling_detector.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "tools/sample/plate_renderer.h"

namespace stemscan {
namespace {

using sample::PlateRenderer;
using sample::PlateSettings;
using sample::SeedlingTruth;

cv::Mat greyOf(const cv::Mat& bgr) {
  cv::Mat grey;
  cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
  return grey;
}

// Every true top has a seedling found within `tolerance` pixels, and nothing else is found.
void expectFoundExactly(const Detection& found, const std::vector<SeedlingTruth>& truth,
                        float tolerance, const std::string& what) {
  ASSERT_EQ(found.seedlings.size(), truth.size()) << what;
  for (const SeedlingTruth& t : truth) {
    float nearest = 1e9f;
    for (const Seedling& s : found.seedlings) {
      nearest = std::min(nearest, norm(s.top - Vec2(t.topX, t.topY)));
    }
    EXPECT_LE(nearest, tolerance) << what << ": seedling " << t.hypocotyl << " at " << t.topX
                                  << ", " << t.topY;
  }
}

TEST(SeedlingDetection, FindsEverySeedlingOfPlatesOfManyKinds) {
  struct Condition {
    const char* name;
    PlateSettings plate;
    int image = 0;
  };
  std::vector<Condition> conditions;
  conditions.push_back({"1 x 6", PlateSettings()});
  PlateSettings grid4;
  grid4.rows = 4;
  grid4.cols = 12;
  grid4.width = 1920;
  grid4.height = 1200;
  conditions.push_back({"4 x 12", grid4});
  PlateSettings grid8 = grid4;
  grid8.rows = 8;
  grid8.height = 2000;
  conditions.push_back({"8 x 12", grid8});
  PlateSettings curved;
  curved.curvature = 0.012f;
  conditions.push_back({"curved", curved, 20});
  PlateSettings noisy;
  noisy.noise = 12.0f;
  conditions.push_back({"noisy", noisy});
  PlateSettings drifting;
  drifting.driftX = 3.0f;
  drifting.driftY = 2.0f;
  drifting.rotation = 0.1f;
  conditions.push_back({"drifting", drifting, 15});
  PlateSettings bare;
  bare.cotyledons = false;
  conditions.push_back({"bare stems", bare});
  for (const Condition& c : conditions) {
    const PlateRenderer renderer(c.plate);
    std::vector<SeedlingTruth> truth;
    const cv::Mat image = renderer.render(c.image, &truth);
    const Detection found = detectSeedlings(greyOf(image), c.plate.rows * c.plate.cols);
    expectFoundExactly(found, truth, 5.0f, c.name);
    EXPECT_FALSE(found.looksBright) << c.name;
    // Row by row, left to right: the renderer's own order.
    for (std::size_t k = 0; k < found.seedlings.size() && k < truth.size(); ++k) {
      EXPECT_LE(norm(found.seedlings[k].top - Vec2(truth[k].topX, truth[k].topY)), 5.0f)
          << c.name << ": seedling " << k << " out of order";
    }
  }
}

TEST(SeedlingDetection, DustARulerAndEmptyCellsAreNotSeedlings) {
  const PlateRenderer renderer{PlateSettings()};
  std::vector<SeedlingTruth> truth;
  cv::Mat image = renderer.render(0, &truth);
  // Cells 1 and 4 emptied, dust specks and a hair, and a ruler with ticks along the top.
  const cv::Scalar agar = cv::mean(image(cv::Rect(0, 0, 960, 200)));
  for (int cell : {1, 4}) image(cv::Rect(cell * 160 + 5, 250, 150, 230)).setTo(agar);
  truth.erase(truth.begin() + 4);
  truth.erase(truth.begin() + 1);
  for (int k = 0; k < 12; ++k) {
    cv::circle(image, {60 + 75 * k, 60 + (k * 37) % 150}, 3 + k % 3, cv::Scalar(70, 75, 80),
               cv::FILLED);
  }
  cv::line(image, {200, 120}, {235, 128}, cv::Scalar(60, 60, 60), 1);
  cv::rectangle(image, {100, 10}, {860, 25}, cv::Scalar(40, 40, 40), cv::FILLED);
  for (int x = 100; x <= 860; x += 20) {
    cv::line(image, {x, 25}, {x, 40}, cv::Scalar(40, 40, 40), 2);
  }
  const Detection found = detectSeedlings(greyOf(image), 6);
  expectFoundExactly(found, truth, 5.0f, "dust and a ruler");
}

TEST(SeedlingDetection, MoreCandidatesThanEntriesKeepsTheStrongest) {
  const PlateRenderer renderer{PlateSettings()};
  std::vector<SeedlingTruth> truth;
  cv::Mat image = renderer.render(0, &truth);
  // A second, fainter seedling stands in cell 2 beside its neighbour.
  cv::Mat faint = image(cv::Rect(380, 300, 60, 180)).clone();
  cv::addWeighted(faint, 0.5, cv::Mat(faint.size(), faint.type(), cv::mean(faint)), 0.5, 0, faint);
  faint.copyTo(image(cv::Rect(440, 300, 60, 180)));
  const Detection found = detectSeedlings(greyOf(image), 6);
  expectFoundExactly(found, truth, 5.0f, "a faint seventh seedling");
  ASSERT_EQ(found.leftOut.size(), 1u);
  EXPECT_NEAR(found.leftOut[0].top.x, truth[2].topX + 60.0f, 6.0f);
}

TEST(SeedlingDetection, TheThresholdSplitsStemsFromTheirBackground) {
  const PlateRenderer renderer{PlateSettings()};
  const cv::Mat grey = greyOf(renderer.render(0));
  const Detection found = detectSeedlings(grey, 6);
  // The stems are drawn at grey 54, the agar at 185 to 205.
  EXPECT_GT(found.threshold, 70);
  EXPECT_LT(found.threshold, 175);
  // The negative of a plate looks bright; the detection there finds nothing it could trust.
  const Detection negative = detectSeedlings(255 - grey, 6);
  EXPECT_TRUE(negative.looksBright);
}

TEST(SeedlingDetection, SettingsThatCannotWorkAreNamed) {
  EXPECT_EQ(DetectSettings().Check(), "");
  DetectSettings bad;
  bad.lineShare = 0.0f;
  EXPECT_NE(bad.Check(), "");
}

}  // namespace
}  // namespace stemscan
