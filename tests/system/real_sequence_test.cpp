// Real time-lapses end to end: cry1's 72 palette TIFFs numbered 1.TIF ... 72.TIF, and
// abrs_flight's light-grown plate of 28 JPEGs named by their camera clock.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "main/command_line.h"
#include "support/synthetic.h"
#include "tools/sample/evaluation.h"
#include "tools/sample/marked_plate.h"

namespace stemscan {
namespace {

using testing::TempDir;

// Hook apexes marked by eye in four photographs (file number, then x and y per seedling).
struct Apexes {
  int file;
  float xy[10];
};
const Apexes kMarked[] = {
    {6, {220, 722, 517, 701, 741, 665, 1002, 675, 1253, 657}},
    {12, {205, 662, 537, 640, 732, 605, 1011, 615, 1271, 594}},
    {18, {199, 627, 544, 609, 746, 568, 1008, 579, 1277, 556}},
    {24, {192, 602, 539, 576, 754, 542, 1001, 554, 1274, 525}},
};

std::vector<std::vector<double>> table(const std::string& path) {
  return sample::parseTable(testing::readFile(path));
}

TEST(RealSequence, Cry1TopsStayOnTheHooksAndLengthsGrow) {
  const std::string data = std::string(STEMSCAN_DATA_DIR) + "/cry1";
  if (!testing::fileExists(data + "/1.TIF")) {
    GTEST_SKIP() << "the cry1 photographs are not at " << data;
  }
  TempDir dir;
  const std::string examples = std::string(STEMSCAN_SOURCE_DIR) + "/examples";
  testing::CapturedOutput output;
  const int status = stemScanMain(
      {data + "/1.TIF", "1", "5", dir.file("cry1"), "--script=" + examples + "/cry1_session.txt",
       "--interval=30", "--px-per-mm=20", "--layout=" + examples + "/cry1_layout.csv"},
      dir.path());
  ASSERT_EQ(status, 0) << output.err();
  EXPECT_TRUE(testing::contains(
      output.out(), "sequence: 72 images, from " + data + "/1.TIF to " + data + "/72.TIF\n"));
  EXPECT_TRUE(testing::contains(output.out(), "time step: 30 min\nscale: 20 px/mm\nlayout: 5"));
  EXPECT_TRUE(testing::contains(output.out(), data + "/72.TIF\n"));

  const auto tips = table(dir.file("cry1_tip.txt"));
  const auto lengths = table(dir.file("cry1_len.txt"));
  ASSERT_EQ(tips.size(), 72u);
  ASSERT_EQ(lengths.size(), 72u);
  for (const Apexes& marked : kMarked) {
    const auto& row = tips[marked.file - 1];
    for (int s = 0; s < 5; ++s) {
      const float off =
          std::hypot(row[2 * s] - marked.xy[2 * s], row[2 * s + 1] - marked.xy[2 * s + 1]);
      EXPECT_LT(off, 15.0f) << "seedling " << s << " in " << marked.file << ".TIF";
    }
  }
  for (int s = 0; s < 5; ++s) {
    EXPECT_GT(lengths[71][s], lengths[0][s] + 200.0f) << "seedling " << s;
    EXPECT_GT(lengths[36][s], lengths[0][s]) << "seedling " << s;
  }
}

// Bright thin stems on a dark gridded plate under changing light, selected at the tops marked
// on the first photograph, their bases left to the refined fit: the tops stay near the forks
// and the bases find the collars marked by eye over the first nine photographs.
TEST(RealSequence, AbrsFlightTopsAndCollarsAgreeWithTheMarks) {
  const std::string data = std::string(STEMSCAN_DATA_DIR) + "/abrs_flight";
  const auto marks = sample::readMarkedTops(std::string(STEMSCAN_SOURCE_DIR) +
                                            "/tests/data/abrs_flight/tracks.csv");
  ASSERT_EQ(marks.size(), 12u);
  if (!testing::fileExists(data + "/" + marks.front().file)) {
    GTEST_SKIP() << "the abrs_flight photographs are not at " << data;
  }
  TempDir dir;
  const std::string session = dir.file("session.txt");
  std::ofstream(session) << sample::markedSelection(marks, 200);
  testing::CapturedOutput output;
  const int status =
      stemScanMain({data + "/" + marks.front().file, "1", "2", dir.file("abrs"),
                    "--script=" + session, "--refine", "--bright", "--even-background"},
                   dir.path());
  ASSERT_EQ(status, 0) << output.err();
  const sample::MarkAgreement a =
      sample::agreeWithMarks(marks, testing::readFile(dir.file("abrs.csv")));
  EXPECT_GE(a.topsWithin15, 10);
  EXPECT_LE(a.topMean, 11.0);
  EXPECT_GE(a.collarsWithin10, 11);
  EXPECT_LE(a.collarMean, 6.0);
}

}  // namespace
}  // namespace stemscan
