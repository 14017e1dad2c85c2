#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "gui/scripted_window_system.h"
#include "plate_analyzer/plate_analyzer.h"
#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::CapturedOutput;
using testing::readFile;
using testing::TempDir;

class ResultFilesTest : public ::testing::Test {
 protected:
  ResultFilesTest()
      : windows_(SessionScript(), messages_), random_(1), analyzer_(1, 3, 10, windows_, random_) {}

  void store(int hypocotyl, unsigned t, std::initializer_list<Vec2> points) {
    Snake s;
    for (const Vec2& p : points) s.append(p);
    analyzer_.store.storeSnake(s, hypocotyl, t);
  }

  std::ostringstream messages_;
  ScriptedWindowSystem windows_;
  RandomSource random_;
  PlateAnalyzer analyzer_;
  TempDir dir_;
};

TEST_F(ResultFilesTest, FourTablesNamedFromTheOutputName) {
  ASSERT_TRUE(analyzer_.openResultFiles(dir_.file("plate1")));
  store(0, 0, {Vec2(10, 50), Vec2(10, 90)});
  analyzer_.writeResultFiles();
  EXPECT_EQ(readFile(dir_.file("plate1_len.txt")), "40 \n");
  EXPECT_EQ(readFile(dir_.file("plate1_seg.txt")), "0 -40 \n");
  EXPECT_EQ(readFile(dir_.file("plate1_tip.txt")), "10 50 \n");
  EXPECT_EQ(readFile(dir_.file("plate1_or.txt")), "0 \n");
}

TEST_F(ResultFilesTest, AShorterRewriteLeavesNoStaleBytes) {
  ASSERT_TRUE(analyzer_.openResultFiles(dir_.file("r")));
  store(0, 0, {Vec2(123.456f, 50.0f), Vec2(10.25f, 90.5f)});
  analyzer_.writeResultFiles();
  const std::string longer = readFile(dir_.file("r_tip.txt"));
  store(0, 0, {Vec2(1, 2), Vec2(1, 3)});
  analyzer_.writeResultFiles();
  EXPECT_EQ(readFile(dir_.file("r_tip.txt")), "1 2 \n");
  EXPECT_GT(longer.size(), 5u);
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  }
}

TEST_F(ResultFilesTest, OpeningChecksTheFolderAndKeepsEarlierTables) {
  CapturedOutput output;
  EXPECT_FALSE(analyzer_.openResultFiles(dir_.file("missing/folder/out")));
  EXPECT_TRUE(testing::contains(
      output.err(), "cannot open file " + dir_.file("missing/folder/out_or.txt") + " ("));

  testing::writeFile(dir_.file("old_len.txt"), "12.5 \n13 \n");
  ASSERT_TRUE(analyzer_.openResultFiles(dir_.file("old")));
  EXPECT_EQ(readFile(dir_.file("old_len.txt")), "12.5 \n13 \n");
  EXPECT_EQ(testing::lines(readFile(dir_.file("old_len.txt"))).size(), 2u);
}

TEST_F(ResultFilesTest, TraceWritesNoTable) {
  analyzer_.setTrace(true);
  EXPECT_TRUE(analyzer_.openResultFiles(dir_.file("t")));
  store(0, 0, {Vec2(1, 2)});
  analyzer_.writeResultFiles();
  EXPECT_FALSE(testing::fileExists(dir_.file("t_len.txt")));
}

TEST_F(ResultFilesTest, OverlayImagesAndTheirFailures) {
  analyzer_.display = cv::Mat(20, 30, CV_8UC3, cv::Scalar(1, 2, 3));
  ASSERT_TRUE(analyzer_.parseOverlayName(dir_.file("track.png")));
  analyzer_.saveOverlay(7);
  analyzer_.flushOverlays();
  EXPECT_TRUE(testing::fileExists(dir_.file("track007.png")));

  CapturedOutput output;
  EXPECT_FALSE(analyzer_.parseOverlayName("trackpng"));
  EXPECT_EQ(output.err(), "cannot find extension in filename trackpng\n");
  ASSERT_TRUE(analyzer_.parseOverlayName(dir_.file("no/such/folder/track.png")));
  analyzer_.saveOverlay(1234);
  analyzer_.flushOverlays();
  EXPECT_TRUE(testing::contains(output.err(),
                                "cannot write image " + dir_.file("no/such/folder/track1234.png")));
}

}  // namespace
}  // namespace stemscan
