// A biologist's own time-lapse: camera names with gaps, the time of each image, the plate
// layout and the scale, each checked before a window opens.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <opencv2/imgcodecs.hpp>

#include "main/command_line.h"
#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::PlateSpec;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

// Three time-stamped photographs of a 1 x 2 plate, one dropped between the second and third.
class TimeStamped : public ::testing::Test {
 protected:
  void SetUp() override {
    plate_.cols = 2;
    const char* names[] = {"t009000.png", "t009900.png", "t011700.png"};
    for (int t = 0; t < 3; ++t) {
      cv::imwrite(dir_.file(names[t]), testing::seedlingPlate(plate_, t));
    }
  }
  testing::SessionResult run(const std::string& script, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {dir_.file("t009000.png"), "1", "2", dir_.file("out")};
    args.insert(args.end(), options.begin(), options.end());
    return testing::runSession(dir_, args, script);
  }

  PlateSpec plate_;
  TempDir dir_;
};

TEST_F(TimeStamped, AnalysesEveryImageAcrossTheGapAndWalksBackOverIt) {
  const auto result = run(testing::selectAllAndCalibrate(plate_) +
                              "key space\nkey space\nkey b\nkey b\nkey n\nkey n\nkey space\n",
                          {"--interval=15"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(contains(result.out, "sequence: 3 images, from " + dir_.file("t009000.png") + " to " +
                                       dir_.file("t011700.png")));
  EXPECT_TRUE(contains(result.out, "time step: 15 min\n"));
  EXPECT_TRUE(contains(result.out, "back to present"));
  const auto lines = testing::lines(readFile(dir_.file("out_len.txt")));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2].find("nan"), std::string::npos);
}

TEST_F(TimeStamped, TimesFromAFileMustListExactlyTheSequence) {
  writeFile(dir_.file("times.csv"), "file,time_h\nt009000.png,0\nt009900.png,0.25\n");
  auto result = run("", {"--times=" + dir_.file("times.csv")});
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(contains(result.err, "gives no time for the image " + dir_.file("t011700.png")));
  EXPECT_FALSE(contains(result.out, "initializing display"));

  writeFile(dir_.file("times.csv"),
            "t009000.png,0\nt009900.png,0.25\nt010800.png,0.5\nt011700.png,0.75\n");
  result = run("", {"--times=" + dir_.file("times.csv")});
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(contains(result.err, "lists t010800.png, which is not an image of the sequence"));

  writeFile(dir_.file("times.csv"), "t009000.png,0\nt009900.png,0.25\nt011700.png,0.75\n");
  result = run(testing::selectAllAndCalibrate(plate_), {"--times=" + dir_.file("times.csv")});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(contains(result.out, "times: 3 images listed in "));
}

TEST_F(TimeStamped, TimesFromASpreadsheetAreReadAndMistakesNamedByLine) {
  // "CSV UTF-8" from a spreadsheet: a byte-order mark, Windows line ends, a blank line first.
  writeFile(dir_.file("times.csv"),
            "\xEF\xBB\xBF\r\nfile,time_h\r\nt009000.png,0\r\nt009900.png,0.25\r\n"
            "t011700.png,0.75\r\n");
  auto result = run(testing::selectAllAndCalibrate(plate_), {"--times=" + dir_.file("times.csv")});
  EXPECT_EQ(result.status, 0) << result.err;

  const std::vector<std::pair<std::string, std::string>> wrong = {
      {"t009000.png,0\nt009900.png,0.25\nt009900.png,0.5\nt011700.png,0.75\n",
       "times.csv:3: t009900.png is listed twice (first on line 2)"},
      {"t009000.png,0\nt009900.png,0.5\nt011700.png,0.25\n",
       "times.csv:3: t011700.png is at 0.25 h, before t009900.png (0.5 h)"},
      {"t009000.png,0\nt009900.png,1e17\nt011700.png,2e17\n", "times.csv:2: the time 1e17 h is"},
  };
  for (const auto& [text, message] : wrong) {
    writeFile(dir_.file("times.csv"), text);
    result = run("", {"--times=" + dir_.file("times.csv")});
    EXPECT_EQ(result.status, 2) << text;
    EXPECT_TRUE(contains(result.err, message)) << result.err;
  }
}

TEST_F(TimeStamped, AnInputThatIsAPipeIsRefusedInsteadOfWaitedOn) {
  ASSERT_EQ(mkfifo(dir_.file("times.csv").c_str(), 0644), 0);
  ASSERT_EQ(mkfifo(dir_.file("pipe00.png").c_str(), 0644), 0);
  auto result = run("", {"--times=" + dir_.file("times.csv")});
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(contains(result.err, "times.csv: not a regular file")) << result.err;
  testing::CapturedOutput output;
  EXPECT_EQ(stemScanMain({dir_.file("pipe00.png"), "1", "1", dir_.file("out"),
                          "--script=" + dir_.file("session.txt")},
                         dir_.path()),
            1);
  EXPECT_TRUE(contains(output.err(), "cannot read the first image " + dir_.file("pipe00.png")));
}

TEST_F(TimeStamped, TheScriptRunningOutWhileTheScaleWaitsForItsLengthEndsTheRun) {
  const auto result =
      run(testing::selectAllAndCalibrate(plate_) +
          "key m\nmouse StemScan ldown 10 200\nmouse StemScan ldown 110 200\nkey 2\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(
      contains(result.err, "the session script ended while the scale waited for its length"));
  EXPECT_EQ(testing::lines(readFile(dir_.file("out_len.txt"))).size(), 1u);
}

TEST_F(TimeStamped, TheScaleIsMeasuredOnARulerAndRecorded) {
  const std::string script = testing::selectAllAndCalibrate(plate_) +
                             "key m\n"
                             "mouse StemScan ldown 10 200\n"
                             "mouse StemScan ldown 110 200\n"
                             "key 2\nkey 0\nkey enter\n" +
                             testing::spaceKeys(3);
  const auto result = run(script, {"--record=" + dir_.file("record.txt")});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(contains(result.out, "scale: 100 px; type that length in mm"));
  EXPECT_TRUE(contains(result.out, "scale: 5 px/mm\n"));
  const std::string record = readFile(dir_.file("record.txt"));
  EXPECT_EQ(record.rfind("# recorded with: stemScan " + dir_.file("t009000.png") + " 1 2 ", 0), 0u)
      << record;
  EXPECT_TRUE(contains(record, "key 2\nkey 0\nkey enter\n"));
}

TEST(ExperimentOptions, ALayoutKeepsItsLabelsAsText) {
  TempDir dir;
  writeFile(dir.file("layout.csv"), "row,col,label\n1,1,007\n2,3,\"Col-0, wt\"\n");
  const ParseResult parsed = parseCommandLine(
      {"p00.png", "2", "3", "out", "--layout=" + dir.file("layout.csv"), "--dpi=254"}, "/p");
  ASSERT_TRUE(parsed.settings) << parsed.message;
  const Experiment& experiment = parsed.settings->experiment;
  EXPECT_EQ(experiment.labelOf(0), "007");
  EXPECT_EQ(experiment.labelOf(5), "Col-0, wt");
  EXPECT_EQ(experiment.labelOf(1), "");
  EXPECT_EQ(experiment.labelCount(), 2);
  EXPECT_NEAR(*experiment.px_per_mm, 10.0, 1e-9);
  EXPECT_TRUE(contains(describe(experiment), "layout: 2 labels\n"));
}

TEST(ExperimentOptions, BadValuesAreRefusedNamingThem) {
  TempDir dir;
  writeFile(dir.file("outside.csv"), "row,col,label\n1,1,a\n3,1,b\n");
  writeFile(dir.file("twice.csv"), "row,col,label\n1,2,a\n1,2,b\n");
  writeFile(dir.file("headless.csv"), "1,1,a\n");
  writeFile(dir.file("garbled.csv"), "row,col,label\n1;1;a\n");
  writeFile(dir.file("times.csv"), "file,time_h\na.png,zero\n");
  writeFile(dir.file("bom.csv"), "\xEF\xBB\xBFrow,col,label\n1,1,Col-0\n");
  writeFile(dir.file("control.csv"), "row,col,label\n1,1,a\x01b\n");
  writeFile(dir.file("latin1.csv"), "row,col,label\n1,1,\xE9t\xE9\n");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--interval=0", "invalid --interval value 0"},
      {"--interval=abc", "invalid --interval value abc"},
      {"--px-per-mm=-2", "invalid --px-per-mm value -2"},
      {"--dpi=many", "invalid --dpi value many"},
      {"--layout=" + dir.file("outside.csv"), "outside.csv:3: row 3, column 1 is outside"},
      {"--layout=" + dir.file("twice.csv"), "twice.csv:3: row 1, column 2 is listed twice"},
      {"--layout=" + dir.file("headless.csv"), "the first line must be the header"},
      {"--layout=" + dir.file("garbled.csv"), "garbled.csv:2: cannot read this line"},
      {"--layout=" + dir.file("none.csv"), "cannot read " + dir.file("none.csv")},
      {"--times=" + dir.file("times.csv"), "times.csv:2: cannot read this line"},
      {"--layout=" + dir.file("control.csv"), "control.csv:2: the label holds a control"},
      {"--layout=" + dir.file("latin1.csv"), "latin1.csv:2: the label holds bytes that are not"},
  };
  for (const auto& [option, message] : cases) {
    const ParseResult parsed = parseCommandLine({"p00.png", "2", "3", "out", option}, "/p");
    EXPECT_EQ(parsed.status, 2) << option;
    EXPECT_TRUE(contains(parsed.message, message)) << option << ": " << parsed.message;
  }
  EXPECT_TRUE(contains(
      parseCommandLine({"p00.png", "2", "3", "out", "--dpi=300", "--px-per-mm=4"}, "/p").message,
      "not both"));
  EXPECT_TRUE(
      parseCommandLine({"p00.png", "2", "3", "out", "--layout=" + dir.file("bom.csv")}, "/p")
          .settings);
  writeFile(dir.file("good.csv"), "p00.png,0\n");
  EXPECT_TRUE(contains(
      parseCommandLine(
          {"p00.png", "2", "3", "out", "--interval=5", "--times=" + dir.file("good.csv")}, "/p")
          .message,
      "give the time once: --interval, --times or --time-from"));
}

}  // namespace
}  // namespace stemscan
