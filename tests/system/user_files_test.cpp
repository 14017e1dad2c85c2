// The user's files around a run: inputs, files that happen to bear an output's name, links,
// and an earlier session record. None is ever replaced by what the run writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "main/command_line.h"
#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::PlateSpec;
using testing::readFile;
using testing::TempDir;

class UserFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    plate_.cols = 1;
    first_ = testing::writeSequence(dir_.path(), "plate", 3,
                                    [this](int t) { return testing::seedlingPlate(plate_, t); });
  }
  testing::SessionResult run(const std::string& out, const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {first_, "1", "1", dir_.file(out)};
    args.insert(args.end(), options.begin(), options.end());
    return testing::runSession(dir_, args, testing::selectAllAndCalibrate(plate_));
  }

  PlateSpec plate_;
  TempDir dir_;
  std::string first_;
};

TEST_F(UserFiles, AnOutputThatIsAnInputOfTheRunIsRefusedBeforeAnythingIsWritten) {
  const std::string layout = "row,col,label\n1,1,Col-0\n";
  testing::writeFile(dir_.file("p1.csv"), layout);
  testing::writeFile(dir_.file("old_session.txt"), "# recorded with: stemScan\nseed 1\n");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--layout=" + dir_.file("p1.csv")}, "is the layout (--layout)"},
      {{"--record=" + dir_.file("p1_len.txt")}, "is also a table of the run"},
      {{"--record=" + dir_.file("p1.csv")}, "is also an output of the run"},
      {{"--layout=" + dir_.file("p1.csv"), "--record=" + dir_.file("p1.csv")}, "p1.csv"},
      {{"--record=" + dir_.file("session.txt")}, "is the session script (--script)"},
  };
  for (const auto& [options, message] : cases) {
    const auto result = run("p1", options);
    EXPECT_EQ(result.status, 2) << message;
    EXPECT_TRUE(contains(result.err, message)) << result.err;
    EXPECT_EQ(readFile(dir_.file("p1.csv")), layout);
    EXPECT_FALSE(testing::fileExists(dir_.file("p1_len.txt")));
  }
}

TEST_F(UserFiles, OfTheOutputsNamesAreLeftAloneAndNamed) {
  // A user's table, figures, a folder and a link, each where an output would go.
  testing::writeFile(dir_.file("victim.txt"), "keep me\n");
  const std::vector<std::pair<std::string, std::string>> userFiles = {
      {"res.csv", "genotype,height\nCol-0,3\n"},
      {"res_growth.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n"},
      {"res_growth.pdf", "%PDF-1.4\n% a figure of mine\n"},
      {"res_growth.png", std::string("\x89PNG\r\n\x1a\n", 8) + "mine"},
      {"res_growth.csv", "hypocotyl,my own notes\n"}};
  for (const auto& [name, text] : userFiles) {
    testing::writeFile(dir_.file(name), text);
    const auto result = run("res");
    EXPECT_EQ(result.status, 2) << name;
    EXPECT_TRUE(contains(result.err, dir_.file(name) + " exists and was not written by StemScan"))
        << result.err;
    EXPECT_TRUE(contains(result.err, "move it away or choose another out name"));
    EXPECT_EQ(readFile(dir_.file(name)), text);
    std::filesystem::remove(dir_.file(name));
  }
  std::filesystem::create_directory(dir_.file("res_contours.csv"));
  EXPECT_EQ(run("res").status, 2);
  std::filesystem::remove(dir_.file("res_contours.csv"));
  ASSERT_EQ(symlink(dir_.file("victim.txt").c_str(), dir_.file("res.csv").c_str()), 0);
  EXPECT_EQ(run("res").status, 2);
  std::filesystem::remove(dir_.file("res.csv"));

  // StemScan's own outputs are replaced by a new run.
  ASSERT_EQ(run("res").status, 0);
  const auto again = run("res");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(readFile(dir_.file("victim.txt")), "keep me\n");
}

TEST_F(UserFiles, LinksBesideTheTablesAreNeverWrittenThrough) {
  testing::writeFile(dir_.file("victim.txt"), "keep me\n");
  // At the temporary name of old, and at a table itself: the link is replaced, not followed.
  ASSERT_EQ(symlink(dir_.file("victim.txt").c_str(), dir_.file("res_len.txt.tmp").c_str()), 0);
  ASSERT_EQ(symlink(dir_.file("victim.txt").c_str(), dir_.file("res_tip.txt").c_str()), 0);
  const auto result = run("res");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(readFile(dir_.file("victim.txt")), "keep me\n");
  EXPECT_EQ(testing::lines(readFile(dir_.file("res_len.txt"))).size(), 3u);
  EXPECT_FALSE(std::filesystem::is_symlink(dir_.file("res_tip.txt")));
}

TEST_F(UserFiles, ARunRefusedAtItsStartLeavesTheEarlierRecordAsItWas) {
  const std::string record = "# recorded with: stemScan plate00.png 1 1 res\nseed 7\nkey space\n";
  testing::writeFile(dir_.file("mysession.txt"), record);
  testing::writeFile(dir_.file("notes.txt"), "my notes\n");
  testing::CapturedOutput output;
  // A mistyped first image, then a record file that is not a session record.
  testing::writeFile(dir_.file("s.txt"), "key space\n");
  EXPECT_EQ(
      stemScanMain({dir_.file("plaet00.png"), "1", "1", dir_.file("res"),
                    "--script=" + dir_.file("s.txt"), "--record=" + dir_.file("mysession.txt")},
                   dir_.path()),
      1);
  EXPECT_EQ(readFile(dir_.file("mysession.txt")), record);
  const auto refused = run("res", {"--record=" + dir_.file("notes.txt")});
  EXPECT_EQ(refused.status, 2);
  EXPECT_TRUE(contains(refused.err, "is not a session record"));
  EXPECT_EQ(readFile(dir_.file("notes.txt")), "my notes\n");
  EXPECT_EQ(readFile(dir_.file("mysession.txt")), record);
}

}  // namespace
}  // namespace stemscan
