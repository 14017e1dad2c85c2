#include "main/run_files.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "export/exports.h"
#include "gui/recording_window_system.h"
#include "result_store/file_owner.h"
#include "result_store/result_tables.h"

namespace stemscan {

std::string checkOutName(const std::string& out) {
  std::error_code error;
  if (out.empty()) return "the out name is empty: give the base name of the tables, e.g. results";
  if (out.back() == '/' || std::filesystem::is_directory(out, error)) {
    return "the out name " + out + " is a folder: give the base name of the tables, e.g. " +
           (out.back() == '/' ? out : out + "/") + "results";
  }
  return "";
}

std::string checkInputsAndOutputs(const StartupSettings& settings) {
  std::vector<std::pair<std::string, std::string>> outputs;  // file, what it is
  for (const std::string& name : ResultTables::tableNames(settings.out_base)) {
    outputs.emplace_back(name, "a table");
  }
  for (const std::string& name : Exports::fileNames(settings.out_base)) {
    outputs.emplace_back(name, "an output");
  }
  std::vector<std::pair<std::string, std::string>> inputs = {
      {settings.script_path, "the session script (--script)"},
      {settings.experiment.times_path, "the times (--times)"},
      {settings.experiment.layout_path, "the layout (--layout)"}};
  if (!settings.record_path.empty()) {
    for (const auto& [output, what] : outputs) {
      if (samePath(settings.record_path, output)) {
        return "--record=" + settings.record_path + " is also " + what +
               " of the run: choose another record file or out name";
      }
    }
  }
  for (const auto& [input, what] : inputs) {
    if (input.empty()) continue;
    for (const auto& [output, kind] : outputs) {
      if (samePath(input, output)) {
        return output + " is " + what + " and would be replaced by " + kind +
               " of the run: choose another out name";
      }
    }
  }
  if (!settings.record_path.empty()) {
    for (const auto& [input, what] : inputs) {
      if (!input.empty() && samePath(input, settings.record_path)) {
        return "--record=" + settings.record_path + " is " + what +
               ": the record would replace it; choose another record file";
      }
    }
    if (!mayReplace(settings.record_path, {RecordingWindowSystem::kCommandLinePrefix,
                                           RecordingWindowSystem::kRecordHeader})) {
      return settings.record_path +
             " exists and is not a session record: it is left as it is; move it away or choose "
             "another --record file";
    }
  }
  return "";
}

}  // namespace stemscan
