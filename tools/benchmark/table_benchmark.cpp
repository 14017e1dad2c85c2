// stemscan-table-benchmark: what keeping the tables current costs. It analyses a long sequence
// of tiny frames headless, with the tables written after every image and with --trace (no
// tables), and prints both times and their ratio.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "main/command_line.h"
#include "tools/benchmark/tool_usage.h"

namespace {

namespace fs = std::filesystem;

// One dark stroke on a light plate, growing by a pixel every 50 images.
cv::Mat frame(int t) {
  cv::Mat image(32, 48, CV_8UC3, cv::Scalar(200, 200, 200));
  cv::line(image, cv::Point(24, 6 - t / 50 % 4), cv::Point(24, 28), cv::Scalar(40, 40, 40), 3);
  return image;
}

double secondsFor(const std::vector<std::string>& args) {
  std::ofstream sink("/dev/null");
  std::streambuf* out = std::cout.rdbuf(sink.rdbuf());
  std::streambuf* err = std::cerr.rdbuf(sink.rdbuf());  // tracking notes on featureless frames
  const auto start = std::chrono::steady_clock::now();
  const int status = stemscan::stemScanMain(args, ".");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout.rdbuf(out);
  std::cerr.rdbuf(err);
  if (status != 0) std::cerr << "the run ended with status " << status << std::endl;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (stemscan::tools::helpAsked(
          argc, argv,
          "usage: stemscan-table-benchmark [FOLDER] [IMAGES]\n"
          "Writes IMAGES tiny frames (default 10000) into FOLDER (default table_benchmark),\n"
          "analyses them with and without the tables, and prints both times and their ratio.")) {
    return 0;
  }
  const fs::path folder = argc > 1 ? argv[1] : "table_benchmark";
  const int images = argc > 2 ? std::stoi(argv[2]) : 10000;
  fs::create_directories(folder);
  char name[32];
  for (int t = 0; t < images; ++t) {
    std::snprintf(name, sizeof name, "f%05d.png", t);
    if (!fs::exists(folder / name)) cv::imwrite((folder / name).string(), frame(t));
  }
  const std::string script = (folder / "session.txt").string();
  std::ofstream(script) << "seed 1\nmouse StemScan rup 24 6 alt\n";
  const std::vector<std::string> base = {(folder / "f00000.png").string(), "1", "1",
                                         (folder / "out").string(), "--script=" + script};
  std::vector<std::string> traced = base;
  traced.push_back("--trace");

  double tables = 1e9;
  double trace = 1e9;
  for (int repeat = 0; repeat < 3; ++repeat) {  // interleaved, best of three
    tables = std::min(tables, secondsFor(base));
    trace = std::min(trace, secondsFor(traced));
  }
  std::printf("%d images of 48 x 32, best of 3 runs\n", images);
  std::printf("  tables after every image  %7.2f s\n", tables);
  std::printf("  --trace (no tables)       %7.2f s\n", trace);
  std::printf("  ratio                     %7.2f\n", tables / trace);
  return 0;
}
