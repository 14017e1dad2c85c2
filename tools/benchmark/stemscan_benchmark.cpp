// stemscan-benchmark: how right StemScan's measurements are. It renders plates under several
// conditions, analyses each headless with a session that selects the hypocotyls at their true
// tops and sets the row bottoms on their true bases, and compares the tables with the ground
// truth.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "main/command_line.h"
#include "tools/sample/evaluation.h"
#include "tools/sample/plate_renderer.h"

namespace {

using stemscan::sample::Accuracy;
using stemscan::sample::PlateSettings;

struct Condition {
  std::string name;
  PlateSettings plate;
  std::string format = "png";
  bool movingBase = false;  // the plate moves: let the bases follow it (--base)
};

std::vector<Condition> conditions() {
  std::vector<Condition> all;
  const auto add = [&all](const std::string& name, auto change) {
    Condition c;
    c.name = name;
    change(c);
    all.push_back(c);
  };
  add("1x6 default", [](Condition&) {});
  add("straight", [](Condition& c) { c.plate.curvature = 0.0f; });
  add("curved", [](Condition& c) { c.plate.curvature = 0.008f; });
  add("fast growth", [](Condition& c) { c.plate.growth = 5.0f; });
  add("drift", [](Condition& c) {
    c.plate.driftX = 1.5f;
    c.plate.driftY = -1.0f;
    c.movingBase = true;
  });
  add("rotation", [](Condition& c) {
    c.plate.rotation = 0.15f;
    c.movingBase = true;
  });
  add("strong noise", [](Condition& c) { c.plate.noise = 15.0f; });
  add("jpeg", [](Condition& c) { c.format = "jpg"; });
  add("4x12 grid", [](Condition& c) {
    c.plate.rows = 4;
    c.plate.cols = 12;
    c.plate.width = 1920;
    c.plate.height = 1280;
  });
  return all;
}

struct Outcome {
  Accuracy accuracy;
  double seconds = 0;
  int status = 0;
};

Outcome measure(const Condition& c, const std::string& folder) {
  std::filesystem::create_directories(folder);
  stemscan::sample::writePlate(c.plate, folder, "plate", c.format, folder + "/truth.csv");
  const std::string script = folder + "/session.txt";
  std::ofstream(script) << stemscan::sample::selectionSession(c.plate, 120, true);
  std::vector<std::string> args = {folder + "/plate00." + c.format, std::to_string(c.plate.rows),
                                   std::to_string(c.plate.cols), folder + "/out",
                                   "--script=" + script};
  if (c.movingBase) args.push_back("--base");

  Outcome o;
  std::ostringstream sink;
  std::streambuf* out = std::cout.rdbuf(sink.rdbuf());
  std::streambuf* err = std::cerr.rdbuf(sink.rdbuf());
  const auto start = std::chrono::steady_clock::now();
  o.status = stemscan::stemScanMain(args, folder);
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout.rdbuf(out);
  std::cerr.rdbuf(err);

  const auto read = [](const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  };
  o.accuracy = stemscan::sample::evaluate(c.plate, read(folder + "/out_len.txt"),
                                          read(folder + "/out_tip.txt"));
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root = argc > 1 ? argv[1] : "";
  if (root.empty()) {
    char pattern[] = "/tmp/stemscan-benchmark-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) {
      std::cerr << "cannot make a working folder" << std::endl;
      return 1;
    }
    root = made;
  }
  std::printf("%-13s %6s %9s %9s %8s %8s %9s %7s %8s\n", "condition", "images", "len mean",
              "len worst", "mean %", "worst %", "top mean", "lost", "seconds");
  int failures = 0;
  const std::vector<Condition> all = conditions();
  for (std::size_t k = 0; k < all.size(); ++k) {
    const Condition& c = all[k];
    const Outcome o = measure(c, root + "/" + std::to_string(k));
    const Accuracy& a = o.accuracy;
    failures += o.status != 0;
    std::printf("%-13s %6d %7.2fpx %7.2fpx %7.2f%% %7.2f%% %7.2fpx %6.1f%% %8.2f%s\n",
                c.name.c_str(), c.plate.images, a.meanLengthError, a.worstLengthError,
                a.meanLengthErrorPercent, a.worstLengthErrorPercent, a.meanTopError,
                100.0 * a.lostShare, o.seconds, o.status == 0 ? "" : "  (run failed)");
  }
  std::printf(
      "\nlen: absolute length error against the true centreline length; top: distance of\n"
      "the measured top from the true top; lost: share of hypocotyl-images whose top is\n"
      "more than 5 px off (or missing). Plates and tables are in %s\n",
      root.c_str());
  return failures == 0 ? 0 : 1;
}
