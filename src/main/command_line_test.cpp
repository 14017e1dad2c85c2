#include "main/command_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "gui/scripted_window_system.h"
#include "plate_analyzer/plate_analyzer.h"
#include "support/headless_run.h"
#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::CapturedOutput;
using testing::contains;

struct Applied {
  std::string echo;
  bool trace = false;
  bool base = false;
  bool saving = false;
  std::string prefix;
  std::string extension;
  int maxGrowth = 0;
};

Applied apply(const std::vector<std::string>& options) {
  std::vector<std::string> args = {"img00.png", "2", "3", "out"};
  args.insert(args.end(), options.begin(), options.end());
  const ParseResult parsed = parseCommandLine(args, "/prog");
  EXPECT_TRUE(parsed.settings) << parsed.message;
  std::ostringstream messages;
  ScriptedWindowSystem windows(SessionScript(), messages);
  RandomSource random(1);
  PlateAnalyzer analyzer(2, 3, 10, windows, random);
  std::ostringstream echo;
  applyOptions(*parsed.settings, analyzer, echo);
  const PlateAnalyzer::Options set = analyzer.options();
  return {echo.str(),       set.trace,     set.moving_base, set.save_images,
          set.image_prefix, set.image_ext, set.maxGrowth};
}

TEST(CommandLine, PositionalArgumentsAndSampleRun) {
  ParseResult parsed = parseCommandLine({"plate07.png", "2", "6", "res/plate1"}, "/prog");
  ASSERT_TRUE(parsed.settings);
  EXPECT_EQ(parsed.settings->image_path, "plate07.png");
  EXPECT_EQ(parsed.settings->nb_rows, 2);
  EXPECT_EQ(parsed.settings->nb_cols, 6);
  EXPECT_EQ(parsed.settings->out_base, "res/plate1");

  parsed = parseCommandLine({}, "/opt/stemscan");
  ASSERT_TRUE(parsed.settings);
  EXPECT_TRUE(parsed.settings->sample_run);
  EXPECT_EQ(parsed.settings->nb_rows * 10 + parsed.settings->nb_cols, 16);
  EXPECT_EQ(parsed.settings->image_path, "/opt/stemscan/images/sample/sample00.png");
  EXPECT_EQ(parsed.settings->out_base, "/opt/stemscan/results");
}

TEST(CommandLine, OptionsAreEchoedAndAppliedInOrder) {
  const Applied all =
      apply({"cot=xyz", "--trace", "--growth=12", "--base", "imagefile=./out/track.png"});
  const std::string unknown =
      "time: unknown (--interval=MINUTES or --times=FILE give one)\n"
      "scale: unknown, lengths in pixels (--px-per-mm, --dpi or 'm' set one)\n";
  EXPECT_EQ(all.echo, "xyz\ntracing\nmax growth: 12\nmoving base\n./out/track.png\n" + unknown);
  EXPECT_TRUE(all.trace);
  EXPECT_TRUE(all.base);
  EXPECT_EQ(all.maxGrowth, 12);
  EXPECT_TRUE(all.saving);
  EXPECT_EQ(all.prefix, "./out/track");  // its folder is kept
  EXPECT_EQ(all.extension, "png");

  const Applied none = apply({});
  EXPECT_EQ(none.echo, unknown);
  EXPECT_FALSE(none.trace || none.base || none.saving);
  EXPECT_EQ(none.maxGrowth, 5);

  // The value is all after the first "=", and cot may be given more than once.
  EXPECT_EQ(apply({"cot=a=b", "cot=c"}).echo, "a=b\nc\n" + unknown);
}

TEST(CommandLine, OverlayNamesKeepTheFolder) {
  const auto name = [](const std::string& value) {
    const std::optional<OverlayName> split = splitOverlayName(value);
    return split ? split->prefix + "|" + split->extension : std::string("none");
  };
  EXPECT_EQ(name("out/track.png"), "out/track|png");
  EXPECT_EQ(name("./out/track.png"), "./out/track|png");
  EXPECT_EQ(name("out/track.tif.bak"), "out/track.tif|bak");
  EXPECT_EQ(name("ov.v2.png"), "ov.v2|png");
  EXPECT_EQ(name("my.results/run.1/track.jpeg"), "my.results/run.1/track|jpeg");
  EXPECT_EQ(name("track"), "none");
  EXPECT_EQ(name("trackpng"), "none");
  EXPECT_EQ(name("out.d/track"), "none");
  EXPECT_EQ(overlayFileName("out/track", 7, "png"), "out/track007.png");
  EXPECT_EQ(overlayFileName("out/track", 1234, "png"), "out/track1234.png");
}

struct Refusal {
  std::vector<std::string> args;
  int status;
  std::string message;
};

TEST(CommandLine, RefusedInputsSayWhyAndExitWithStatus) {
  const std::vector<Refusal> cases = {
      {{"a"}, 2, "usage: ./stemScan <image_file_name>"},
      {{"a", "b"}, 2, "usage: ./stemScan"},
      {{"a", "b", "c"}, 2, "usage: ./stemScan"},
      {{"img.png", "0", "3", "out"}, 2, "invalid grid 0 x 3"},
      {{"img.png", "-2", "3", "out"}, 2, "invalid grid"},
      {{"img.png", "two", "3", "out"}, 2, "invalid grid"},
      {{"img.png", "2", "3x", "out"}, 2, "invalid grid"},
      {{"img.png", "200", "200", "out"}, 2, "at most 10000 hypocotyls"},
      {{"img.png", "1", "6", "out", "--growth"}, 2, "option --growth needs a value"},
      {{"img.png", "1", "6", "out", "cot"}, 2, "option cot needs a value"},
      {{"img.png", "1", "6", "out", "imagefile="}, 2, "option imagefile needs a value"},
      {{"img.png", "1", "6", "out", "--growth=abc"}, 2, "invalid --growth value abc"},
      {{"img.png", "1", "6", "out", "--growth=0"}, 2, "invalid --growth value 0"},
      {{"img.png", "1", "6", "out", "--growth=-3"}, 2, "invalid --growth value -3"},
      {{"img.png", "1", "6", "out", "imagefile=track"},
       2,
       "cannot find extension in filename track"},
      {{"img.png", "1", "6", "out", "--seed=x"}, 2, "invalid --seed value x"},
      {{"img.png", "1", "6", "out", "--script=/no/such/script.txt"},
       2,
       "the session script /no/such/script.txt is not a readable file"},
      {{"img.png", "1", "6", "out", "--script=/tmp"}, 2, "/tmp is not a readable file"},
      {{"img.png", "1", "6", "out", "--scirpt=s.txt"},
       2,
       "unknown option --scirpt=s.txt; the options are imagefile="},
      {{"img.png", "1", "6", "out", "-trace"}, 2, "unknown option -trace"},
      {{"img.png", "1", "6", "out", "--base=no"}, 2, "option --base takes no value"},
      {{"img.png", "1", "6", "out", "--trace="}, 2, "option --trace takes no value"},
      // Numbers that would make the tables' times or millimetres infinite.
      {{"img.png", "1", "6", "out", "--interval=1e308"}, 2, "invalid --interval value 1e308"},
      {{"img.png", "1", "6", "out", "--px-per-mm=1e-310"}, 2, "invalid --px-per-mm value"},
      {{"img.png", "1", "6", "out", "--dpi=1e-320"}, 2, "invalid --dpi value 1e-320"},
      {{"img.png", "1", "6", "out", "--dpi=inf"}, 2, "invalid --dpi value inf"},
      // Out names that cannot be a base name.
      {{"img.png", "1", "6", ""}, 2, "the out name is empty"},
      {{"img.png", "1", "6", "/tmp"}, 2, "the out name /tmp is a folder"},
      {{"img.png", "1", "6", "results/"}, 2, "is a folder"},
      // An option given twice: which one was meant?
      {{"img.png", "1", "6", "out", "--seed=1", "--seed=2"}, 2, "option --seed is given twice"},
      {{"img.png", "1", "6", "out", "--interval=5", "--interval=6"},
       2,
       "--interval is given twice"},
      {{"img.png", "1", "6", "out", "imagefile=a.png", "imagefile=b.png"}, 2, "given twice"},
      {{"img.png", "1", "6", "out", "--refine", "--refine"}, 2, "--refine is given twice"},
  };
  for (const Refusal& refusal : cases) {
    CapturedOutput output;
    const int status = stemScanMain(refusal.args, "/prog");
    EXPECT_EQ(status, refusal.status) << refusal.args.size();
    EXPECT_TRUE(contains(output.out() + output.err(), refusal.message))
        << output.out() << output.err();
  }
}

TEST(CommandLine, HelpAndVersionPrintWithStatusZero) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"img.png", "1", "6", "out", "-h"}}) {
    CapturedOutput output;
    EXPECT_EQ(stemScanMain(args, "/prog"), 0);
    for (const char* option : {"imagefile=", "--trace", "--growth=", "--base", "--refine",
                               "cot=", "--script=", "--seed=", "--record=", "--interval=",
                               "--times=", "--layout=", "--px-per-mm=", "--dpi=", "--version"}) {
      EXPECT_TRUE(contains(output.out(), option)) << option;
    }
    EXPECT_TRUE(output.err().empty());
  }
  CapturedOutput output;
  EXPECT_EQ(stemScanMain({"--version"}, "/prog"), 0);
  EXPECT_TRUE(contains(output.out(), std::string("stemScan ") + kVersion));
}

TEST(CommandLine, ValuesKeepEveryEqualsSignAndTheRecordReplaysAnyArgument) {
  const ParseResult parsed =
      parseCommandLine({"img.png", "1", "6", "out", "--record=my=run.txt"}, "/prog");
  ASSERT_TRUE(parsed.settings);
  EXPECT_EQ(parsed.settings->record_path, "my=run.txt");

  // A newline in an argument stays inside the record's first line, and the record replays.
  testing::TempDir dir;
  testing::PlateSpec plate;
  plate.cols = 1;
  const std::string first = testing::writeSequence(
      dir.path(), "p", 2, [&](int t) { return testing::seedlingPlate(plate, t); });
  testing::writeFile(dir.file("s.txt"), testing::selectAllAndCalibrate(plate));
  {
    CapturedOutput output;
    ASSERT_EQ(stemScanMain({first, "1", "1", dir.file("a"), "cot=two\nlines 'quoted'",
                            "--script=" + dir.file("s.txt"), "--record=" + dir.file("r.txt")},
                           dir.path()),
              0);
  }
  const std::vector<std::string> record = testing::lines(testing::readFile(dir.file("r.txt")));
  ASSERT_GE(record.size(), 3u);
  EXPECT_TRUE(contains(record[0], "$'cot=two\\x0alines \\'quoted\\''")) << record[0];
  EXPECT_EQ(record[1].rfind("# StemScan session record", 0), 0u) << record[1];
  CapturedOutput output;
  EXPECT_EQ(
      stemScanMain({first, "1", "1", dir.file("b"), "--script=" + dir.file("r.txt")}, dir.path()),
      0);
  EXPECT_EQ(testing::readFile(dir.file("a_len.txt")), testing::readFile(dir.file("b_len.txt")));
}

TEST(CommandLine, NoDisplayWithoutAScriptEndsBeforeAnyWindow) {
  const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  std::vector<std::pair<std::string, std::string>> saved;
  for (const char* name : names) {
    if (const char* value = std::getenv(name)) saved.emplace_back(name, value);
    unsetenv(name);
  }
  testing::TempDir dir;
  CapturedOutput output;
  const int status = stemScanMain({dir.file("img00.png"), "1", "6", dir.file("out")}, "/p");
  for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(contains(output.err(), "no display available: "));
  EXPECT_TRUE(contains(output.err(), "--script"));
  EXPECT_FALSE(testing::fileExists(dir.file("out_len.txt")));
}

TEST(CommandLine, MalformedScriptStopsBeforeAnythingRuns) {
  testing::TempDir dir;
  testing::writeFile(dir.file("s.txt"), "key q\nmouse StemScan fly 1 1\n");
  CapturedOutput output;
  const int status =
      stemScanMain({"img.png", "1", "6", dir.file("out"), "--script=" + dir.file("s.txt")}, "/p");
  EXPECT_EQ(status, 2);
  EXPECT_TRUE(contains(output.err(), "s.txt:2:"));
  EXPECT_FALSE(testing::fileExists(dir.file("out_len.txt")));
}

}  // namespace
}  // namespace stemscan
