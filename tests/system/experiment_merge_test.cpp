// Plates merged into an experiment: one long table, growth table and summary per label, with
// the statistics of each label and a failed plate named and left out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>

#include "experiment/csv.h"
#include "main/command_line.h"
#include "support/synthetic.h"
#include "tools/sample/plate_renderer.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::readFile;

// The summary's line of a label, split into its fields.
std::vector<std::string> summaryOf(const std::string& summary, const std::string& label) {
  for (const std::string& line : testing::lines(summary)) {
    std::vector<std::string> fields;
    if (splitCsvLine(line, &fields) && !fields.empty() && fields[0] == label) return fields;
  }
  return {};
}

TEST(ExperimentMerge, ThreePlatesOfLabelsMakeOneExperimentAndItsStatistics) {
  testing::TempDir dir;
  struct PlateOf {
    const char* name;
    const char* label;
    float growth;
    uint32_t seed;
  };
  const std::vector<PlateOf> plates = {
      {"A", "wt", 2.0f, 3}, {"B", "wt2", 2.0f, 5}, {"C", "mut", 2.4f, 7}};
  std::string list = "plate,out\n";
  std::size_t rows = 0;
  for (const PlateOf& p : plates) {
    sample::PlateSettings settings;
    settings.images = 10;
    settings.growth = p.growth;
    settings.seed = p.seed;
    const std::string folder = dir.file(p.name);
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(sample::writePlate(settings, folder, "plate", "png", folder + "/truth.csv"));
    std::string layout = "row,col,label\n";
    for (int c = 1; c <= 6; ++c) layout += "1," + std::to_string(c) + "," + p.label + "\n";
    testing::writeFile(folder + "/layout.csv", layout);
    testing::CapturedOutput quiet;
    ASSERT_EQ(stemScanMain({folder + "/plate00.png", "1", "6", folder + "/out", "--auto",
                            "--refine", "--interval=60", "--layout=" + folder + "/layout.csv"},
                           dir.path()),
              0);
    // Each plate summarises its own label.
    const auto own = summaryOf(readFile(folder + "/out_summary.csv"), p.label);
    ASSERT_EQ(own.size(), 21u);
    EXPECT_EQ(own[1], "6");
    EXPECT_NEAR(std::stod(own[3]), p.growth, 0.02 * p.growth);
    list += std::string(p.name) + "," + p.name + "/out\n";
    rows += testing::lines(readFile(folder + "/out.csv")).size() - 1;
  }
  list += "D,D/out\n";  // never ran
  testing::writeFile(dir.file("plates.csv"), list);

  testing::CapturedOutput output;
  EXPECT_EQ(mergeMain({"--merge", dir.file("plates.csv"), "--control=wt"}), 1);
  EXPECT_TRUE(contains(output.err(), "plate D left out: no tables at "));
  EXPECT_TRUE(contains(output.out(), "3 of 4 plates merged"));
  const std::vector<std::string> merged = testing::lines(readFile(dir.file("experiment.csv")));
  ASSERT_EQ(merged.size(), rows + 1);
  EXPECT_EQ(merged[0].rfind("plate,image,file,time_h,hypocotyl,", 0), 0u);
  EXPECT_EQ(merged[1].rfind("A,0,plate00.png,", 0), 0u);
  EXPECT_TRUE(contains(readFile(dir.file("experiment_plates.csv")), "D,D/out,no,"));

  const std::string summary = readFile(dir.file("experiment_summary.csv"));
  const auto wt = summaryOf(summary, "wt");
  const auto wt2 = summaryOf(summary, "wt2");
  const auto mut = summaryOf(summary, "mut");
  ASSERT_EQ(wt.size(), 21u) << summary;
  ASSERT_EQ(mut.size(), 21u) << summary;
  EXPECT_EQ(wt[1], "6");
  EXPECT_NEAR(std::stod(wt[3]), 2.0, 0.04);  // px per hour, within 2 %
  EXPECT_NEAR(std::stod(mut[3]), 2.4, 0.048);
  EXPECT_LT(std::stod(mut[19]), 0.01) << summary;  // 20 % faster than the control
  EXPECT_GT(std::stod(wt2[19]), 0.05) << summary;  // as fast as the control
  EXPECT_EQ(wt[20], "h");

  // The figure: a PDF a reader opens (pdftotext, from poppler-utils) naming each label with its
  // n, a PNG of 10 x 4.5 inches at 300 dpi, an SVG with each seedling's line in both panels.
  const std::string words = dir.file("words.txt");
  ASSERT_EQ(std::system(("pdftotext " + dir.file("experiment_growth.pdf") + " " + words).c_str()),
            0);
  for (const char* expected :
       {"plates", "wt (n=6)", "wt2 (n=6)", "mut (n=6)", "time (h)", "elongation (px)", "C:5"}) {
    EXPECT_TRUE(contains(readFile(words), expected)) << expected;
  }
  const cv::Mat png = cv::imread(dir.file("experiment_growth.png"));
  EXPECT_EQ(png.size(), cv::Size(3000, 1350));
  const std::string svg = readFile(dir.file("experiment_growth.svg"));
  std::size_t lines = 0;
  for (std::size_t at = svg.find("stroke-width:0.8;"); at != std::string::npos;
       at = svg.find("stroke-width:0.8;", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 2u * 18u);
}

}  // namespace
}  // namespace stemscan
