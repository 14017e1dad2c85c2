// The default sample plate, analysed headless with its demo session, against its ground truth.
#include <gtest/gtest.h>

#include "main/command_line.h"
#include "support/synthetic.h"
#include "tools/sample/evaluation.h"
#include "tools/sample/plate_renderer.h"

namespace stemscan {
namespace {

// The accuracy benchmark measured 1.32 px mean length error and no lost top on this plate.
constexpr double kMeanLengthErrorLimit = 1.32 + 0.5;

TEST(SampleAccuracy, DefaultPlateIsMeasuredWithinTheBenchmarkFigures) {
  testing::TempDir dir;
  const sample::PlateSettings plate;
  ASSERT_TRUE(sample::writePlate(plate, dir.path(), "sample", "png", dir.file("truth.csv")));
  testing::writeFile(dir.file("demo.txt"), sample::selectionSession(plate, 120, true));
  testing::CapturedOutput output;
  ASSERT_EQ(stemScanMain({dir.file("sample00.png"), "1", "6", dir.file("results"),
                          "--script=" + dir.file("demo.txt")},
                         dir.path()),
            0);
  const sample::Accuracy a = sample::evaluate(plate, testing::readFile(dir.file("results_len.txt")),
                                              testing::readFile(dir.file("results_tip.txt")));
  EXPECT_EQ(a.missing, 0);
  EXPECT_LT(a.meanLengthError, kMeanLengthErrorLimit);
  EXPECT_EQ(a.lostShare, 0.0) << "mean top error " << a.meanTopError;
}

}  // namespace
}  // namespace stemscan
