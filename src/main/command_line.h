// The command line: parsed into plain settings (no window needed), then applied to the
// analyzer in the order the options were given.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "experiment/experiment.h"

namespace stemscan {

class PlateAnalyzer;

extern const char* const kUsage;
// --help: every argument and option.
extern const char* const kFullUsage;
// --version.
extern const char* const kVersion;
// The valid options, named when one is refused.
extern const char* const kValidOptions;

// Exit statuses of the program.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The largest plate accepted, in grid cells.
constexpr long kMaxGridCells = 10000;
// The largest --growth accepted: the optical-flow window then spans the whole search region.
constexpr int kMaxGrowthLimit = 100;

struct StartupSettings {
  struct Option {
    std::string name;
    std::string value;
  };

  bool sample_run = false;  // no arguments: the built-in sample plate
  std::string image_path;
  int nb_rows = 1;
  int nb_cols = 6;
  std::string out_base;
  std::vector<Option> options;   // the recognised options, in the order given
  std::string script_path;       // --script: replay a session headless
  std::optional<uint32_t> seed;  // --seed
  std::string record_path;       // --record
  bool automatic = false;        // --auto: no windows, every proposal accepted
  Experiment experiment;         // --interval, --times, --layout, --px-per-mm, --dpi
  std::string command_line;      // the whole command line, for the record's first line
};

struct ParseResult {
  std::optional<StartupSettings> settings;  // nothing when the program must stop
  int status = kExitOk;
  std::string message;  // why it stops (the usage line goes to standard output)
};

// `args` without the program path; `programDir` is where the sample plate and its results
// live.
ParseResult parseCommandLine(const std::vector<std::string>& args, const std::string& programDir);

// Applies the options to the analyzer in order, echoing each as it is applied.
void applyOptions(const StartupSettings& settings, PlateAnalyzer& analyzer, std::ostream& out);

// --merge PLATES.csv [--control=LABEL]: the plates of a list merged into an experiment.
int mergeMain(const std::vector<std::string>& args);

// The whole program: parse, set up the window system and the random source, run.
int stemScanMain(const std::vector<std::string>& args, const std::string& programDir);

}  // namespace stemscan
