// The refined fit on plates whose stems grow and bend by known amounts, and on cry1.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "main/command_line.h"
#include "support/synthetic.h"
#include "tools/sample/evaluation.h"
#include "tools/sample/marked_plate.h"
#include "tools/sample/plate_renderer.h"

namespace stemscan {
namespace {

using testing::readFile;

double distanceToLine(const cv::Point2f& p, const std::vector<cv::Point2f>& line) {
  double best = 1e9;
  for (std::size_t k = 1; k < line.size(); ++k) {
    const cv::Point2f a = line[k - 1];
    const cv::Point2f d = line[k] - a;
    const float t = std::clamp((p - a).dot(d) / std::max(1e-6f, d.dot(d)), 0.0f, 1.0f);
    best = std::min(best, cv::norm(p - (a + d * t)));
  }
  return best;
}

// Runs the refined fit over 30 images of two stems that grow 3 px per image and bend, thresholded
// at `threshold`, and checks every top against the truth (within `topLimit`, `meanLimit` on
// average) and every other contour point against the true centreline (within 2 px).
void followGrowingBendingStems(bool cotyledons, double topLimit, double meanLimit,
                               float curvature = 0.008f, int threshold = 120) {
  testing::TempDir dir;
  sample::PlateSettings plate;
  plate.cols = 2;
  plate.width = 400;
  plate.height = 320;
  plate.curvature = curvature;
  plate.growth = 3.0f;
  plate.cotyledons = cotyledons;
  ASSERT_TRUE(sample::writePlate(plate, dir.path(), "plate", "png", dir.file("truth.csv")));
  testing::writeFile(dir.file("s.txt"), sample::selectionSession(plate, threshold, true));
  const auto result =
      testing::runSession(dir, {dir.file("plate00.png"), "1", "2", dir.file("out"), "--refine"},
                          readFile(dir.file("s.txt")));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(testing::contains(result.out, "refined fit\n"));

  const sample::PlateRenderer renderer(plate);
  const auto tips = sample::parseTable(readFile(dir.file("out_tip.txt")));
  ASSERT_EQ(tips.size(), 30u);
  double sum = 0.0;
  int count = 0;
  for (int t = 0; t < 30; ++t) {
    for (const sample::SeedlingTruth& truth : renderer.truth(t)) {
      const int s = truth.hypocotyl;
      const double off = std::hypot(tips[t][2 * s] - truth.topX, tips[t][2 * s + 1] - truth.topY);
      EXPECT_LT(off, topLimit) << "image " << t << ", hypocotyl " << s;
      sum += off;
      ++count;
    }
  }
  EXPECT_LT(sum / count, meanLimit);
  const std::vector<std::string> lines = testing::lines(readFile(dir.file("out_contours.csv")));
  for (std::size_t k = 1; k < lines.size(); ++k) {
    int t = 0, s = 0, point = 0;
    float x = 0, y = 0;
    ASSERT_EQ(std::sscanf(lines[k].c_str(), "%d,%d,%d,%f,%f", &t, &s, &point, &x, &y), 5);
    if (point == 0) continue;
    EXPECT_LT(distanceToLine({x, y}, renderer.centrelineAt(s, t)), 2.0) << lines[k];
  }
}

// The refined fit's accuracy on `plate` (written into `dir`), selected at `threshold`; its
// tables are named `name`.
sample::Accuracy refinedAccuracy(const testing::TempDir& dir, const sample::PlateSettings& plate,
                                 int threshold, const std::string& name) {
  const std::string out = dir.file(name);
  const auto result = testing::runSession(dir,
                                          {dir.file("plate00.png"), std::to_string(plate.rows),
                                           std::to_string(plate.cols), out, "--refine"},
                                          sample::selectionSession(plate, threshold, true));
  EXPECT_EQ(result.status, 0) << result.err;
  return sample::evaluate(plate, readFile(out + "_len.txt"), readFile(out + "_tip.txt"));
}

TEST(RefinedFit, FollowsAGrowingBendingStemOverThirtyImages) {
  // A bare stem: its top is where the stroke ends, to a fraction of a pixel on average.
  followGrowingBendingStems(false, 3.0, 0.6);
}

TEST(RefinedFit, KeepsTheTopOfAGrowingBendingStemAtItsCotyledons) {
  // The top stays where the stem starts to widen into its cotyledons, a pixel or two below the
  // drawn stem's end, which lies under them.
  followGrowingBendingStems(true, 5.0, 3.0);
}

TEST(RefinedFit, KeepsTheTopOfAStraightStemOnItsLineWhereItTurnsIntoACotyledon) {
  // Where the cotyledons are no thicker than the stem, the path runs on level into one of them;
  // the top stays on the stem's line instead of at the leaf's base beside it.
  followGrowingBendingStems(true, 4.5, 2.3, 0.0f);
}

TEST(RefinedFit, KeepsTheTopAtTheStemWhereALowThresholdThinsTheCotyledons) {
  // Well below the plate's midway grey the cotyledons come out hardly wider than the stem, and
  // the path runs on up one held at an angle; the top stays where it turned off the stem.
  followGrowingBendingStems(true, 5.0, 3.0, 0.008f, 75);
}

TEST(RefinedFit, MeasuresSpeckledStemsOfANoisyPlateThresholdedLow) {
  // Noise of 15 grey levels at threshold 75: a tenth of the stems' pixels, and a quarter of the
  // lighter cotyledons', come out light; at 64 a fifth of the stems'. The specks are cleaned out
  // of the mask before the tube is measured, also on the first image's short contours, and a
  // stem's depths varying by a pixel do not pass for a junction (at 75 the lengths were 10 %
  // off on average before, up to 55 %; at 64, 11 % and 68 %; the default mode's 2 %).
  testing::TempDir dir;
  sample::PlateSettings plate;
  plate.noise = 15.0f;
  ASSERT_TRUE(sample::writePlate(plate, dir.path(), "plate", "png", dir.file("truth.csv")));
  for (int threshold : {75, 64}) {
    SCOPED_TRACE(threshold);
    const sample::Accuracy accuracy =
        refinedAccuracy(dir, plate, threshold, "out" + std::to_string(threshold));
    EXPECT_EQ(accuracy.missing, 0);
    EXPECT_LT(accuracy.meanLengthErrorPercent, 5.0);
    EXPECT_LT(accuracy.worstLengthErrorPercent, 25.0);
  }
}

TEST(RefinedFit, StopsAtTheCotyledonsWhereTheyGrowIntoARootOfTheRowAbove) {
  // Two rows close together: the lower row's cotyledons grow into the roots hanging down from
  // the row above. A path up a stem would run on through such a root into the seedling above
  // (one of them measured twice its length by the last image).
  testing::TempDir dir;
  sample::PlateSettings plate;
  plate.rows = 2;
  plate.cols = 4;
  plate.width = 640;
  plate.height = 360;
  plate.growth = 3.5f;
  ASSERT_TRUE(sample::writePlate(plate, dir.path(), "plate", "png", dir.file("truth.csv")));
  const sample::Accuracy accuracy = refinedAccuracy(dir, plate, 120, "out");
  EXPECT_EQ(accuracy.missing, 0);
  EXPECT_LT(accuracy.worstLengthErrorPercent, 10.0);
  EXPECT_LT(accuracy.lostShare, 0.02);
}

TEST(RefinedFit, HoldsATrackedBaseWhereTheStemNarrowsIntoItsRootAsThePlateTurns) {
  // The base trackers slide up along uniform stems; the narrowing into the root stays put.
  testing::TempDir dir;
  sample::PlateSettings plate;
  plate.cols = 3;
  plate.width = 600;
  plate.height = 400;
  plate.rotation = 0.15f;
  ASSERT_TRUE(sample::writePlate(plate, dir.path(), "plate", "png", dir.file("truth.csv")));
  const auto result = testing::runSession(
      dir, {dir.file("plate00.png"), "1", "3", dir.file("out"), "--refine", "--base"},
      sample::selectionSession(plate, 120, true));
  ASSERT_EQ(result.status, 0) << result.err;

  const sample::PlateRenderer renderer(plate);
  std::vector<std::vector<cv::Point2f>> bases(30, std::vector<cv::Point2f>(3));
  const std::vector<std::string> lines = testing::lines(readFile(dir.file("out_contours.csv")));
  for (std::size_t k = 1; k < lines.size(); ++k) {
    int t = 0, s = 0, point = 0;
    float x = 0, y = 0;
    ASSERT_EQ(std::sscanf(lines[k].c_str(), "%d,%d,%d,%f,%f", &t, &s, &point, &x, &y), 5);
    bases.at(static_cast<std::size_t>(t)).at(static_cast<std::size_t>(s)) = {x, y};  // the last
  }
  double sum = 0.0;
  for (int t = 0; t < 30; ++t) {
    for (const sample::SeedlingTruth& truth : renderer.truth(t)) {
      const cv::Point2f base = bases[static_cast<std::size_t>(t)][truth.hypocotyl];
      const double off = std::hypot(base.x - truth.baseX, base.y - truth.baseY);
      EXPECT_LT(off, 3.0) << "image " << t << ", hypocotyl " << truth.hypocotyl;
      sum += off;
    }
  }
  EXPECT_LT(sum / 90.0, 1.0);
}

// Runs the refined fit on cry1 (every `step`-th photograph) with every top selected on its hook
// and one threshold; the tracked tops against the apexes marked by eye on those photographs.
struct Cry1Run {
  sample::TopAgreement tops;
  sample::StemShare stem;
  std::vector<std::vector<double>> lengths;  // by image, then seedling
};

Cry1Run refineCry1(const std::string& data, int threshold, int step = 1) {
  testing::TempDir dir;
  sample::linkEvery(data, dir.path(), step, 72);
  const std::string session = sample::withThreshold(
      readFile(std::string(STEMSCAN_SOURCE_DIR) + "/examples/cry1_session.txt"), threshold);
  const auto result =
      testing::runSession(dir, {dir.file("1.TIF"), "1", "5", dir.file("out"), "--refine"}, session);
  EXPECT_EQ(result.status, 0) << result.err;
  const auto marks = sample::marksEvery(sample::readMarkedTops(data + "/tops.csv"), step);
  return {sample::compareTops(marks, readFile(dir.file("out_tip.txt"))),
          sample::pointsOnStem(dir.path(), readFile(dir.file("out_contours.csv")), threshold, 2),
          sample::parseTable(readFile(dir.file("out_len.txt")))};
}

TEST(RefinedFit, MeetsTheHookApexesMarkedByEyeOnCry1) {
  const std::string data = std::string(STEMSCAN_DATA_DIR) + "/cry1";
  if (!testing::fileExists(data + "/tops.csv")) GTEST_SKIP() << "no cry1 photographs at " << data;
  const Cry1Run run = refineCry1(data, 70);
  EXPECT_EQ(run.tops.marks, 65);
  // The manual's promise: nine marks in ten within 15 px, 8 px off on average.
  EXPECT_GE(run.tops.within15, 0.90);
  EXPECT_LE(run.tops.mean, 8.0);
  EXPECT_LT(run.tops.worst, 40.0);
  EXPECT_GE(run.stem.worstImage, 0.95);
  // Seedlings 1 and 3 close their hooks with the cotyledons touching the stem until frames 20
  // and 25: the contour runs up the stem, not up the thicker, darker cotyledons, so the lengths
  // do not fall by 20 px and more when the gap opens (before: 23 and 25 px). Seedling 0's gap
  // closes to a speck at frames 13 to 18, its hook and cotyledons one blob: the top stays at the
  // hook's apex, not in the middle of the blob (before, the length fell 15 and 24 px).
  ASSERT_EQ(run.lengths.size(), 72u);
  for (std::size_t t = 1; t <= 30; ++t) {
    for (std::size_t s : {0u, 1u, 3u}) {
      EXPECT_GT(run.lengths[t][s], run.lengths[t - 1][s] - 10.0) << "image " << t << ", " << s;
    }
  }

  // A higher threshold fills the gap between each closed hook and its cotyledons: the tops stay
  // on the hooks all the same (before, they fell 100 px and more down the stems, to where the
  // dark blob begins, and stayed there; then they stayed in the middle of the blob, 9.9 px off
  // on average and 78 % within 15 px).
  const Cry1Run high = refineCry1(data, 90);
  EXPECT_GE(high.tops.within15, 0.80);
  EXPECT_LE(high.tops.mean, 10.0);

  // A low threshold thins the stems more than the cotyledons: the wide stretch of cotyledons
  // is longer than two stem widths, and still no hook lying against them (before: 28.5 px).
  EXPECT_LE(refineCry1(data, 50).tops.mean, 18.0);

  // Every third photograph: the stems grow three times as far between images, further than the
  // top tracker follows; where it leaves a top off the stem, the fit finds the stem again
  // (before, it gave up for good and the top drifted over the background), and where it carries
  // a top far down the stem, the top is looked for where it was (before: 9.5 px on average).
  const Cry1Run sparse = refineCry1(data, 70, 3);
  EXPECT_EQ(sparse.tops.marks, 60);
  EXPECT_GE(sparse.tops.within15, 0.88);
  EXPECT_LE(sparse.tops.mean, 9.0);
}

}  // namespace
}  // namespace stemscan
