// What the program writes for the built-in sample and for cry1, byte for byte, against the
// golden files in tests/golden (scripts/regenerate_golden.sh writes them anew, on purpose).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/synthetic.h"

namespace stemscan {
namespace {

using testing::readFile;

// Compares what the program wrote with a golden file; with STEMSCAN_REGENERATE_GOLDEN set (as
// scripts/regenerate_golden.sh sets it), writes the golden file anew instead.
void expectGolden(const std::string& actual, const std::string& golden, const std::string& what) {
  if (std::getenv("STEMSCAN_REGENERATE_GOLDEN") != nullptr) {
    testing::writeFile(golden, actual);
    return;
  }
  EXPECT_EQ(actual, readFile(golden)) << what;
}

TEST(DefaultFit, TablesOfTheSamplePlateStayAsTheyWere) {
  // The tables the default fit gave for the built-in sample before the refined fit existed.
  const std::string golden = std::string(STEMSCAN_SOURCE_DIR) + "/tests/golden/sample";
  const std::string sample = std::string(STEMSCAN_BINARY_DIR) + "/images/sample";
  if (!testing::fileExists(sample + "/sample00.png")) GTEST_SKIP() << "no sample at " << sample;
  testing::TempDir dir;
  const auto result =
      testing::runSession(dir, {sample + "/sample00.png", "1", "6", dir.file("out"), "--seed=1"},
                          readFile(sample + "/demo_session.txt"));
  ASSERT_EQ(result.status, 0) << result.err;
  for (const char* suffix : {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt"}) {
    expectGolden(readFile(dir.file(std::string("out") + suffix)), golden + suffix, suffix);
  }

  const std::string cry1 = std::string(STEMSCAN_DATA_DIR) + "/cry1";
  if (!testing::fileExists(cry1 + "/1.TIF")) GTEST_SKIP() << "no cry1 photographs at " << cry1;
  const auto real = testing::runSession(
      dir, {cry1 + "/1.TIF", "1", "5", dir.file("cry1")},
      readFile(std::string(STEMSCAN_SOURCE_DIR) + "/examples/cry1_session.txt"));
  ASSERT_EQ(real.status, 0) << real.err;
  const std::string cry1Golden = std::string(STEMSCAN_SOURCE_DIR) + "/tests/golden/cry1";
  for (const char* suffix : {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt"}) {
    expectGolden(readFile(dir.file(std::string("cry1") + suffix)), cry1Golden + suffix, suffix);
  }
}

TEST(RefinedFit, TablesOfCry1StayAsTheyWere) {
  const std::string cry1 = std::string(STEMSCAN_DATA_DIR) + "/cry1";
  if (!testing::fileExists(cry1 + "/1.TIF")) GTEST_SKIP() << "no cry1 photographs at " << cry1;
  testing::TempDir dir;
  const auto real = testing::runSession(
      dir, {cry1 + "/1.TIF", "1", "5", dir.file("cry1"), "--refine"},
      readFile(std::string(STEMSCAN_SOURCE_DIR) + "/examples/cry1_session.txt"));
  ASSERT_EQ(real.status, 0) << real.err;
  const std::string golden = std::string(STEMSCAN_SOURCE_DIR) + "/tests/golden/cry1_refine";
  for (const char* suffix : {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt"}) {
    expectGolden(readFile(dir.file(std::string("cry1") + suffix)), golden + suffix, suffix);
  }
}

// 64-bit FNV-1a of a file's bytes.
std::string checksum(const std::string& path) {
  uint64_t h = 0xcbf29ce484222325ULL;
  for (unsigned char c : readFile(path)) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

TEST(UnchangedResults, RefinedTablesOverlaysAndRecordsOfTheSamplePlate) {
  // What the program wrote for the built-in sample before reading ahead, writing overlays
  // behind, thresholding once per value and detecting corners from one map (the refined tables:
  // as the refined fit that puts the top of a stem turning into a cotyledon on the stem's line
  // first wrote them).
  const std::string golden = std::string(STEMSCAN_SOURCE_DIR) + "/tests/golden/sample";
  const std::string sample = std::string(STEMSCAN_BINARY_DIR) + "/images/sample";
  if (!testing::fileExists(sample + "/sample00.png")) GTEST_SKIP() << "no sample at " << sample;
  const std::string session = readFile(sample + "/demo_session.txt");
  testing::TempDir dir;
  auto result = testing::runSession(
      dir, {sample + "/sample00.png", "1", "6", dir.file("refine"), "--seed=1", "--refine"},
      session);
  ASSERT_EQ(result.status, 0) << result.err;
  for (const char* suffix : {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt"}) {
    expectGolden(readFile(dir.file(std::string("refine") + suffix)), golden + "_refine" + suffix,
                 suffix);
  }

  result =
      testing::runSession(dir,
                          {sample + "/sample00.png", "1", "6", dir.file("ov"), "--seed=1",
                           "imagefile=" + dir.file("ov.png"), "--record=" + dir.file("record.txt")},
                          session);
  ASSERT_EQ(result.status, 0) << result.err;
  std::string sums;
  for (int t = 0; t < 30; ++t) {
    char name[16];
    std::snprintf(name, sizeof name, "ov%03d.png", t);
    sums += std::string(name) + " " + checksum(dir.file(name)) + "\n";
  }
  expectGolden(sums, golden + "_overlays.txt", "overlays");
  // The record's first two lines name this run's files.
  const std::string record = readFile(dir.file("record.txt"));
  const std::size_t third = record.find('\n', record.find('\n') + 1) + 1;
  expectGolden(record.substr(third), golden + "_record.txt", "record");
}

}  // namespace
}  // namespace stemscan
