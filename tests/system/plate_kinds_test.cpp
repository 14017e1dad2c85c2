// The refined fit on plates of other kinds. Whole seedlings: the hypocotyl's lower end found at
// its collar, where the root begins, and followed as the seedling slides down the picture; a
// stem that runs off the picture ends at the edge, and says so. Light-grown seedlings: thin
// bright stems on a dark gridded plate, their tops where the petioles fork, rising 30 px from
// one image to the next. Uneven light: a plate lit from one side, then the other.
#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgcodecs.hpp>

#include "support/headless_run.h"
#include "support/synthetic.h"
#include "tools/sample/evaluation.h"
#include "tools/sample/plate_renderer.h"

namespace stemscan {
namespace {

using testing::readFile;

// Runs the refined fit on `plate`, selected at the true tops (and, with `rowBottoms`, the row's
// bottom put on the true bases), with `option` where given; returns the long table's lines.
std::vector<std::map<std::string, std::string>> refinedRows(const testing::TempDir& dir,
                                                            const sample::PlateSettings& plate,
                                                            bool rowBottoms,
                                                            const std::string& option = "") {
  EXPECT_TRUE(sample::writePlate(plate, dir.path(), "plate", "png", dir.file("truth.csv")));
  std::vector<std::string> args = {dir.file("plate00.png"), "1", std::to_string(plate.cols),
                                   dir.file("out"), "--refine"};
  if (!option.empty()) args.push_back(option);
  const auto result =
      testing::runSession(dir, args, sample::selectionSession(plate, 120, rowBottoms));
  EXPECT_EQ(result.status, 0) << result.err;
  return testing::readCsv(dir.file("out.csv"));
}

// Two dark-grown seedlings, each with a dark root and root hairs below its collar, growing
// 5 px per image while they slide 5 px per image down the picture; selected at their tops,
// their bases left to the fit.
TEST(WholeSeedlings, TheCollarIsFoundAndFollowedAsTheSeedlingsSlideDownThePicture) {
  testing::TempDir dir;
  const sample::PlateSettings plate = sample::slidingWholeSeedlings(2);
  const auto rows = refinedRows(dir, plate, false);
  ASSERT_EQ(rows.size(), 2u * 21u);
  const sample::PlateRenderer renderer(plate);
  double sum = 0.0;
  for (const auto& row : rows) {
    const int t = std::stoi(row.at("image"));
    const int s = std::stoi(row.at("hypocotyl"));
    const sample::SeedlingTruth truth = renderer.truth(t)[static_cast<std::size_t>(s)];
    const std::string where = "image " + row.at("image") + ", hypocotyl " + row.at("hypocotyl");
    EXPECT_EQ(row.at("base"), "collar") << where;
    EXPECT_LT(std::hypot(std::stod(row.at("base_x")) - truth.baseX,
                         std::stod(row.at("base_y")) - truth.baseY),
              3.0)
        << where;
    const double error = std::abs(std::stod(row.at("length_px")) - truth.length) / truth.length;
    // The worst of these is the top's, a few pixels into the cotyledons.
    EXPECT_LT(error, 0.025) << where;
    sum += error;
  }
  EXPECT_LT(sum / static_cast<double>(rows.size()), 0.01);
}

TEST(WholeSeedlings, AStemRunningOffThePictureEndsAtTheEdgeAndNoCollarIsClaimed) {
  testing::TempDir dir;
  sample::PlateSettings plate = sample::slidingWholeSeedlings(2);
  plate.images = 4;
  plate.slide = 0.0f;
  plate.baseAt = 1.05f;  // the collars lie below the picture
  const auto rows = refinedRows(dir, plate, false);
  ASSERT_EQ(rows.size(), 2u * 4u);
  for (const auto& row : rows) {
    EXPECT_EQ(row.at("base"), "image_edge") << row.at("image") << " " << row.at("hypocotyl");
  }
  // The figure names what was measured: the visible stems, not whole hypocotyls.
  ASSERT_EQ(
      std::system(("pdftotext " + dir.file("out_growth.pdf") + " " + dir.file("w.txt")).c_str()),
      0);
  EXPECT_TRUE(testing::contains(readFile(dir.file("w.txt")), "visible stem length (px)"));
}

// Four light-grown seedlings between the lines of a printed grid, as bright as the lines, their
// cotyledons open on petioles; the tops rise 30 px per image, across the grid's lines.
TEST(LightGrownSeedlings, TopsStayAtTheForkAcrossGridLinesAndLargeSteps) {
  testing::TempDir dir;
  const sample::PlateSettings plate = sample::lightGrownOnGrid(4);
  const auto rows = refinedRows(dir, plate, true, "--bright");
  ASSERT_EQ(rows.size(), 4u * 8u);
  const sample::PlateRenderer renderer(plate);
  for (const auto& row : rows) {
    const sample::SeedlingTruth truth =
        renderer.truth(std::stoi(row.at("image")))[std::stoul(row.at("hypocotyl"))];
    const double off = std::hypot(std::stod(row.at("top_x")) - truth.topX,
                                  std::stod(row.at("top_y")) - truth.topY);
    EXPECT_LE(off, 5.0) << row.at("image") << " " << row.at("hypocotyl");
  }
}

// The light falls off across the plate to 45 % at one side, the left on even images and the
// right on odd ones: no one grey level parts stems from plate everywhere. With the background
// evened, one threshold (halfway between the stems, about a fifth of the plate's grey, and the
// plate) holds them all.
TEST(UnevenLight, AnEvenedBackgroundKeepsEveryStemUnderLightFromEitherSide) {
  testing::TempDir dir;
  sample::PlateSettings plate;
  plate.images = 6;
  ASSERT_TRUE(sample::writePlate(plate, dir.path(), "plate", "png", dir.file("truth.csv")));
  for (int t = 0; t < plate.images; ++t) {
    const std::string path = dir.file("plate0" + std::to_string(t) + ".png");
    cv::Mat image = cv::imread(path);
    for (int x = 0; x < image.cols; ++x) {
      const double across = static_cast<double>(x) / (image.cols - 1);
      const double light = 1.0 - 0.55 * (t % 2 == 0 ? 1.0 - across : across);
      image.col(x) *= light;
    }
    ASSERT_TRUE(cv::imwrite(path, image));
  }
  const auto result = testing::runSession(
      dir, {dir.file("plate00.png"), "1", "6", dir.file("out"), "--even-background"},
      sample::selectionSession(plate, 150, true));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(testing::contains(result.out, "uneven light"));
  const sample::Accuracy a =
      sample::evaluate(plate, readFile(dir.file("out_len.txt")), readFile(dir.file("out_tip.txt")));
  EXPECT_EQ(a.missing, 0);
  EXPECT_LT(a.meanLengthErrorPercent, 3.0);
  EXPECT_EQ(a.lostShare, 0.0);
}

}  // namespace
}  // namespace stemscan
