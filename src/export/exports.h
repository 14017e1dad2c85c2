// The publishable outputs beside the four tables: the long table <out>.csv and the contours
// <out>_contours.csv, kept current image by image like the tables, and the growth table
// <out>_growth.csv and plot <out>_growth.svg, written whole when the tables are rewritten.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "export/export_sources.h"
#include "result_store/appendable_file.h"

namespace stemscan {

class Exports {
 public:
  explicit Exports(const std::string& base);

  // The files under `base`: <base>.csv, _contours.csv, _growth.csv and _growth.svg.
  static std::vector<std::string> fileNames(const std::string& base);

  // Appends the lines of the images stored since the last writing.
  void update(const ExportSources& sources);
  // Rewrites every output whole, the growth table and plot included.
  void rewrite(const ExportSources& sources);

  std::vector<std::string> names() const;
  // Outputs that stand already and that StemScan did not write: a user's file with an output's
  // name, which a run must not replace.
  std::vector<std::string> foreignFiles() const;
  // Outputs whose last writing failed.
  std::vector<std::string> failedNames() const;

 private:
  void write(const ExportSources& sources, bool whole);

  AppendableFile long_table_;
  AppendableFile contours_;
  std::string growth_table_;
  std::string growth_plot_;
  bool growth_failed_ = false;
  bool plot_failed_ = false;
};

}  // namespace stemscan
