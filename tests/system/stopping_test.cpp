// StemScan as a process, stopped from outside while it analyses: by a signal, which ends the
// run in order, or by a kill, which must still leave whole lines in every table.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/headless_run.h"

namespace stemscan {
namespace {

using testing::contains;
using testing::PlateSpec;
using testing::readFile;

const char* const kSuffixes[] = {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt"};

// A long sequence of two seedlings and a session that selects them.
class StoppedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    plate_.cols = 2;
    plate_.width = 160;
    plate_.height = 120;
    plate_.length = 40;
    plate_.growth = 0.05f;
    first_ = testing::writeSequence(dir_.path(), "p", 400,
                                    [this](int t) { return testing::seedlingPlate(plate_, t); });
    testing::writeFile(dir_.file("s.txt"), testing::selectAllAndCalibrate(plate_));
  }

  // Starts StemScan; returns once it has printed the name of image `image`, or has ended.
  void start(int image, const std::vector<std::string>& extra = {},
             const std::function<void()>& inChild = {}) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    std::vector<std::string> args = {
        STEMSCAN_BINARY, first_, "1", "2", dir_.file("out"), "--script=" + dir_.file("s.txt"),
        "--seed=3"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      if (inChild) inChild();
      dup2(pipeEnds[1], 1);
      std::freopen(dir_.file("err.txt").c_str(), "w", stderr);
      close(pipeEnds[0]);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(pipeEnds[1]);
    output_ = fdopen(pipeEnds[0], "r");
    char number[8];
    std::snprintf(number, sizeof number, "%02d", image);
    const std::string wanted = dir_.file(std::string("p") + number + ".png");
    char line[4096];
    while (std::fgets(line, sizeof line, output_) != nullptr) {
      if (std::string(line) == wanted + "\n") return;
    }
  }

  // Sends the signal, reads the rest of the output and returns the wait status.
  int stop(int signal) {
    kill(pid_, signal);
    char line[4096];
    while (std::fgets(line, sizeof line, output_) != nullptr) rest_ += line;
    std::fclose(output_);
    int status = 0;
    waitpid(pid_, &status, 0);
    return status;
  }

  // Every table whole and of the same number of lines; that number.
  std::size_t wholeTables() const {
    const std::size_t rows = tableLines("_len.txt").size();
    for (const char* suffix : kSuffixes) {
      const std::string text = readFile(dir_.file(std::string("out") + suffix));
      EXPECT_TRUE(text.empty() || text.back() == '\n') << suffix;
      EXPECT_EQ(tableLines(suffix).size(), rows) << suffix;
    }
    return rows;
  }

  std::vector<std::string> tableLines(const char* suffix) const {
    const std::string path = dir_.file(std::string("out") + suffix);
    return testing::fileExists(path) ? testing::lines(readFile(path)) : std::vector<std::string>();
  }

  PlateSpec plate_;
  testing::TempDir dir_;
  std::string first_;
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
  std::string rest_;
};

TEST_F(StoppedRun, BySigintOrSigtermWritesEveryTableAndSaysSo) {
  for (int signal : {SIGINT, SIGTERM}) {
    start(30, {"--record=" + dir_.file("record.txt")});
    const int status = stop(signal);
    ASSERT_TRUE(WIFEXITED(status)) << signal;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    const std::string err = readFile(dir_.file("err.txt"));
    EXPECT_TRUE(contains(err, signal == SIGINT ? "stopped by SIGINT" : "stopped by SIGTERM"))
        << err;
    EXPECT_TRUE(contains(rest_, "tables written: " + dir_.file("out_len.txt"))) << rest_;
    const std::size_t rows = tableLines("_len.txt").size();
    EXPECT_GE(rows, 30u);
    for (const char* suffix : kSuffixes) EXPECT_EQ(tableLines(suffix).size(), rows) << suffix;
    const std::string record = readFile(dir_.file("record.txt"));
    EXPECT_EQ(record.back(), '\n');
    rest_.clear();
  }
}

TEST_F(StoppedRun, UnderNohupRunsOnAfterSighupToTheEnd) {
  start(10, {}, [] { signal(SIGHUP, SIG_IGN); });
  const int status = stop(SIGHUP);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(contains(readFile(dir_.file("err.txt")), "SIGHUP"));
  EXPECT_EQ(wholeTables(), 400u);
}

TEST_F(StoppedRun, BySecondSigtermOrSighupStillWritesEveryTable) {
  // timeout and process managers send a signal twice (to the program and to its group).
  for (int signal : {SIGTERM, SIGHUP, SIGTERM}) {
    start(20);
    kill(pid_, signal);
    kill(pid_, signal);
    const int status = stop(signal);
    ASSERT_TRUE(WIFEXITED(status)) << "ended abruptly by signal " << signal;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    EXPECT_GE(wholeTables(), 20u);
    rest_.clear();
  }
}

TEST_F(StoppedRun, WithItsOutputPipeClosedRunsOnToTheEnd) {
  // As `stemScan ... | head`: the reader goes away, and every later line written fails.
  start(10);
  std::fclose(output_);
  int status = 0;
  waitpid(pid_, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(wholeTables(), 400u);
}

TEST_F(StoppedRun, AtAFileSizeLimitFailsTheWriteAndSaysSo) {
  // A limit of 6 kB: the tables outgrow it after a few dozen images.
  start(2, {}, [] {
    const rlimit limit{6000, 6000};
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  const int status = stop(0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_TRUE(contains(readFile(dir_.file("err.txt")), "cannot write file "));
  for (const char* suffix : kSuffixes) {
    const std::string text = readFile(dir_.file(std::string("out") + suffix));
    EXPECT_TRUE(text.empty() || text.back() == '\n') << suffix;
  }
}

TEST_F(StoppedRun, ByKillAtAnyMomentLeavesOnlyWholeLines) {
  std::random_device entropy;
  std::mt19937 random(entropy());
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int image = 5 + static_cast<int>(random() % 60);
    const int delayUs = static_cast<int>(random() % 4000);
    start(image);
    usleep(delayUs);
    const int status = stop(SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(status));
    std::vector<std::size_t> rows;
    for (const char* suffix : kSuffixes) {
      const std::string path = dir_.file(std::string("out") + suffix);
      if (!testing::fileExists(path)) continue;
      const std::string text = readFile(path);
      rows.push_back(testing::lines(text).size());
      ASSERT_TRUE(text.empty() || text.back() == '\n')
          << suffix << " killed after image " << image << " + " << delayUs << " us";
      const int groups = (suffix[1] == 'l' || suffix[1] == 'o') ? 2 : 4;  // values per line
      for (const std::string& line : testing::lines(text)) {
        std::istringstream values(line);
        int n = 0;
        for (std::string v; values >> v;) ++n;
        ASSERT_EQ(n, groups) << suffix << ": " << line;
      }
    }
    // Each table holds every image stored before the one in progress.
    for (std::size_t r : rows) EXPECT_GE(r + 1, static_cast<std::size_t>(image)) << image;
  }
}

}  // namespace
}  // namespace stemscan
