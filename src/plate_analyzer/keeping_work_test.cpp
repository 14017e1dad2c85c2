// Runs that fail, are refused, or are ended by the user keep every measurement on disk and
// say what happened.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>

#include "main/command_line.h"
#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::HeadlessRun;
using testing::PlateSpec;
using testing::readFile;
using testing::selectAllAndCalibrate;
using testing::spaceKeys;

const char* const kSuffixes[] = {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt"};

PlateSpec onePlant() {
  PlateSpec plate;
  plate.cols = 1;
  return plate;
}

TEST(StartupFailure, KeepsTheTablesOfAnEarlierRun) {
  HeadlessRun run(onePlant(), 3);
  for (const char* suffix : kSuffixes)
    testing::writeFile(run.dir().file(std::string("out") + suffix), "1 2 \n");
  testing::writeFile(run.dir().file("s.txt"), "");
  const std::string script = "--script=" + run.dir().file("s.txt");
  const std::string out = run.dir().file("out");
  std::filesystem::create_directory(run.dir().file("folder00.png"));
  for (const std::string& first : {run.dir().file("plaet00.png"), run.dir().file("folder00.png")}) {
    testing::CapturedOutput output;
    EXPECT_EQ(stemScanMain({first, "1", "1", out, script}, run.dir().path()), 1) << first;
    EXPECT_FALSE(contains(output.out(), "initializing display"));
  }
  for (const char* suffix : kSuffixes) {
    EXPECT_EQ(run.table(suffix), "1 2 \n") << suffix;
  }
}

TEST(FailedTableWrite, IsReportedNamingWhatWasWrittenAndEndsWithStatusOne) {
  HeadlessRun run(onePlant(), 3);
  // A folder where the length table must go: that table cannot be written, the others can.
  std::filesystem::create_directory(run.dir().file("out_len.txt"));
  EXPECT_EQ(run.run(selectAllAndCalibrate(run.plate) + spaceKeys(3)), 1);
  const std::string dir = run.dir().path() + "/";
  EXPECT_TRUE(contains(run.err, "cannot write file " + dir + "out_len.txt"));
  EXPECT_TRUE(contains(run.err, "tables not written: " + dir + "out_len.txt (see"));
  EXPECT_TRUE(contains(run.out, "tables written: " + dir + "out_or.txt, " + dir + "out_seg.txt"));
  EXPECT_TRUE(contains(run.out, "also written: " + dir + "out.csv, " + dir + "out_contours.csv"));
  EXPECT_EQ(testing::lines(run.table("_tip.txt")).size(), 3u);
  // No temporary file is left behind.
  for (const auto& entry : std::filesystem::directory_iterator(run.dir().path())) {
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  }
}

TEST(OverlayNames, ThatWouldReplaceAnInputImageAreRefused) {
  testing::TempDir dir;
  const PlateSpec plate = onePlant();
  for (int t = 0; t < 3; ++t) {
    cv::imwrite(dir.file("s00" + std::to_string(t) + ".png"), testing::seedlingPlate(plate, t));
  }
  const std::string before = readFile(dir.file("s001.png"));
  // Written as another path to the same folder.
  const std::string overlays = dir.path() + "/./s.png";
  const auto result = testing::runSession(
      dir, {dir.file("s000.png"), "1", "1", dir.file("out"), "imagefile=" + overlays},
      selectAllAndCalibrate(plate));
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(contains(result.err, "would replace ")) << result.err;
  EXPECT_FALSE(contains(result.out, "initializing display"));
  EXPECT_EQ(readFile(dir.file("s001.png")), before);
  EXPECT_FALSE(testing::fileExists(dir.file("out_len.txt")));

  // Another prefix in the same folder is fine.
  EXPECT_EQ(testing::runSession(dir,
                                {dir.file("s000.png"), "1", "1", dir.file("out"),
                                 "imagefile=" + dir.file("shot.png")},
                                selectAllAndCalibrate(plate))
                .status,
            0);
  EXPECT_TRUE(testing::fileExists(dir.file("shot002.png")));
}

TEST(CloseButton, OfTheMainWindowActsAsQuit) {
  HeadlessRun run(onePlant(), 8);
  ASSERT_EQ(
      run.run(selectAllAndCalibrate(run.plate) + spaceKeys(3) + "close StemScan\n" + spaceKeys(3)),
      0);
  EXPECT_TRUE(contains(run.err, "the window \"StemScan\" was closed"));
  EXPECT_TRUE(contains(run.out, "tables written:"));
  EXPECT_EQ(run.analyzer().store().getLastTime(), 2u);
  for (const char* suffix : kSuffixes) EXPECT_EQ(testing::lines(run.table(suffix)).size(), 3u);
}

TEST(CloseButton, OfTheThresholdingWindowKeepsTheCalibrationGoing) {
  HeadlessRun run(onePlant(), 3);
  const cv::Point top = testing::topOf(run.plate, 0, 0, 0);
  const std::string script = testing::mouseLine("rup", top, " alt") +
                             "key space\n"
                             "close thresholding\n"
                             "slider thresholding threshold 120\n"
                             "key space\nkey space\n" +
                             spaceKeys(3);
  ASSERT_EQ(run.run(script), 0) << run.err;
  EXPECT_FALSE(contains(run.err, "no window"));
  EXPECT_EQ(run.analyzer().thresholds().current(), 120);
  EXPECT_EQ(testing::lines(run.table("_len.txt")).size(), 3u);
}

TEST(ScriptReplay, DeliversTwentyThousandNestedEventsWithoutDeepening) {
  HeadlessRun run(onePlant(), 2);
  std::string script = selectAllAndCalibrate(run.plate);
  for (int i = 0; i < 20000; ++i) script += "mouse StemScan ldown 77 348 alt\n";
  EXPECT_EQ(run.run(script), 0);
  EXPECT_EQ(testing::lines(run.table("_len.txt")).size(), 2u);
}

TEST(TruncatedFrames, AreSkippedLikeUnreadableOnes) {
  for (const std::string format : {"png", "jpg"}) {
    testing::TempDir dir;
    const PlateSpec plate = onePlant();
    for (int t = 0; t < 4; ++t) {
      const std::string name = dir.file("plate0" + std::to_string(t) + "." + format);
      cv::imwrite(name, testing::seedlingPlate(plate, t));
      if (t == 2) {
        const std::string whole = readFile(name);
        testing::writeFile(name, whole.substr(0, whole.size() * 2 / 3));
      }
    }
    const auto result =
        testing::runSession(dir, {dir.file("plate00." + format), "1", "1", dir.file("out")},
                            selectAllAndCalibrate(plate) + spaceKeys(4));
    EXPECT_EQ(result.status, 0) << format;
    EXPECT_TRUE(
        contains(result.err, "cannot read image " + dir.file("plate02." + format) + "; skipped"))
        << result.err;
    const auto rows = testing::lines(readFile(dir.file("out_len.txt")));
    ASSERT_EQ(rows.size(), 4u) << format;
    EXPECT_EQ(rows[2], "nan ") << format;
    EXPECT_NE(rows[3], "nan ") << format;
  }
}

}  // namespace
}  // namespace stemscan
