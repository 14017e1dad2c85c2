// Plates started without a click: --auto runs, their records, --bright, and cry1's seedlings.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "detect/seedling_detector.h"
#include "main/command_line.h"
#include "support/synthetic.h"
#include "tools/sample/evaluation.h"
#include "tools/sample/marked_plate.h"
#include "tools/sample/plate_renderer.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::readFile;
using testing::runProgram;

const char* const kTables[] = {"_len.txt", "_or.txt", "_seg.txt",
                               "_tip.txt", ".csv",    "_contours.csv"};

// A rendered 1 x 6 plate of `images` images as <dir>/<name>00.png ...; the first one's path.
std::string renderedPlate(const testing::TempDir& dir, const std::string& name, int images,
                          bool negative = false) {
  sample::PlateSettings settings;
  settings.images = images;
  const sample::PlateRenderer renderer(settings);
  return testing::writeSequence(dir.path(), name, images, [&](int t) {
    const cv::Mat image = renderer.render(t);
    return negative ? cv::Mat(cv::Scalar::all(255) - image) : image;
  });
}

TEST(StartingWithoutClicks, AnAutomaticRunsRecordReplaysToTheSameTables) {
  testing::TempDir dir;
  const std::string first = renderedPlate(dir, "plate", 4);
  std::string out;
  ASSERT_EQ(runProgram(dir,
                       {first, "1", "6", dir.file("auto"), "--auto", "--refine",
                        "--record=" + dir.file("record.txt")},
                       &out),
            0)
      << out;
  EXPECT_TRUE(contains(out, "seedlings found: 6\n"));
  EXPECT_TRUE(contains(out, "automatic threshold: "));
  const std::string record = readFile(dir.file("record.txt"));
  EXPECT_TRUE(contains(record, " ctrl alt\n"));
  EXPECT_TRUE(contains(record, "slider thresholding threshold "));
  // The run record says how the tables were made.
  const std::string run = readFile(dir.file("auto_run.txt"));
  EXPECT_TRUE(contains(run, "# StemScan run record\nversion: ")) << run;
  EXPECT_TRUE(contains(run, "\ncommand: stemScan " + first + " 1 6 ")) << run;
  EXPECT_TRUE(contains(run, "\nmode: refine\n")) << run;
  EXPECT_TRUE(contains(run, "\nthresholds: 0=")) << run;
  EXPECT_TRUE(contains(run, "\nimages: 4 in the sequence, 4 analysed, 0 skipped\n")) << run;

  ASSERT_EQ(runProgram(dir, {first, "1", "6", dir.file("replay"), "--refine",
                             "--script=" + dir.file("record.txt")}),
            0);
  for (const char* table : kTables) {
    EXPECT_EQ(readFile(dir.file(std::string("auto") + table)),
              readFile(dir.file(std::string("replay") + table)))
        << table;
  }
  // --auto replays nothing: with a script it is refused, and so is --detect.
  EXPECT_EQ(
      runProgram(dir,
                 {first, "1", "6", dir.file("x"), "--auto", "--script=" + dir.file("record.txt")},
                 &out),
      kExitUsage);
  EXPECT_TRUE(contains(out, "--auto cannot be used with --script"));
  EXPECT_FALSE(testing::fileExists(dir.file("x_len.txt")));
}

TEST(StartingWithoutClicks, BrightStemsGiveTheTablesOfTheirNegatives) {
  testing::TempDir dir;
  const std::string dark = renderedPlate(dir, "dark", 4);
  const std::string bright = renderedPlate(dir, "bright", 4, true);
  std::string out;
  ASSERT_EQ(runProgram(dir, {dark, "1", "6", dir.file("dark"), "--auto", "--seed=5"}), 0);
  ASSERT_EQ(runProgram(dir,
                       {bright, "1", "6", dir.file("bright"), "--auto", "--seed=5", "--bright",
                        "imagefile=" + dir.file("shown.png")},
                       &out),
            0)
      << out;
  for (const char* table : {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt", "_contours.csv"}) {
    EXPECT_EQ(readFile(dir.file(std::string("dark") + table)),
              readFile(dir.file(std::string("bright") + table)))
        << table;
  }
  // The overlays show the photographs as they are.
  const cv::Mat shown = cv::imread(dir.file("shown000.png"));
  const cv::Mat photo = cv::imread(bright);
  EXPECT_LT(cv::norm(cv::mean(shown) - cv::mean(photo)), 5.0);
  // Without --bright the plate of light stems is said to look like one.
  ASSERT_EQ(runProgram(dir, {bright, "1", "6", dir.file("unsaid"), "--auto"}, &out), 0);
  EXPECT_TRUE(contains(out, "the seedlings look lighter than the background"));
}

TEST(StartingWithoutClicks, FindsCry1sSeedlingsAtTheirMarkedApexes) {
  const std::string data = std::string(STEMSCAN_DATA_DIR) + "/cry1";
  if (!testing::fileExists(data + "/tops.csv")) GTEST_SKIP() << "no cry1 photographs at " << data;
  cv::Mat grey = cv::imread(data + "/1.TIF", cv::IMREAD_GRAYSCALE);
  const Detection found = detectSeedlings(grey, 5);
  ASSERT_EQ(found.seedlings.size(), 5u);
  std::vector<sample::MarkedTop> marks;
  for (const sample::MarkedTop& m : sample::readMarkedTops(data + "/tops.csv")) {
    if (m.frame == 0) marks.push_back(m);
  }
  ASSERT_EQ(marks.size(), 5u);
  for (std::size_t k = 0; k < 5; ++k) {
    EXPECT_LE(norm(found.seedlings[k].top -
                   Vec2(static_cast<float>(marks[k].x), static_cast<float>(marks[k].y))),
              10.0f)
        << "seedling " << k;
  }
  // The stems are 30 to 55 grey levels, the agar 96 to 107.
  EXPECT_GT(found.threshold, 55);
  EXPECT_LT(found.threshold, 96);

  // Started without a click, the refined fit meets the marks of the whole sequence.
  testing::TempDir dir;
  std::string out;
  ASSERT_EQ(
      runProgram(dir, {data + "/1.TIF", "1", "5", dir.file("cry1"), "--auto", "--refine"}, &out), 0)
      << out;
  const sample::TopAgreement tops = sample::compareTops(sample::readMarkedTops(data + "/tops.csv"),
                                                        readFile(dir.file("cry1_tip.txt")));
  EXPECT_EQ(tops.marks, 65);
  EXPECT_GE(tops.within15, 0.85);
}

}  // namespace
}  // namespace stemscan
