// The publishable outputs beside the four tables: the long table <out>.csv and the contours
// <out>_contours.csv, kept current image by image like the tables, and the growth table
// <out>_growth.csv, growth figure <out>_growth.{svg,pdf,png} and summary per label
// <out>_summary.csv, written whole when the tables are rewritten, and
// the run record <out>_run.txt, written at the end of a run.
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

  // The first line of a run record.
  static constexpr const char* kRunRecordMark = "# StemScan run record";

  // The files under `base`: <base>.csv, _contours.csv, _growth.csv, _growth.svg, _summary.csv,
  // _run.txt, _growth.pdf and _growth.png.
  static std::vector<std::string> fileNames(const std::string& base);

  // Appends the lines of the images stored since the last writing.
  void update(const ExportSources& sources);
  // Rewrites every output whole, the growth table and plot included.
  void rewrite(const ExportSources& sources);
  // Writes the run record (its text, from its first line on).
  void writeRunRecord(const std::string& text);

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
  std::string title_;                   // the plate's name on its figure
  std::array<std::string, 3> figures_;  // SVG, PDF, PNG
  std::string summary_;
  std::string run_record_;
  bool run_written_ = false;
  bool run_failed_ = false;
  bool summary_failed_ = false;
  bool growth_failed_ = false;
  std::array<bool, 3> figure_failed_{};
};

}  // namespace stemscan
