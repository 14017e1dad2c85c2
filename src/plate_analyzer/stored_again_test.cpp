// Images stored again after the user stepped back: their lines on disk follow at once, the
// `corrected` column says what the stored contour holds, and the long table follows the
// orientation slider like the orientation table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "experiment/csv.h"
#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::HeadlessRun;
using testing::mouseLine;
using testing::PlateSpec;
using testing::selectAllAndCalibrate;
using testing::spaceKeys;

PlateSpec onePlant() {
  PlateSpec plate;
  plate.cols = 1;
  return plate;
}

// The `corrected` field of <out>.csv for hypocotyl 0 at each image.
std::vector<std::string> correctedColumn(const HeadlessRun& run) {
  std::vector<std::string> column;
  std::vector<std::string> fields;
  const std::vector<std::string> lines = testing::lines(run.table(".csv"));
  for (std::size_t k = 1; k < lines.size(); ++k) {
    splitCsvLine(lines[k], &fields);
    column.push_back(fields[16]);  // corrected
  }
  return column;
}

TEST(StoredAgain, AnImageCorrectedAfterStepsBackIsOnDiskBeforeTheNextIsShown) {
  HeadlessRun run(onePlant(), 5);
  const cv::Point top = testing::topOf(run.plate, 0, 0, 2) + cv::Point(0, 9);
  // Images 0 to 2 stored, back to image 2, its top moved, space: image 2 is stored again and
  // image 3 tracked anew from it.
  std::string shownAfter;
  bool corrected = false;
  run.onWait = [&](int) {
    const std::string title = run.windows().window("StemScan").title;
    if (contains(title, "stored image 3 of 5")) corrected = true;
    if (corrected && shownAfter.empty() && contains(title, " - image 4 of 5")) {
      shownAfter = run.table("_tip.txt");
    }
  };
  ASSERT_EQ(run.run(selectAllAndCalibrate(run.plate) + spaceKeys(3) + "key b\n" +
                    mouseLine("ldown", top, " shift") + "key space\n" + spaceKeys(2)),
            0);
  const std::vector<std::string> lines = testing::lines(shownAfter);
  ASSERT_EQ(lines.size(), 3u) << shownAfter;
  EXPECT_EQ(lines[2], std::to_string(top.x) + " " + std::to_string(top.y) + " ");
}

TEST(CorrectedColumn, HoldsExactlyForTheStoredContoursThatHoldACorrection) {
  HeadlessRun run(onePlant(), 5);
  const cv::Point top = testing::topOf(run.plate, 0, 0, 1) + cv::Point(0, 4);
  // Image 1 corrected, then walked past (b, n) before it is stored: the correction stays.
  // Image 2 corrected and stored, then tracked again from image 1 without a correction: it no
  // longer holds one.
  const std::string script = selectAllAndCalibrate(run.plate) + spaceKeys(1) +
                             mouseLine("ldown", top, " shift") + "key b\nkey n\nkey space\n" +
                             mouseLine("ldown", top, " shift") + "key space\n" +
                             "key b\nkey b\nkey space\n" + spaceKeys(3);
  ASSERT_EQ(run.run(script), 0);
  // Image 0 holds the hypocotyl's creation.
  EXPECT_EQ(correctedColumn(run), (std::vector<std::string>{"1", "1", "0", "0", "0"}));
}

TEST(OrientationSlider, ReachesTheLongTableWithTheOrientationTable) {
  HeadlessRun run(onePlant(), 4);
  // After the slider moved and the next image was stored, both files say the same.
  std::vector<std::pair<std::string, std::string>> snapshots;
  run.onWait = [&](int) { snapshots.emplace_back(run.table("_or.txt"), run.table(".csv")); };
  ASSERT_EQ(run.run(selectAllAndCalibrate(run.plate) + spaceKeys(2) +
                    "key l\nslider StemScan orientation_parameter 60\n" + spaceKeys(2)),
            0);
  ASSERT_FALSE(snapshots.empty());
  const auto& [orientations, table] = snapshots[snapshots.size() - 2];
  const std::vector<std::string> lines = testing::lines(orientations);
  std::vector<std::string> fields;
  const std::vector<std::string> rows = testing::lines(table);
  ASSERT_EQ(rows.size(), lines.size() + 1);
  for (std::size_t t = 0; t < lines.size(); ++t) {
    splitCsvLine(rows[t + 1], &fields);
    EXPECT_NEAR(std::stod(fields[10]), std::stod(lines[t]), 1e-3) << "image " << t;
  }
}

}  // namespace
}  // namespace stemscan
