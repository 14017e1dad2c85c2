// The publishable outputs, checked against the four tables and against plates of known growth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <opencv2/imgcodecs.hpp>

#include "experiment/csv.h"
#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::HeadlessRun;
using testing::mouseLine;
using testing::PlateSpec;
using testing::readCsv;
using testing::readFile;
using testing::selectAllAndCalibrate;
using testing::spaceKeys;

double number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// Three cells: two seedlings selected, the third never; image 3 unreadable; the second
// switched off at image 1; the first's top dragged by hand at image 4.
class LongTable : public ::testing::Test {
 protected:
  void SetUp() override {
    plate_.cols = 3;
    run_ = std::make_unique<HeadlessRun>(plate_, 6);
    testing::writeFile(run_->dir().file("plate03.png"), "not a png");
  }
  int analyse(const std::vector<std::string>& options) {
    const cv::Point top0 = testing::topOf(plate_, 0, 0, 4);
    std::string script = mouseLine("rup", testing::topOf(plate_, 0, 0, 0), " alt") +
                         mouseLine("rup", testing::topOf(plate_, 0, 1, 0), " alt") +
                         "key space\nslider thresholding threshold 110\nkey space\nkey space\n" +
                         spaceKeys(1) + mouseLine("rup", testing::topOf(plate_, 0, 1, 1), " ctrl") +
                         spaceKeys(2) + mouseLine("ldown", top0, " ctrl") +
                         mouseLine("move", top0 + cv::Point(0, 6), " ctrl") +
                         mouseLine("lup", top0 + cv::Point(0, 6), " ctrl") + spaceKeys(2);
    return run_->run(script, options);
  }
  PlateSpec plate_;
  std::unique_ptr<HeadlessRun> run_;
};

TEST_F(LongTable, AgreesWithTheFourTablesAndSaysWhyAValueIsMissing) {
  ASSERT_EQ(analyse({}), 0) << run_->err;
  const auto rows = readCsv(run_->dir().file("out.csv"));
  ASSERT_EQ(rows.size(), 6u * 3u);
  const auto lengths = run_->values("_len.txt");
  const auto tips = run_->values("_tip.txt");
  for (const auto& row : rows) {
    const unsigned t = static_cast<unsigned>(number(row.at("image")));
    const int s = static_cast<int>(number(row.at("hypocotyl")));
    const std::string where = "image " + row.at("image") + ", hypocotyl " + row.at("hypocotyl");
    EXPECT_EQ(row.at("file"), "plate0" + std::to_string(t) + ".png");
    EXPECT_EQ(row.at("time_h"), "") << where;
    EXPECT_EQ(row.at("length_mm"), "") << where;
    EXPECT_EQ(row.at("col"), std::to_string(s + 1));
    const char* expected = t == 3 ? "skipped" : (s == 2 || (s == 1 && t >= 1) ? "off" : "measured");
    ASSERT_EQ(row.at("status"), expected) << where;
    if (row.at("status") != "measured") {
      EXPECT_EQ(row.at("length_px") + row.at("top_x") + row.at("points"), "") << where;
      continue;
    }
    EXPECT_NEAR(number(row.at("length_px")), lengths[t][s], 0.001) << where;
    EXPECT_NEAR(number(row.at("top_x")), tips[t][2 * s], 0.001) << where;
    EXPECT_NEAR(number(row.at("top_y")), tips[t][2 * s + 1], 0.001) << where;
  }
  // Corrected by hand at image 4; tracked alone at image 2.
  EXPECT_EQ(rows[4 * 3 + 0].at("corrected"), "1");
  EXPECT_EQ(rows[2 * 3 + 0].at("corrected"), "0");
  EXPECT_EQ(rows[5 * 3 + 0].at("corrected"), "0");

  // The contour file gives the same lengths.
  std::map<std::pair<int, int>, std::vector<cv::Point2d>> contours;
  for (const auto& p : readCsv(run_->dir().file("out_contours.csv"))) {
    contours[{static_cast<int>(number(p.at("image"))), static_cast<int>(number(p.at("hypocotyl")))}]
        .push_back({number(p.at("x")), number(p.at("y"))});
  }
  for (const auto& [key, points] : contours) {
    double length = 0.0;
    for (std::size_t k = 1; k < points.size(); ++k) length += cv::norm(points[k] - points[k - 1]);
    EXPECT_NEAR(length, lengths[key.first][key.second], 0.01);
  }
  EXPECT_EQ(contours.size(), 5u + 1u);  // hypocotyl 0 at five images, hypocotyl 1 at one
}

TEST_F(LongTable, GivesTimeAndMillimetresWhenKnown) {
  testing::writeFile(run_->dir().file("layout.csv"), "row,col,label\n1,1,007\n1,2,\"Col-0, wt\"\n");
  ASSERT_EQ(
      analyse({"--interval=30", "--px-per-mm=4", "--layout=" + run_->dir().file("layout.csv")}), 0);
  const auto rows = readCsv(run_->dir().file("out.csv"));
  EXPECT_EQ(rows[5 * 3].at("time_h"), "2.5000");
  EXPECT_EQ(rows[0].at("label"), "007");
  EXPECT_EQ(rows[1].at("label"), "Col-0, wt");
  EXPECT_NEAR(number(rows[0].at("length_mm")), number(rows[0].at("length_px")) / 4.0, 0.001);
  const std::string growth = readFile(run_->dir().file("out_growth.csv"));
  EXPECT_TRUE(testing::contains(
      growth, ",rate_px_per_h,rate_mm_per_h,r2,growth_mm,suspect_left_out,time_unit\n"));
  EXPECT_TRUE(testing::contains(growth, "\n1,1,2,\"Col-0, wt\",1,0,0,"));
}

TEST(GrowthTable, RateOfAPlateOfKnownGrowthWithinOnePercent) {
  PlateSpec plate;
  plate.cols = 2;
  plate.growth = 2.0f;
  HeadlessRun run(plate, 16);
  ASSERT_EQ(run.run(selectAllAndCalibrate(plate) + spaceKeys(16), {"--interval=60"}), 0);
  const auto growth = readCsv(run.dir().file("out_growth.csv"));
  ASSERT_EQ(growth.size(), 2u);
  for (const auto& row : growth) {
    EXPECT_EQ(row.at("images"), "16");
    EXPECT_NEAR(number(row.at("rate_px_per_h")), 2.0, 0.02) << row.at("hypocotyl");
    EXPECT_GT(number(row.at("r2")), 0.99);
    EXPECT_EQ(row.at("rate_mm_per_h"), "");
  }

  HeadlessRun untimed(plate, 3);
  ASSERT_EQ(untimed.run(selectAllAndCalibrate(plate) + spaceKeys(3)), 0);
  EXPECT_TRUE(
      testing::contains(readFile(untimed.dir().file("out_growth.csv")),
                        ",rate_px_per_h,rate_mm_per_h,r2,growth_mm,suspect_left_out,time_unit\n"));
}

// The figure in its three forms: an SVG that parses, a PDF a reader opens and whose text names
// the labels and the axes, and a 300 dpi PNG of the stated size.
TEST(GrowthFigure, SvgPdfAndPngShowOneLinePerHypocotyl) {
  PlateSpec plate;
  plate.cols = 3;
  HeadlessRun run(plate, 4);
  testing::writeFile(run.dir().file("layout.csv"), "row,col,label\n1,1,a & b\n1,2,<c>\n");
  ASSERT_EQ(run.run(selectAllAndCalibrate(plate) + spaceKeys(4),
                    {"--layout=" + run.dir().file("layout.csv")}),
            0);
  const std::string svg = run.dir().file("out_growth.svg");
  // xmllint and pdftotext come with the test set-up (libxml2-utils, poppler-utils).
  EXPECT_EQ(std::system(("xmllint --noout " + svg).c_str()), 0);
  // Each hypocotyl is one thin line in the length panel and one in the elongation panel.
  const std::string text = readFile(svg);
  std::size_t lines = 0;
  for (std::size_t at = text.find("stroke-width:0.8;"); at != std::string::npos;
       at = text.find("stroke-width:0.8;", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 6u);

  const std::string pdf = run.dir().file("out_growth.pdf");
  const std::string words = run.dir().file("words.txt");
  ASSERT_EQ(std::system(("pdftotext " + pdf + " " + words).c_str()), 0);
  const std::string shown = readFile(words);
  for (const char* expected :
       {"out", "a & b (n=1)", "<c> (n=1)", "(no label) (n=1)", "elongation (px)", "image"}) {
    EXPECT_TRUE(testing::contains(shown, expected)) << expected << " in\n" << shown;
  }
  // The bases hang where the contours were seeded: the lengths are the contours', not yet
  // whole hypocotyls' (row bottoms would make them so).
  EXPECT_TRUE(testing::contains(shown, "contour length (px)")) << shown;

  const cv::Mat png = cv::imread(run.dir().file("out_growth.png"));
  ASSERT_FALSE(png.empty());
  EXPECT_EQ(png.cols, 3000);
  EXPECT_EQ(png.rows, 1350);
}

}  // namespace
}  // namespace stemscan
