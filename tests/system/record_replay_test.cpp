// A recorded session replays to the same tables, byte for byte.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "main/command_line.h"
#include "support/headless_run.h"
#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::at;
using testing::PlateSpec;

TEST(RecordReplay, ReplayingARecordGivesTheSameTables) {
  testing::TempDir dir;
  PlateSpec plate;
  const std::string first = testing::writeSequence(
      dir.path(), "plate", 6, [&plate](int t) { return testing::seedlingPlate(plate, t); });
  const cv::Point top0 = testing::topOf(plate, 0, 0, 0);
  const cv::Point top1 = testing::topOf(plate, 0, 1, 0);
  const cv::Point top2 = testing::topOf(plate, 0, 2, 2);
  const std::string session =
      "mouse StemScan rup " + at(top0) + " alt\nmouse StemScan rup " + at(top1) +
      " alt\nmouse StemScan ldown " + at(top1) + "\nslider StemScan smoothness 35\n" +
      "key space\nslider thresholding threshold 100\nkey space\nkey space\n" +
      "key space\nkey space\n" + "mouse StemScan rup " + at(top2) + " alt\n" +
      "mouse StemScan ldown 5 5 alt\ntimeout\n" + "key b\nmouse StemScan ldown " + at(top0) +
      " ctrl\nmouse StemScan move 100 100 ctrl\nmouse StemScan lup 100 100\nkey v\nkey n\n";
  testing::writeFile(dir.file("session.txt"), session);

  const auto run = [&](const std::string& out, const std::vector<std::string>& options) {
    std::vector<std::string> args = {first, "1", "3", dir.file(out)};
    args.insert(args.end(), options.begin(), options.end());
    testing::CapturedOutput output;
    return stemScanMain(args, dir.path());
  };
  ASSERT_EQ(run("a", {"--script=" + dir.file("session.txt"), "--seed=77",
                      "--record=" + dir.file("record.txt")}),
            0);
  const std::string record = testing::readFile(dir.file("record.txt"));
  EXPECT_TRUE(testing::contains(record, "\nseed 77\n"));
  EXPECT_TRUE(testing::contains(record, "mouse StemScan rup " + at(top0) + " alt\n"));
  EXPECT_TRUE(testing::contains(record, "slider StemScan smoothness 35\n"));
  EXPECT_TRUE(testing::contains(record, "slider thresholding threshold 100\n"));
  EXPECT_TRUE(testing::contains(record, "mouse StemScan ldown 5 5 alt\ntimeout\n"));
  EXPECT_TRUE(testing::contains(record, "key b\n"));
  // The program's own slider moves (selecting sets the smoothness slider) are not recorded.
  EXPECT_FALSE(testing::contains(record, "slider StemScan smoothness 50"));

  ASSERT_EQ(run("b", {"--script=" + dir.file("record.txt")}), 0);
  for (const char* suffix : {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt"}) {
    const std::string a = testing::readFile(dir.file(std::string("a") + suffix));
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, testing::readFile(dir.file(std::string("b") + suffix))) << suffix;
  }
}

TEST(RecordReplay, UnwritableRecordStopsBeforeTheRun) {
  testing::TempDir dir;
  testing::writeFile(dir.file("s.txt"), "");
  cv::imwrite(dir.file("x00.png"), testing::lightPlate(40, 30));
  testing::CapturedOutput output;
  EXPECT_EQ(stemScanMain({dir.file("x00.png"), "1", "1", dir.file("out"),
                          "--script=" + dir.file("s.txt"), "--record=" + dir.file("no/dir/r.txt")},
                         dir.path()),
            1);
  EXPECT_TRUE(testing::contains(output.err(), "cannot write the session record"));
  EXPECT_FALSE(testing::fileExists(dir.file("out_len.txt")));
}

}  // namespace
}  // namespace stemscan
