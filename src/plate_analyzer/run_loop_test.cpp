// Whole headless runs through the set-up phases and the per-image cycle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <opencv2/imgcodecs.hpp>

#include "main/command_line.h"
#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::at;
using testing::contains;
using testing::HeadlessRun;
using testing::mouseLine;
using testing::PlateSpec;
using testing::selectAllAndCalibrate;
using testing::spaceKeys;

TEST(RunLoopSession, MeasuresEveryImageOfAWholeSequence) {
  PlateSpec plate;
  HeadlessRun run(plate, 12);
  ASSERT_EQ(run.run(selectAllAndCalibrate(plate) + spaceKeys(12)), 0) << run.err;
  const auto lengths = run.values("_len.txt");
  ASSERT_EQ(lengths.size(), 12u);
  for (std::size_t t = 0; t < lengths.size(); ++t) {
    ASSERT_EQ(lengths[t].size(), 3u);
    const float truth = plate.length + plate.growth * t;
    for (float length : lengths[t]) EXPECT_NEAR(length, truth, 0.2f * truth) << "image " << t;
  }
  const auto tips = run.values("_tip.txt");
  for (int c = 0; c < 3; ++c) {
    const cv::Point top = testing::topOf(plate, 0, c, 11);
    EXPECT_NEAR(tips[11][2 * c], top.x, 3.0f);
    EXPECT_NEAR(tips[11][2 * c + 1], top.y, 4.0f);
  }
  EXPECT_EQ(run.values("_seg.txt")[0].size(), 6u);
  EXPECT_EQ(run.values("_or.txt")[0].size(), 3u);
  EXPECT_TRUE(contains(run.out, "new hypocotyl: 2\n"));
  // Nobody sees the windows of a replayed script: their instructions are not printed.
  EXPECT_FALSE(contains(run.out, "you can now monitor"));
  EXPECT_FALSE(contains(run.out, "select the hypocotyls with"));
  // The end summary names each image by its index and its file.
  EXPECT_TRUE(contains(run.out, " px at image 0 (plate00.png), ")) << run.out;
  EXPECT_TRUE(contains(run.out, " px at image 11 (plate11.png), growth "));
}

TEST(RunLoopSession, TablesHoldEveryStoredImageBeforeTheNextIsShown) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 25);
  std::vector<std::vector<std::size_t>> seen;  // lines of each table at each monitoring wait
  run.onWait = [&](int delayMs) {
    if (delayMs != 10) return;
    seen.emplace_back();
    for (const char* suffix : {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt"}) {
      seen.back().push_back(testing::lines(run.table(suffix)).size());
    }
  };
  ASSERT_EQ(run.run(selectAllAndCalibrate(plate) + spaceKeys(25)), 0);
  ASSERT_EQ(seen.size(), 25u);
  for (std::size_t t = 0; t < seen.size(); ++t) {
    EXPECT_EQ(seen[t], std::vector<std::size_t>(4, t)) << "at image " << t;
  }
  const std::string appended = run.table("_len.txt");
  EXPECT_EQ(testing::lines(appended).size(), 25u);
  EXPECT_EQ(run.analyzer().store().getLastTime(), 24u);
  // The lines appended image by image are those a whole writing gives.
  run.analyzer().writeResultFiles();
  EXPECT_EQ(run.table("_len.txt"), appended);
}

TEST(RunLoopSession, QuitKeepsWhatWasStoredBeforeTheImageOnScreen) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 20);
  ASSERT_EQ(run.run(selectAllAndCalibrate(plate) + spaceKeys(12) + "key q\n"), 0);
  EXPECT_EQ(run.analyzer().store().getLastTime(), 11u);
  EXPECT_EQ(testing::lines(run.table("_tip.txt")).size(), 12u);
}

TEST(RunLoopSession, TraceWritesNoTableButStillSavesOverlays) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 3);
  const std::string overlays = run.dir().file("shots/track.png");
  ASSERT_EQ(std::system(("mkdir -p " + run.dir().file("shots")).c_str()), 0);
  ASSERT_EQ(run.run(selectAllAndCalibrate(plate), {"--trace", "imagefile=" + overlays}), 0);
  EXPECT_TRUE(contains(run.out, "tracing\n"));
  EXPECT_FALSE(testing::fileExists(run.dir().file("out_len.txt")));
  for (const char* name : {"track000.png", "track001.png", "track002.png"}) {
    const cv::Mat shot = cv::imread(run.dir().file(std::string("shots/") + name));
    EXPECT_EQ(shot.size(), cv::Size(plate.width, plate.height)) << name;
  }
}

TEST(RunLoopSession, OverlaysThatCannotBeWrittenAreNamedAndTheTablesStillWritten) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 2);
  const std::string overlays = run.dir().file("no/such/folder/track.png");
  run.run(selectAllAndCalibrate(plate), {"imagefile=" + overlays});
  EXPECT_TRUE(
      contains(run.err, "cannot write image " + run.dir().file("no/such/folder/track001.png")))
      << run.err;
  EXPECT_EQ(testing::lines(run.table("_len.txt")).size(), 2u);

  testing::CapturedOutput output;
  EXPECT_FALSE(run.analyzer().parseOverlayName("trackpng"));
  EXPECT_EQ(output.err(), "cannot find extension in filename trackpng\n");
}

TEST(RunLoopSession, NoHypocotylSelectedStillStepsThroughEveryImage) {
  PlateSpec plate;
  HeadlessRun run(plate, 4);
  ASSERT_EQ(run.run("key space\nkey space\nkey space\n" + spaceKeys(4)), 0);
  EXPECT_EQ(run.analyzer().store().series.size(), 0u);
  // Every image analysed has its line, with no hypocotyl at all.
  EXPECT_EQ(run.table("_len.txt"), "\n\n\n\n");
  EXPECT_TRUE(contains(run.out, "plate03.png"));
}

TEST(RunLoopSession, AScriptThatRunsOutStillAnalysesTheWholeSequenceReproducibly) {
  PlateSpec plate;
  HeadlessRun first(plate, 6);
  HeadlessRun second(plate, 6);
  // Only the selection: the calibration, the row bottoms and every image are answered as
  // <space> would be.
  std::string script = "seed 5\n";
  for (int c = 0; c < 3; ++c) {
    const cv::Point top = testing::topOf(plate, 0, c, 0);
    script +=
        "mouse StemScan rup " + std::to_string(top.x) + " " + std::to_string(top.y) + " alt\n";
  }
  ASSERT_EQ(first.run(script), 0);
  ASSERT_EQ(second.run(script), 0);
  EXPECT_EQ(testing::lines(first.table("_len.txt")).size(), 6u);
  for (const char* suffix : {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt"}) {
    EXPECT_EQ(first.table(suffix), second.table(suffix)) << suffix;
  }
}

TEST(RunLoopSession, UnreadableAndMisfitFramesAreSkippedWithAMessage) {
  PlateSpec plate;
  plate.cols = 1;
  HeadlessRun run(plate, 6);
  testing::writeFile(run.dir().file("plate02.png"), "this is not a png");
  cv::imwrite(run.dir().file("plate04.png"), testing::lightPlate(100, 80));
  // A file whose header says 20000 x 20000 (gigabytes decoded): skipped from its header alone.
  std::string huge = testing::readFile(run.dir().file("plate03.png"));
  const unsigned char side[4] = {0x00, 0x00, 0x4e, 0x20};
  huge.replace(16, 4, reinterpret_cast<const char*>(side), 4);
  huge.replace(20, 4, reinterpret_cast<const char*>(side), 4);
  testing::writeFile(run.dir().file("plate03.png"), huge);
  ASSERT_EQ(run.run(selectAllAndCalibrate(plate) + spaceKeys(6)), 0);
  EXPECT_TRUE(contains(run.err, "cannot read image " + run.dir().file("plate02.png")));
  EXPECT_TRUE(contains(run.err, "image " + run.dir().file("plate03.png") + " is 20000 x 20000"));
  EXPECT_TRUE(contains(run.err, "image " + run.dir().file("plate04.png") + " is 100 x 80"));
  const auto lengths = run.values("_len.txt");
  ASSERT_EQ(lengths.size(), 6u);  // rows stay aligned with the files
  EXPECT_TRUE(std::isnan(lengths[2][0]));
  EXPECT_TRUE(std::isnan(lengths[3][0]));
  EXPECT_TRUE(std::isnan(lengths[4][0]));
  EXPECT_FALSE(std::isnan(lengths[5][0]));
}

TEST(RunLoopSession, MissingFirstImageEndsBeforeAnyWindow) {
  PlateSpec plate;
  HeadlessRun run(plate, 2);
  std::remove(run.firstImage().c_str());
  EXPECT_EQ(run.run(""), 1);
  EXPECT_FALSE(run.windows().window("StemScan").exists);
  EXPECT_TRUE(contains(run.err, "cannot find file"));

  HeadlessRun corrupt(plate, 2);
  testing::writeFile(corrupt.firstImage(), "garbage");
  EXPECT_EQ(corrupt.run(""), 1);
  EXPECT_TRUE(contains(corrupt.err, "cannot read the first image"));
  EXPECT_EQ(corrupt.windows().window("StemScan").shows, 0);
}

TEST(RunLoopSession, UnwritableResultFolderEndsBeforeAnyWindow) {
  PlateSpec plate;
  HeadlessRun run(plate, 2);
  testing::writeFile(run.dir().file("empty.txt"), "");
  testing::CapturedOutput output;
  const std::string base = run.dir().file("no/such/dir/out");
  EXPECT_EQ(
      stemScanMain({run.firstImage(), "1", "3", base, "--script=" + run.dir().file("empty.txt")},
                   run.dir().path()),
      1);
  EXPECT_TRUE(contains(output.err(), "cannot open file " + base + "_or.txt (cannot create files"))
      << output.err();
  EXPECT_FALSE(contains(output.out(), "initializing display"));
}

}  // namespace
}  // namespace stemscan
