// Whole seedlings in the refined fit: the hypocotyl's lower end found at its collar, where the
// root begins, and followed as the seedling slides down the picture; a stem that runs off the
// picture ends at the edge, and says so.
#include <gtest/gtest.h>

#include <cmath>

#include "support/headless_run.h"
#include "support/synthetic.h"
#include "tools/sample/evaluation.h"
#include "tools/sample/plate_renderer.h"

namespace stemscan {
namespace {

using testing::readFile;

// Two dark-grown seedlings, each with a dark root and root hairs below its collar, growing
// 5 px per image while they slide 5 px per image down the picture; selected at their tops,
// their bases left to the fit.
sample::PlateSettings slidingSeedlings() {
  sample::PlateSettings plate;
  plate.cols = 2;
  plate.width = 360;
  plate.height = 600;
  plate.images = 21;
  plate.startLength = 150.0f;
  plate.growth = 5.0f;
  plate.slide = 5.0f;
  plate.baseAt = 0.55f;
  plate.rootLength = 160.0f;
  plate.darkRoot = true;
  plate.rootHairs = true;
  plate.curvature = 0.0015f;
  return plate;
}

// Runs the refined fit on `plate` and returns the long table's lines.
std::vector<std::map<std::string, std::string>> refinedRows(const testing::TempDir& dir,
                                                            const sample::PlateSettings& plate) {
  EXPECT_TRUE(sample::writePlate(plate, dir.path(), "plate", "png", dir.file("truth.csv")));
  const auto result = testing::runSession(
      dir, {dir.file("plate00.png"), "1", std::to_string(plate.cols), dir.file("out"), "--refine"},
      sample::selectionSession(plate, 120, false));
  EXPECT_EQ(result.status, 0) << result.err;
  return testing::readCsv(dir.file("out.csv"));
}

TEST(WholeSeedlings, TheCollarIsFoundAndFollowedAsTheSeedlingsSlideDownThePicture) {
  testing::TempDir dir;
  const sample::PlateSettings plate = slidingSeedlings();
  const auto rows = refinedRows(dir, plate);
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
  sample::PlateSettings plate = slidingSeedlings();
  plate.images = 4;
  plate.slide = 0.0f;
  plate.baseAt = 1.05f;  // the collars lie below the picture
  const auto rows = refinedRows(dir, plate);
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

}  // namespace
}  // namespace stemscan
