// stemscan-speed: how fast StemScan goes through a sequence, as a ratio to the time that only
// decoding the same files takes (measured just before each run, in three interleaved repeats),
// for 24 and 96 hypocotyls on 2000 x 1500 plates, png, jpg and tif, with and without png
// overlays, in both fitting modes; and the peak memory of 30 against 300 images. The cycle is
// the time from one image to the next: what a run takes beyond a run of the same session on its
// first image alone (which holds the setting up: selection, calibration, the first fits).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "detect/seedling_detector.h"
#include "main/command_line.h"
#include "tools/benchmark/tool_usage.h"
#include "tools/sample/evaluation.h"
#include "tools/sample/plate_renderer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string name(const std::string& folder, int t, const std::string& format) {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", t);
  return folder + "/plate" + number + "." + format;
}

// Seconds per image to decode the sequence once.
double decodeTime(const std::string& folder, int images, const std::string& format) {
  const auto start = Clock::now();
  for (int t = 0; t < images; ++t) cv::imread(name(folder, t, format), cv::IMREAD_COLOR);
  return since(start) / images;
}

// Seconds per image to encode the frames as png overlays.
double encodeTime(const std::string& folder, int images, const std::string& format) {
  const cv::Mat frame = cv::imread(name(folder, 0, format), cv::IMREAD_COLOR);
  const auto start = Clock::now();
  for (int t = 0; t < images; ++t) cv::imwrite(folder + "/encoded.png", frame);
  return since(start) / images;
}

// Processor seconds this process has used, on all its threads.
double processorSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

struct RunTime {
  double wall = 0.0;       // seconds per image
  double processor = 0.0;  // processor seconds per image, all threads
};

// The time of one headless run.
RunTime runTime(const std::vector<std::string>& args, const std::string& folder) {
  std::ostringstream sink;
  std::streambuf* out = std::cout.rdbuf(sink.rdbuf());
  std::streambuf* err = std::cerr.rdbuf(sink.rdbuf());
  const double used = processorSeconds();
  const auto start = Clock::now();
  const int status = stemscan::stemScanMain(args, folder);
  const double seconds = since(start);
  const double processor = processorSeconds() - used;
  std::cout.rdbuf(out);
  std::cerr.rdbuf(err);
  if (status != 0) std::printf("(run failed with status %d)\n", status);
  return RunTime{seconds, processor};
}

// A run's cycle and its whole time, per image.
struct Cycle {
  RunTime cycle;  // per image beyond the first
  double whole = 0.0;
};

// The cycle of a run on the sequence's `images` images (`args` name its first file in `folder`),
// against the same run on the first image alone (a copy of `args` naming it in `firstOnly`).
Cycle cycleTime(const std::vector<std::string>& args, const std::vector<std::string>& firstOnly,
                const std::string& folder, int images) {
  const RunTime all = runTime(args, folder);
  const RunTime first = runTime(firstOnly, folder);
  const double beyond = static_cast<double>(images - 1);
  return Cycle{{(all.wall - first.wall) / beyond, (all.processor - first.processor) / beyond},
               all.wall / images};
}

double median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Runs measured against a baseline (decoding, or png encoding) taken just before each of them,
// in interleaved repeats: the machine's pace, which drifts, is the same for both.
struct Measured {
  std::vector<double> baseline, wall, processor, whole;
  void add(double base, const Cycle& run) {
    baseline.push_back(base);
    wall.push_back(run.cycle.wall);
    processor.push_back(run.cycle.processor);
    whole.push_back(run.whole);
  }
  // Medians over the repeats; the ratio is the median of each repeat's own ratio.
  void print(int cells, const char* format, bool refine, const char* note) const {
    std::vector<double> ratios;
    for (std::size_t r = 0; r < wall.size(); ++r) ratios.push_back(wall[r] / baseline[r]);
    std::printf("%-12d %-6s %-7s %7.1fms %7.1fms %6.2fx %7.1fms %7.1fms%s\n", cells, format,
                refine ? "refine" : "default", 1000 * median(baseline), 1000 * median(wall),
                median(ratios), 1000 * median(processor), 1000 * median(whole), note);
  }
};

// Renders the plate once into `folder`, with its selection session, and links its first image
// alone into `folder`/first.
void prepare(const stemscan::sample::PlateSettings& plate, const std::string& folder,
             const std::string& format) {
  if (!fs::exists(name(folder, plate.images - 1, format))) {
    fs::create_directories(folder);
    stemscan::sample::writePlate(plate, folder, "plate", format, folder + "/truth.csv");
    std::ofstream(folder + "/session.txt") << stemscan::sample::selectionSession(plate, 120, true);
  }
  const std::string first = name(folder + "/first", 0, format);
  if (!fs::exists(first)) {
    fs::create_directories(folder + "/first");
    fs::create_symlink(fs::absolute(name(folder, 0, format)), first);
  }
}

// Peak resident memory, in MiB, of a run of the stemScan program beside this one (a program of
// its own: a forked copy of this process would count the benchmark's own memory too).
double peakMemory(const std::vector<std::string>& args) {
  const std::string program = fs::read_symlink("/proc/self/exe").parent_path() / "stemScan";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int sink = open("/dev/null", O_WRONLY);
    dup2(sink, STDOUT_FILENO);
    dup2(sink, STDERR_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::printf("(%s failed with status %d)\n", program.c_str(), WEXITSTATUS(status));
  }
  return usage.ru_maxrss / 1024.0;
}

// Peak memory, in MiB, of runs on 30 and on 300 images of a 1000 x 750 plate of 24 hypocotyls
// (the median of three runs of each, in turns). Measured before any run inside this process:
// a child's peak counts this process's own memory at the fork.
std::vector<double> memoryPeaks(const std::string& root) {
  stemscan::sample::PlateSettings plate;
  plate.rows = 4;
  plate.cols = 6;
  plate.width = 1000;
  plate.height = 750;
  plate.images = 300;
  const std::string folder = root + "/memory";
  prepare(plate, folder, "jpg");
  std::vector<double> peaks[2];
  for (int repeat = 0; repeat < 3; ++repeat) {
    for (int k = 0; k < 2; ++k) {
      const int n = k == 0 ? 30 : 300;
      const std::string sub = folder + "/" + std::to_string(n);
      fs::create_directories(sub);
      for (int t = 0; t < n; ++t) {
        const std::string link = name(sub, t, "jpg");
        if (!fs::exists(link)) fs::create_symlink(fs::absolute(name(folder, t, "jpg")), link);
      }
      peaks[k].push_back(peakMemory(
          {name(sub, 0, "jpg"), "4", "6", sub + "/out", "--script=" + folder + "/session.txt"}));
    }
  }
  return {median(peaks[0]), median(peaks[1])};
}

}  // namespace

int main(int argc, char** argv) {
  if (stemscan::tools::helpAsked(
          argc, argv,
          "usage: stemscan-speed [FOLDER]\n"
          "Renders 2000 x 1500 plates into FOLDER (default speed_benchmark), times StemScan on\n"
          "them against decoding alone, and prints the ratios and the peak memory.")) {
    return 0;
  }
  const std::string root = argc > 1 ? argv[1] : "speed_benchmark";
  const int images = 30;
  const int kRepeats = 3;
  // Seedling detection on the first image of a 2000 x 1500 plate of 96 seedlings, one core.
  {
    stemscan::sample::PlateSettings plate;
    plate.rows = 8;
    plate.cols = 12;
    plate.width = 2000;
    plate.height = 1500;
    cv::Mat grey;
    cv::cvtColor(stemscan::sample::PlateRenderer(plate).render(0), grey, cv::COLOR_BGR2GRAY);
    cv::setNumThreads(1);
    std::vector<double> times;
    std::size_t found = 0;
    for (int repeat = 0; repeat < 5; ++repeat) {
      const Clock::time_point start = Clock::now();
      found = stemscan::detectSeedlings(grey, 96).seedlings.size();
      times.push_back(since(start));
    }
    std::printf(
        "detection on the first image, 2000 x 1500, 96 seedlings: %.3f s (median of 5,"
        " one core; %zu found)\n\n",
        median(times), found);
  }
  const std::vector<double> peaks = memoryPeaks(root);
  std::printf("%-12s %-6s %-7s %9s %9s %7s %9s %9s\n", "hypocotyls", "format", "mode", "decode",
              "cycle", "ratio", "processor", "run/image");
  for (int cells : {24, 96}) {
    stemscan::sample::PlateSettings plate;
    plate.rows = cells == 24 ? 4 : 8;
    plate.cols = cells == 24 ? 6 : 12;
    plate.width = 2000;
    plate.height = 1500;
    plate.images = images;
    for (const std::string format : {"png", "jpg", "tif"}) {
      const std::string folder = root + "/" + std::to_string(cells) + "_" + format;
      prepare(plate, folder, format);
      Measured runs[2], withOverlays[2];
      std::vector<double> encodes;
      for (int repeat = 0; repeat < kRepeats; ++repeat) {
        for (bool refine : {false, true}) {
          // A run of the plate's session on the sequence in `at` (the plate's folder, or its
          // first image alone), writing there.
          auto argsAt = [&](const std::string& at, bool overlays) {
            std::vector<std::string> args = {name(at, 0, format), std::to_string(plate.rows),
                                             std::to_string(plate.cols), at + "/out",
                                             "--script=" + folder + "/session.txt"};
            if (refine) args.push_back("--refine");
            if (overlays) args.push_back("imagefile=" + at + "/ov.png");
            return args;
          };
          const std::string first = folder + "/first";
          const double decode = decodeTime(folder, images, format);
          runs[refine].add(decode,
                           cycleTime(argsAt(folder, false), argsAt(first, false), folder, images));
          if (format != "png") continue;
          encodes.push_back(encodeTime(folder, images, format));
          withOverlays[refine].add(
              std::max(decode, encodes.back()),
              cycleTime(argsAt(folder, true), argsAt(first, true), folder, images));
        }
      }
      for (bool refine : {false, true}) {
        runs[refine].print(cells, format.c_str(), refine, "");
        if (format != "png") continue;
        char note[64];
        std::snprintf(note, sizeof note, "  (png overlays; encode %.1f ms)",
                      1000 * median(encodes));
        withOverlays[refine].print(cells, "png+ov", refine, note);
      }
    }
  }
  std::printf("\npeak memory: %.1f MiB for 30 images, %.1f MiB for 300 (%+.1f %%)\n", peaks[0],
              peaks[1], 100.0 * (peaks[1] / peaks[0] - 1.0));
  std::printf(
      "decode: reading the files alone; cycle: the time from one image to the next of a "
      "headless run\n(what it takes beyond the same run on its first image alone); ratio: "
      "cycle over decode\n(with overlays: over the larger of decode and png encode); "
      "processor: the cycle's processor\ntime on all threads (on two cores a cycle takes at "
      "least half of it); run/image: the\nwhole run over its images, setting up included. "
      "Each figure is the median of three repeats,\neach run measured against a decode just "
      "before it.\n");
  return 0;
}
