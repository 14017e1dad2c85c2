// The track checks on whole runs: where they flag, what the outputs and the console say, and
// good tracks left unflagged on the sample plate, cry1 and the straight and curved plates.
#include <gtest/gtest.h>

#include <filesystem>

#include "main/command_line.h"
#include "support/headless_run.h"
#include "support/synthetic.h"
#include "tools/sample/evaluation.h"
#include "tools/sample/plate_renderer.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::mouseLine;
using testing::readFile;
using testing::runProgram;

// The long table's lines of hypocotyl s, each split at its commas.
std::vector<std::vector<std::string>> linesOf(const std::string& table, int s) {
  std::vector<std::vector<std::string>> found;
  for (const std::string& line : testing::lines(table)) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : line + ",") {
      if (c == ',') {
        fields.push_back(field);
        field.clear();
      } else {
        field += c;
      }
    }
    if (fields.size() > 3 && fields[3] == std::to_string(s)) found.push_back(fields);
  }
  return found;
}

TEST(TrackChecksInARun, TwoContoursOnOneStemAreSuspectUntilCorrected) {
  testing::PlateSpec plate;
  plate.cols = 2;
  plate.width = 240;
  testing::HeadlessRun run(plate, 4);
  const cv::Point top0 = testing::topOf(plate, 0, 0, 0);
  const cv::Point top1 = testing::topOf(plate, 0, 1, 2);
  // Both hypocotyls are created on seedling 0 (a creation counts as a correction of image 0);
  // at image 2 the user moves hypocotyl 1's top to seedling 1.
  const std::string script =
      mouseLine("rup", top0, " alt") + mouseLine("rup", {top0.x + 2, top0.y + 3}, " alt") +
      "key space\nslider thresholding threshold 110\nkey space\nkey space\nkey space\nkey space\n" +
      mouseLine("ldown", {top0.x + 2, top0.y + 3}, " shift") + mouseLine("lup", top1) +
      "key space\nkey space\n";
  ASSERT_EQ(run.run(script), 0) << run.err;
  const auto first = linesOf(run.table(".csv"), 0);
  const auto second = linesOf(run.table(".csv"), 1);
  ASSERT_EQ(first.size(), 4u);
  ASSERT_EQ(second.size(), 4u);
  EXPECT_EQ(second[0][7], "measured");
  for (const auto& line : {first[1], second[1]}) {
    EXPECT_EQ(line[7], "suspect");
    EXPECT_EQ(line[17], "merged");
  }
  EXPECT_EQ(second[2][16], "1");  // corrected: its flags cleared
  EXPECT_EQ(second[2][17], "");
  EXPECT_EQ(second[2][7], "measured");
  // One console line when a flag appears, not one per image; the summary counts them.
  EXPECT_TRUE(contains(run.out,
                       "flagged: image 1 (plate01.png), hypocotyl 1 (row 1, col 2): "
                       "merged\n"));
  EXPECT_FALSE(contains(run.out, "flagged: image 2 (plate02.png), hypocotyl 0")) << run.out;
  EXPECT_TRUE(contains(run.out, "hypocotyl 0 flagged: merged at 3 images\n"));
  // The bases are where the contours were seeded.
  EXPECT_EQ(second[3][18], "seeded");
  // The four tables are as they always were.
  EXPECT_EQ(testing::lines(run.table("_len.txt")).size(), 4u);
}

TEST(TrackChecksInARun, GoodTracksAreNotFlagged) {
  testing::TempDir dir;
  std::vector<std::vector<std::string>> runs;
  const std::string sample = std::string(STEMSCAN_BINARY_DIR) + "/images/sample";
  for (const char* mode : {"", "--refine"}) {
    std::vector<std::string> args = {sample + "/sample00.png", "1", "6",
                                     dir.file(std::string("sample") + mode),
                                     "--script=" + sample + "/demo_session.txt"};
    if (*mode) args.push_back(mode);
    runs.push_back(args);
  }
  for (const char* condition : {"straight", "curved"}) {
    sample::PlateSettings plate;
    plate.images = 12;
    plate.curvature = std::string(condition) == "straight" ? 0.0f : 0.008f;
    const std::string folder = dir.file(condition);
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(sample::writePlate(plate, folder, "plate", "png", folder + "/truth.csv"));
    testing::writeFile(folder + "/session.txt", sample::selectionSession(plate, 120, true));
    for (const char* mode : {"", "--refine"}) {
      std::vector<std::string> args = {folder + "/plate00.png", "1", "6", folder + "/out" + mode,
                                       "--script=" + folder + "/session.txt"};
      if (*mode) args.push_back(mode);
      runs.push_back(args);
    }
  }
  const std::string cry1 = std::string(STEMSCAN_DATA_DIR) + "/cry1";
  if (testing::fileExists(cry1 + "/1.TIF")) {
    for (const char* mode : {"", "--refine"}) {
      std::vector<std::string> args = {
          cry1 + "/1.TIF", "1", "5", dir.file(std::string("cry1") + mode),
          "--script=" + std::string(STEMSCAN_SOURCE_DIR) + "/examples/cry1_session.txt"};
      if (*mode) args.push_back(mode);
      runs.push_back(args);
    }
  }
  for (const std::vector<std::string>& args : runs) {
    std::string out;
    ASSERT_EQ(runProgram(dir, args, &out), 0) << out;
    EXPECT_FALSE(contains(out, "flagged")) << args[3] << ":\n" << out;
    EXPECT_FALSE(contains(readFile(args[3] + ".csv"), "suspect")) << args[3];
  }
}

}  // namespace
}  // namespace stemscan
