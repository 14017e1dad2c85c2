#include "analysis/plate_pipeline.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::CapturedOutput;
using testing::readFile;
using testing::TempDir;

// The tables the pipeline writes, with no image read: contours are put in and stored by hand.
class ResultFilesTest : public ::testing::Test {
 protected:
  ResultFilesTest() : random_(1), pipeline_(1, 3, 110, random_) {}

  // Hypocotyl 0 holds `points` at time t; the others are not in use.
  void store(unsigned t, std::initializer_list<Vec2> points) {
    Snake& s = pipeline_.snakes()[0];
    s.clear();
    for (const Vec2& p : points) s.append(p);
    s.activate();
    pipeline_.storeImage(t, std::vector<bool>(3, false));
  }
  void write() { pipeline_.writeResultFiles(15.0f); }

  RandomSource random_;
  PlatePipeline pipeline_;
  TempDir dir_;
};

TEST_F(ResultFilesTest, FourTablesNamedFromTheOutputName) {
  ASSERT_TRUE(pipeline_.openResultFiles(dir_.file("plate1")));
  store(0, {Vec2(10, 50), Vec2(10, 90)});
  write();
  EXPECT_EQ(readFile(dir_.file("plate1_len.txt")), "40 \n");
  EXPECT_EQ(readFile(dir_.file("plate1_seg.txt")), "0 -40 \n");
  EXPECT_EQ(readFile(dir_.file("plate1_tip.txt")), "10 50 \n");
  EXPECT_EQ(readFile(dir_.file("plate1_or.txt")), "0 \n");
}

TEST_F(ResultFilesTest, AShorterRewriteLeavesNoStaleBytes) {
  ASSERT_TRUE(pipeline_.openResultFiles(dir_.file("r")));
  store(0, {Vec2(123.456f, 50.0f), Vec2(10.25f, 90.5f)});
  write();
  const std::string longer = readFile(dir_.file("r_tip.txt"));
  store(0, {Vec2(1, 2), Vec2(1, 3)});
  write();
  EXPECT_EQ(readFile(dir_.file("r_tip.txt")), "1 2 \n");
  EXPECT_GT(longer.size(), 5u);
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  }
}

TEST_F(ResultFilesTest, OpeningChecksTheFolderAndKeepsEarlierTables) {
  CapturedOutput output;
  EXPECT_FALSE(pipeline_.openResultFiles(dir_.file("missing/folder/out")));
  EXPECT_TRUE(testing::contains(
      output.err(), "cannot open file " + dir_.file("missing/folder/out_or.txt") + " ("));

  testing::writeFile(dir_.file("old_len.txt"), "12.5 \n13 \n");
  ASSERT_TRUE(pipeline_.openResultFiles(dir_.file("old")));
  EXPECT_EQ(readFile(dir_.file("old_len.txt")), "12.5 \n13 \n");
  EXPECT_EQ(testing::lines(readFile(dir_.file("old_len.txt"))).size(), 2u);
}

TEST_F(ResultFilesTest, TraceWritesNoTable) {
  pipeline_.setTrace(true);
  EXPECT_TRUE(pipeline_.openResultFiles(dir_.file("t")));
  store(0, {Vec2(1, 2)});
  write();
  EXPECT_FALSE(testing::fileExists(dir_.file("t_len.txt")));
}

}  // namespace
}  // namespace stemscan
