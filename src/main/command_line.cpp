#include "main/command_line.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <opencv2/core/utility.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <set>

#include "export/export_sources.h"
#include "gui/highgui_window_system.h"
#include "gui/recording_window_system.h"
#include "gui/scripted_window_system.h"
#include "main/run_files.h"
#include "plate_analyzer/plate_analyzer.h"
#include "util/frame_pool.h"
#include "util/stop_signal.h"

namespace stemscan {

namespace {

constexpr int kSeedPoints = 10;
// Bounds that keep every time and length in the tables finite and meaningful.
constexpr double kMaxIntervalMinutes = 1e6;  // about two years between two images
constexpr double kMinScale = 1e-6;
constexpr double kMaxScale = 1e6;
constexpr int kHalfWindow = 5;

bool parseWhole(const std::string& text, long long min, long long max, long long* value) {
  if (text.empty() || text.size() > 18) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool sign = i == 0 && (text[i] == '-' || text[i] == '+') && text.size() > 1;
    if (!sign && (text[i] < '0' || text[i] > '9')) return false;
  }
  *value = std::stoll(text);
  return *value >= min && *value <= max;
}

ParseResult stop(int status, const std::string& message) {
  ParseResult result;
  result.status = status;
  result.message = message;
  return result;
}

bool takesValue(const std::string& name) {
  for (const char* known :
       {"cot", "imagefile", "--growth", "--script", "--seed", "--record", "--interval", "--times",
        "--time-from", "--layout", "--px-per-mm", "--dpi", "--control"}) {
    if (name == known) return true;
  }
  return false;
}

bool isFlag(const std::string& name) {
  return name == "--trace" || name == "--base" || name == "--refine" || name == "--detect" ||
         name == "--auto" || name == "--bright" || name == "--even-background";
}

// The words of the command line, each quoted for a shell where it needs it; a word holding a
// control character (a newline, say) is written as $'...', so that the line stays one line.
std::string quotedCommandLine(const std::vector<std::string>& args) {
  std::string line = "stemScan";
  for (const std::string& arg : args) {
    const bool plain = !arg.empty() && arg.find_first_not_of(
                                           "abcdefghijklmnopqrstuvwxyzABCDEFGH"
                                           "IJKLMNOPQRSTUVWXYZ0123456789_-+=./"
                                           ",:@%") == std::string::npos;
    if (plain) {
      line += " " + arg;
      continue;
    }
    const bool control = std::any_of(arg.begin(), arg.end(), [](char c) {
      return static_cast<unsigned char>(c) < 32 || c == 127;
    });
    if (!control) {
      line += " '";
      for (char c : arg) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
      line += "'";
      continue;
    }
    line += " $'";
    for (char c : arg) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (c == '\'' || c == '\\') {
        line += '\\';
        line += c;
      } else if (u < 32 || u == 127) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
        line += escaped;
      } else {
        line += c;
      }
    }
    line += "'";
  }
  return line;
}

// A positive number no larger than `max` and no smaller than `min`.
bool parseBounded(const std::string& text, double min, double max, double* value) {
  return parsePositive(text, value) && *value >= min && *value <= max;
}

// Reads the experiment's options (time, layout, scale); an empty string when all is well, else
// why not.
std::string readExperimentOption(const StartupSettings::Option& option, StartupSettings& settings,
                                 bool* scaleGiven) {
  Experiment& experiment = settings.experiment;
  const std::string& name = option.name;
  const std::string& value = option.value;
  double number = 0.0;
  std::string error;
  if (name == "--interval") {
    if (!parseBounded(value, 0.0, kMaxIntervalMinutes, &number)) {
      return "invalid --interval value " + value + ": give a positive number of minutes, at most " +
             fixed(kMaxIntervalMinutes, 0);
    }
    experiment.interval_minutes = number;
  } else if (name == "--times") {
    const auto times = loadTimes(value, &error);
    if (!times) return error;
    experiment.times_path = value;
    experiment.listed_times = *times;
  } else if (name == "--layout") {
    const auto labels = loadLayout(value, settings.nb_rows, settings.nb_cols, &error);
    if (!labels) return error;
    experiment.layout_path = value;
    experiment.labels = *labels;
  } else if (name == "--control") {
    experiment.control = value;
  } else if (name == "--time-from") {
    if (value != "names" && value != "exif") {
      return "invalid --time-from value " + value + ": give names or exif";
    }
    (value == "names" ? experiment.time_from_names : experiment.time_from_exif) = true;
  } else if (name == "--px-per-mm" || name == "--dpi") {
    if (!parseBounded(value, kMinScale, kMaxScale, &number)) {
      return "invalid " + name + " value " + value + ": give a number from 0.000001 to 1000000";
    }
    if (*scaleGiven) return "give the scale once: --px-per-mm or --dpi, not both";
    *scaleGiven = true;
    experiment.px_per_mm = name == "--dpi" ? number / 25.4 : number;
    experiment.scale_source = name + "=" + value;
  }
  const int timeSources = (experiment.interval_minutes ? 1 : 0) +
                          (experiment.times_path.empty() ? 0 : 1) +
                          (experiment.time_from_names || experiment.time_from_exif ? 1 : 0);
  if (timeSources > 1) {
    return "give the time once: --interval, --times or --time-from, not two of them";
  }
  return "";
}

// A script must be a file that can be read; a folder opens but reads as nothing.
bool isReadableFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream in(path);
  return static_cast<bool>(in);
}

}  // namespace

ParseResult parseCommandLine(const std::vector<std::string>& args, const std::string& programDir) {
  StartupSettings settings;
  if (args.empty()) {
    settings.sample_run = true;
    settings.image_path = programDir + "/images/sample/sample00.png";
    settings.out_base = programDir + "/results";
    ParseResult result;
    result.settings = settings;
    return result;
  }
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return stop(kExitOk, kFullUsage);
    if (arg == "--version") return stop(kExitOk, std::string("stemScan ") + kVersion);
  }
  if (args.size() < 4) return stop(kExitUsage, kUsage);

  long long rows = 0;
  long long cols = 0;
  const bool rowsOk = parseWhole(args[1], 1, kMaxGridCells, &rows);
  const bool colsOk = parseWhole(args[2], 1, kMaxGridCells, &cols);
  if (!rowsOk || !colsOk || rows * cols > kMaxGridCells) {
    return stop(kExitUsage, "invalid grid " + args[1] + " x " + args[2] +
                                ": rows and columns must be whole numbers from 1 up, with at "
                                "most " +
                                std::to_string(kMaxGridCells) + " hypocotyls in all");
  }
  settings.image_path = args[0];
  settings.nb_rows = static_cast<int>(rows);
  settings.nb_cols = static_cast<int>(cols);
  settings.out_base = args[3];
  settings.command_line = quotedCommandLine(args);
  if (const std::string why = checkOutName(settings.out_base); !why.empty()) {
    return stop(kExitUsage, why);
  }

  bool scaleGiven = false;
  std::set<std::string> given;
  for (std::size_t k = 4; k < args.size(); ++k) {
    const std::string& word = args[k];
    const std::size_t equals = word.find('=');
    StartupSettings::Option option;
    option.name = word.substr(0, equals);
    // The value is all that follows the first '=': a path or a text may hold more.
    if (equals != std::string::npos) option.value = word.substr(equals + 1);
    const std::string& name = option.name;
    if ((takesValue(name) || isFlag(name)) && name != "cot" && !given.insert(name).second) {
      return stop(kExitUsage, "option " + name + " is given twice: give it once");
    }
    if (isFlag(name)) {
      if (equals != std::string::npos) {
        return stop(kExitUsage, "option " + name + " takes no value: write " + name + " alone");
      }
      settings.options.push_back(option);
      continue;
    }
    if (!takesValue(name)) {
      return stop(kExitUsage, "unknown option " + word + "; " + kValidOptions);
    }
    if (option.value.empty()) {
      return stop(kExitUsage, "option " + name + " needs a value: " + name + "=<value>");
    }
    if (name == "--growth") {
      long long growth = 0;
      if (!parseWhole(option.value, 1, kMaxGrowthLimit, &growth)) {
        return stop(kExitUsage, "invalid --growth value " + option.value +
                                    ": give a whole number of pixels from 1 to " +
                                    std::to_string(kMaxGrowthLimit));
      }
    } else if (name == "imagefile" && !splitOverlayName(option.value)) {
      return stop(kExitUsage, "cannot find extension in filename " + option.value);
    } else if (name == "--seed") {
      long long seed = 0;
      if (!parseWhole(option.value, 0, 4294967295LL, &seed)) {
        return stop(kExitUsage, "invalid --seed value " + option.value +
                                    ": give a whole number from 0 to 4294967295");
      }
      settings.seed = static_cast<uint32_t>(seed);
      continue;
    } else if (name == "--script") {
      if (!isReadableFile(option.value)) {
        return stop(kExitUsage, "the session script " + option.value + " is not a readable file");
      }
      settings.script_path = option.value;
      continue;
    } else if (name == "--record") {
      settings.record_path = option.value;
      continue;
    } else if (name != "cot" && name != "imagefile") {
      const std::string why = readExperimentOption(option, settings, &scaleGiven);
      if (!why.empty()) return stop(kExitUsage, why);
      continue;
    }
    settings.options.push_back(option);
  }
  if (given.count("--script") && (given.count("--auto") || given.count("--detect"))) {
    return stop(kExitUsage, std::string(given.count("--auto") ? "--auto" : "--detect") +
                                " cannot be used with --script: a session script holds every "
                                "click and threshold already (a recorded --detect or --auto "
                                "run's proposals among them); leave one of them out");
  }
  settings.automatic = given.count("--auto") > 0;
  if (const std::string why = checkInputsAndOutputs(settings); !why.empty()) {
    return stop(kExitUsage, why);
  }
  ParseResult result;
  result.settings = settings;
  return result;
}

void applyOptions(const StartupSettings& settings, PlateAnalyzer& analyzer, std::ostream& out) {
  for (const StartupSettings::Option& option : settings.options) {
    if (option.name == "cot") {
      out << option.value << std::endl;
    } else if (option.name == "imagefile") {
      out << option.value << std::endl;
      analyzer.parseOverlayName(option.value);
    } else if (option.name == "--trace") {
      out << "tracing" << std::endl;
      analyzer.setTrace(true);
    } else if (option.name == "--growth") {
      out << "max growth: " << option.value << std::endl;
      analyzer.setMaxGrowth(std::stoi(option.value));
    } else if (option.name == "--base") {
      out << "moving base" << std::endl;
      analyzer.setMovingBase(true);
    } else if (option.name == "--refine") {
      out << "refined fit" << std::endl;
      analyzer.setRefine(true);
    } else if (option.name == "--detect") {
      out << "seedling detection" << std::endl;
      analyzer.setDetect(true);
    } else if (option.name == "--auto") {
      out << "automatic run: seedling detection, no windows" << std::endl;
      analyzer.setDetect(true);
    } else if (option.name == "--bright") {
      out << "bright seedlings: each image analysed as its negative" << std::endl;
      analyzer.setBright(true);
    } else if (option.name == "--even-background") {
      out << "uneven light: each image divided by the plate's grey around each pixel" << std::endl;
      analyzer.setEvenBackground(true);
    }
  }
  analyzer.setExperiment(settings.experiment);
  out << describe(settings.experiment) << std::flush;
}

int stemScanMain(const std::vector<std::string>& args, const std::string& programDir) {
  // Frames are decoded on the reader threads and freed on the analysis thread. With an arena
  // per thread (glibc's default) each arena keeps its own freed frames, and the peak memory
  // creeps up over the first hundred images; two arenas, and frame buffers kept in a pool of
  // their own rather than handed back to malloc, keep it flat at no cost in speed.
  if (!args.empty() && (args[0] == "--merge" || args[0].rfind("--merge=", 0) == 0)) {
    return mergeMain(args);
  }
  mallopt(M_ARENA_MAX, 2);
  FramePool::install();
  const ParseResult parsed = parseCommandLine(args, programDir);
  if (!parsed.settings) {
    (parsed.message == kUsage || parsed.status == kExitOk ? std::cout : std::cerr)
        << parsed.message << std::endl;
    return parsed.status;
  }
  const StartupSettings& settings = *parsed.settings;
  // The program reports its own failures; the image library's warnings would only repeat them.
  cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR);
  // The analysis works on many small regions, where the library's worker threads cost more
  // than they save, and the second core decodes ahead and writes overlays behind.
  cv::setNumThreads(1);

  std::optional<SessionScript> script;
  if (settings.automatic) {
    script = SessionScript();  // every wait answered with <space>: each proposal accepted
  } else if (!settings.script_path.empty()) {
    std::string error;
    script = loadSessionScript(settings.script_path, &error);
    if (!script) {
      std::cerr << error << std::endl;
      return kExitUsage;
    }
  } else if (!HighguiWindowSystem::displayAvailable()) {
    std::cerr << "no display available: StemScan needs a window system; to run without one, "
                 "run with --auto, or replay a session with --script=FILE"
              << std::endl;
    return kExitFailed;
  }

  std::optional<uint32_t> seed = settings.seed;
  if (!seed && script) seed = script->seed;
  // A recorded run must be replayable: it picks its seed now and writes it down.
  if (!seed && !settings.record_path.empty()) seed = RandomSource::clockSeed();
  RandomSource random = seed ? RandomSource(*seed) : RandomSource();

  std::unique_ptr<WindowSystem> device;
  if (script) {
    device = std::make_unique<ScriptedWindowSystem>(*script, std::cerr);
  } else {
    device = std::make_unique<HighguiWindowSystem>();
  }
  std::unique_ptr<RecordingWindowSystem> recorder;
  if (!settings.record_path.empty()) {
    recorder = std::make_unique<RecordingWindowSystem>(*device, settings.record_path, *seed,
                                                       settings.command_line);
  }
  WindowSystem& windows = recorder ? static_cast<WindowSystem&>(*recorder) : *device;
  installStopSignals();
  PlateAnalyzer analyzer(settings.nb_rows, settings.nb_cols, kSeedPoints, windows, random);
  applyOptions(settings, analyzer, std::cout);
  analyzer.setRunInfo(kVersion, settings.command_line.empty() ? "stemScan (the sample plate)"
                                                              : settings.command_line);
  analyzer.setShowProgress(script.has_value() && isatty(STDERR_FILENO));
  const int status = analyzer.start(kHalfWindow, settings.image_path, settings.out_base);
  if (status != PlateAnalyzer::kRunOk) return status;
  // The record is created only now: a run refused at its start leaves an earlier one alone.
  if (recorder && !recorder->open()) {
    std::cerr << "cannot write the session record " << settings.record_path << std::endl;
    return kExitFailed;
  }
  return analyzer.analyse();
}

}  // namespace stemscan
