// The four result tables and the overlay images.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <set>
#include <sstream>

#include "plate_analyzer/plate_analyzer.h"
#include "result_store/file_owner.h"

namespace stemscan {

std::optional<OverlayName> splitOverlayName(const std::string& value) {
  const std::size_t slash = value.find_last_of('/');
  const std::size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = value.find_last_of('.');
  if (dot == std::string::npos || dot <= fileStart || dot + 1 == value.size()) return std::nullopt;
  return OverlayName{value.substr(0, dot), value.substr(dot + 1)};
}

std::string overlayFileName(const std::string& prefix, unsigned t, const std::string& extension) {
  char number[16];
  std::snprintf(number, sizeof number, "%03u", t);
  return prefix + number + "." + extension;
}

bool PlateAnalyzer::openResultFiles(const std::string& outputName) {
  if (trace) return true;
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

ExportSources PlateAnalyzer::exportSources() const {
  return ExportSources{store,   experiment, file_names_,
                       nb_rows, nb_cols,    static_cast<float>(tuning.orientation_length)};
}

void PlateAnalyzer::writeResultFiles() {
  restored_ = false;
  if (trace || !tables_) return;
  tables_->rewrite(store, static_cast<float>(tuning.orientation_length));
  exports_->rewrite(exportSources());
}

void PlateAnalyzer::updateResultFiles() {
  // Lines already on disk changed: appending cannot bring the files up to the store.
  if (restored_) return writeResultFiles();
  if (trace || !tables_) return;
  tables_->update(store, static_cast<float>(tuning.orientation_length));
  exports_->update(exportSources());
}

bool PlateAnalyzer::overlaysSpareInputs(const std::string& outputName) const {
  if (!save_images || !grabber) return true;
  namespace fs = std::filesystem;
  std::vector<std::string> inputs;
  for (unsigned n = grabber->getFirst(); n < grabber->getFirst() + grabber->getCount(); ++n) {
    inputs.push_back(grabber->fileName(n));
  }
  if (!trace) {
    for (const std::string& name : ResultTables::tableNames(outputName)) inputs.push_back(name);
  }
  // Overlays named like the sequence's images would join it in a later run (which leaves out
  // a number written twice, but only then).
  const fs::path sequence(grabber->prefix + "0" + grabber->extension);
  const fs::path overlays(image_prefix + "0." + image_ext);
  auto folder = [](const fs::path& path) {
    return path.parent_path().empty() ? std::string(".") : path.parent_path().string();
  };
  if (sequence.filename() == overlays.filename() && samePath(folder(sequence), folder(overlays))) {
    std::cerr << "warning: the overlay images " << overlayFileName(image_prefix, 0, image_ext)
              << ", ... are named like the images of the sequence: a later run on it leaves them "
                 "out where their numbers repeat an image's; a folder of their own keeps them apart"
              << std::endl;
  }
  std::error_code error;
  std::set<fs::path> taken;
  for (const std::string& input : inputs) taken.insert(fs::weakly_canonical(input, error));
  for (unsigned t = 0; t < grabber->getCount(); ++t) {
    const std::string overlay = overlayFileName(image_prefix, t, image_ext);
    if (taken.count(fs::weakly_canonical(overlay, error)) == 0) continue;
    std::cerr << "imagefile=" << image_prefix << "." << image_ext << " would replace " << overlay
              << " (an input image or a table) with an overlay image: choose another folder or "
                 "name for the overlay images"
              << std::endl;
    return false;
  }
  return true;
}

bool PlateAnalyzer::outputsSpareInputs(const std::string& outputName) const {
  if (trace) return true;
  namespace fs = std::filesystem;
  std::error_code error;
  std::map<fs::path, std::string> outputs;  // by the path each output resolves to
  std::vector<std::string> names = Exports::fileNames(outputName);
  for (const std::string& name : ResultTables::tableNames(outputName)) names.push_back(name);
  for (const std::string& name : names) outputs[fs::weakly_canonical(name, error)] = name;
  for (unsigned n = grabber->getFirst(); n < grabber->getFirst() + grabber->getCount(); ++n) {
    const auto output = outputs.find(fs::weakly_canonical(grabber->fileName(n), error));
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

bool PlateAnalyzer::parseOverlayName(const std::string& value) {
  const std::optional<OverlayName> name = splitOverlayName(value);
  if (!name) {
    std::cerr << "cannot find extension in filename " << value << std::endl;
    return false;
  }
  image_prefix = name->prefix;
  image_ext = name->extension;
  save_images = true;
  return true;
}

void PlateAnalyzer::saveOverlay(unsigned t) {
  const std::string name = overlayFileName(image_prefix, t, image_ext);
  // An overlay always shows the whole frame: while zoomed, the screen holds only a part of it.
  cv::Mat whole = display;
  if (display_region_set_) {
    whole = display_clean.clone();
    for (int i = 0; i < nb_snakes; ++i) {
      if (i != selected && !snakes[i].isInUse()) continue;
      snakes[i].draw(whole, i == selected ? kRed * 0.6 : kRed);
      snakes[i].drawTrackers(whole);
    }
  }
  if (!overlay_writer_) overlay_writer_ = std::make_unique<ImageWriter>();
  overlay_writer_->write(name, whole);
}

void PlateAnalyzer::flushOverlays() {
  if (overlay_writer_) overlay_writer_->finish();
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

bool PlateAnalyzer::printSummary() const {
  if (trace || !tables_) return true;
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
  store.writeSummary(std::cout, file_names_);
  return true;
}

}  // namespace stemscan
