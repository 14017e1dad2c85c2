// The pipeline's outputs: the checks that they spare the inputs and files StemScan did not
// write, the tables and exports kept current, the run record and the end summary.
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <locale>
#include <map>
#include <sstream>

#include "analysis/plate_pipeline.h"

namespace stemscan {

std::string clockNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

bool PlatePipeline::outputsSpareInputs(const std::string& outputName) const {
  if (trace_) return true;
  namespace fs = std::filesystem;
  std::error_code error;
  std::map<fs::path, std::string> outputs;  // by the path each output resolves to
  std::vector<std::string> names = Exports::fileNames(outputName);
  for (const std::string& name : ResultTables::tableNames(outputName)) names.push_back(name);
  for (const std::string& name : names) outputs[fs::weakly_canonical(name, error)] = name;
  for (unsigned n = grabber_->getFirst(); n < grabber_->getFirst() + grabber_->getCount(); ++n) {
    const auto output = outputs.find(fs::weakly_canonical(grabber_->fileName(n), error));
    if (output == outputs.end()) continue;
    std::cerr << output->second << " is an image of the sequence and would be replaced by an "
              << "output: choose another out name" << std::endl;
    return false;
  }
  for (const std::string& name : Exports(outputName).foreignFiles()) {
    std::cerr << name << " exists and was not written by StemScan: it is left as it is; move it "
              << "away or choose another out name" << std::endl;
    return false;
  }
  return true;
}

bool PlatePipeline::openResultFiles(const std::string& outputName) {
  if (trace_) return true;
  auto tables = std::make_unique<ResultTables>(outputName);
  std::string why;
  if (!tables->checkWritable(&why)) {
    std::cerr << "cannot open file " << tables->names()[1] << " (" << why << ")" << std::endl;
    return false;
  }
  tables_ = std::move(tables);
  exports_ = std::make_unique<Exports>(outputName);
  return true;
}

ExportSources PlatePipeline::exportSources(float orientationLength) const {
  return ExportSources{store_, experiment_, file_names_, rows_, cols_, orientationLength};
}

void PlatePipeline::writeResultFiles(float orientationLength) {
  restored_ = false;
  if (trace_ || !tables_) return;
  tables_->rewrite(store_, orientationLength);
  exports_->rewrite(exportSources(orientationLength));
}

void PlatePipeline::updateResultFiles(float orientationLength) {
  // Lines already on disk changed: appending cannot bring the files up to the store.
  if (restored_) return writeResultFiles(orientationLength);
  if (trace_ || !tables_) return;
  tables_->update(store_, orientationLength);
  exports_->update(exportSources(orientationLength));
}

namespace {

// "label: a, b, c" on one line; nothing when `names` is empty.
void printNames(std::ostream& out, const char* label, const std::vector<std::string>& names,
                const char* after = "") {
  if (names.empty()) return;
  out << label;
  for (std::size_t k = 0; k < names.size(); ++k) out << (k == 0 ? " " : ", ") << names[k];
  out << after << std::endl;
}

// The names of `all` that are not in `failed`.
std::vector<std::string> without(const std::vector<std::string>& all,
                                 const std::vector<std::string>& failed) {
  std::vector<std::string> kept;
  for (const std::string& name : all) {
    if (std::find(failed.begin(), failed.end(), name) == failed.end()) kept.push_back(name);
  }
  return kept;
}

}  // namespace

void PlatePipeline::writeRunRecord(const RunInfo& info) {
  if (trace_ || !exports_) return;
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << Exports::kRunRecordMark << "\n"
       << "version: " << info.version << "\n"
       << "command: " << info.commandLine << "\n"
       << "started: " << info.started << "\n"
       << "ended: " << clockNow() << "\n"
       << "mode: " << info.mode << "\n"
       << "thresholds:";
  bool any = false;
  for (int i = 0; i < size(); ++i) {
    bool measured = false;
    for (unsigned t = 0; t < store_.rowCount() && !measured; ++t) {
      measured = store_.pointCount(i, t) > 0;
    }
    if (!measured) continue;
    text << " " << i << "=" << thresholds_.of(i);
    any = true;
  }
  text << (any ? "" : " none (no hypocotyl measured)") << "\n";
  text << "scale: ";
  if (experiment_.px_per_mm) {
    text << *experiment_.px_per_mm << " px/mm, from " << experiment_.scale_source << "\n";
  } else {
    text << "unknown (lengths in pixels)\n";
  }
  text << "time: ";
  if (experiment_.interval_minutes) {
    text << "every " << *experiment_.interval_minutes << " min (--interval)\n";
  } else if (!experiment_.times_path.empty()) {
    text << "listed in " << experiment_.times_path << " (--times)\n";
  } else if (experiment_.time_from_names) {
    text << "from the file names (--time-from=names)\n";
  } else {
    text << "unknown\n";
  }
  text << "layout: " << (experiment_.layout_path.empty() ? "none" : experiment_.layout_path)
       << "\n";
  unsigned skipped = 0;
  for (unsigned t = 0; t < store_.rowCount(); ++t) skipped += store_.isSkipped(t) ? 1 : 0;
  text << "images: " << (grabber_ ? grabber_->getCount() : 0) << " in the sequence, "
       << stored_images_ << " analysed, " << skipped << " skipped\n";
  exports_->writeRunRecord(text.str());
}

void PlatePipeline::printFlagCounts() const {
  for (std::size_t s = 0; s < store_.flags.size(); ++s) {
    int counts[kTrackFlagCount] = {};
    for (unsigned flags : store_.flags[s]) {
      for (int k = 0; k < kTrackFlagCount; ++k) counts[k] += (flags >> k) & 1u;
    }
    std::string line;
    for (int k = 0; k < kTrackFlagCount; ++k) {
      if (counts[k] == 0) continue;
      line += (line.empty() ? "" : ", ") + std::string(flagName(k)) + " at " +
              std::to_string(counts[k]) + (counts[k] == 1 ? " image" : " images");
    }
    if (!line.empty()) std::cout << "hypocotyl " << s << " flagged: " << line << std::endl;
  }
}

bool PlatePipeline::printSummary() const {
  if (trace_ || !tables_) return true;
  const std::vector<std::string> tables(tables_->names().begin(), tables_->names().end());
  std::vector<std::string> failed = tables_->failedNames();
  for (const std::string& name : exports_->failedNames()) failed.push_back(name);
  // Every file is named: those that hold this run's results, and those that do not.
  printNames(std::cout, "tables written:", without(tables, failed));
  printNames(std::cout, "also written:", without(exports_->names(), failed));
  if (!failed.empty()) {
    printNames(std::cerr, "tables not written:", failed, " (see the messages above)");
    return false;
  }
  store_.writeSummary(std::cout, file_names_);
  printFlagCounts();
  return true;
}

}  // namespace stemscan
