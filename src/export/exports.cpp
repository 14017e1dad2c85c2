#include "export/exports.h"

#include <filesystem>
#include <iostream>

#include "export/growth.h"
#include "export/growth_plot.h"
#include "export/long_table.h"
#include "export/summary_table.h"
#include "result_store/file_owner.h"

namespace stemscan {

std::vector<std::string> Exports::fileNames(const std::string& base) {
  return {base + ".csv",        base + "_contours.csv", base + "_growth.csv",
          base + "_growth.svg", base + "_summary.csv",  base + "_run.txt",
          base + "_growth.pdf", base + "_growth.png"};
}

Exports::Exports(const std::string& base)
    : long_table_(fileNames(base)[0]),
      contours_(fileNames(base)[1]),
      growth_table_(fileNames(base)[2]),
      title_(std::filesystem::path(base).filename().string()),
      figures_{fileNames(base)[3], fileNames(base)[6], fileNames(base)[7]},
      summary_(fileNames(base)[4]),
      run_record_(fileNames(base)[5]) {}

namespace {
constexpr FigureFormat kFigureFormats[] = {FigureFormat::kSvg, FigureFormat::kPdf,
                                           FigureFormat::kPng};
}  // namespace

void Exports::writeRunRecord(const std::string& text) {
  run_written_ = true;
  run_failed_ = !writeFileWhole(run_record_, text);
  if (run_failed_) std::cerr << "cannot write file " << run_record_ << std::endl;
}

void Exports::update(const ExportSources& sources) { write(sources, false); }

void Exports::rewrite(const ExportSources& sources) {
  write(sources, true);
  growth_failed_ = !writeFileWhole(growth_table_, growthTable(sources));
  if (growth_failed_) std::cerr << "cannot write file " << growth_table_ << std::endl;
  const GrowthFigure figure = plateGrowthFigure(sources, title_);
  for (std::size_t f = 0; f < figures_.size(); ++f) {
    const std::string bytes = drawGrowthFigure(figure, kFigureFormats[f], kGrowthPlotMark);
    figure_failed_[f] = bytes.empty() || !writeFileWhole(figures_[f], bytes);
    if (figure_failed_[f]) std::cerr << "cannot write file " << figures_[f] << std::endl;
  }
  summary_failed_ =
      !writeFileWhole(summary_, summaryTable(labelGroups(sources), sources.experiment.control,
                                             sources.experiment.timesKnown() ? "h" : "image"));
  if (summary_failed_) std::cerr << "cannot write file " << summary_ << std::endl;
}

void Exports::write(const ExportSources& sources, bool whole) {
  // The scale set with 'm' changes every line's millimetres, the orientation slider every
  // line's orientation.
  const std::string layout = (sources.experiment.px_per_mm ? fixed(*sources.experiment.px_per_mm, 9)
                                                           : std::string("no scale")) +
                             " " + fixed(sources.orientationParameter, 3);
  long_table_.update(
      sources.images(), layout, whole,
      [&sources](unsigned from, unsigned to) { return longTableLines(sources, from, to); },
      longTableHeader());
  contours_.update(
      sources.images(), "", whole,
      [&sources](unsigned from, unsigned to) { return contourLines(sources, from, to); },
      contoursHeader());
}

std::vector<std::string> Exports::names() const {
  std::vector<std::string> all = {long_table_.name(), contours_.name(), growth_table_};
  all.insert(all.end(), figures_.begin(), figures_.end());
  all.push_back(summary_);
  if (run_written_) all.push_back(run_record_);
  return all;
}

std::vector<std::string> Exports::foreignFiles() const {
  // Each output's first line; the plot's from before it carried its mark began with its size.
  const std::vector<std::pair<std::string, std::vector<std::string>>> outputs = {
      {long_table_.name(), {"image,file,time_h,hypocotyl,"}},
      {contours_.name(), {contoursHeader()}},
      {growth_table_, {"hypocotyl,row,col,label,"}},
      {figures_[0],
       {figurePrefix(FigureFormat::kSvg, kGrowthPlotMark),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "version=\"1.1\" width=\"760\" height=\"480\""}},
      {summary_, {"label,n,suspect_left_out,"}},
      {run_record_, {kRunRecordMark}}};
  std::vector<std::string> foreign;
  for (const auto& [name, signatures] : outputs) {
    if (!mayReplace(name, signatures)) foreign.push_back(name);
  }
  for (std::size_t f = 1; f < figures_.size(); ++f) {
    const FigureFormat format = kFigureFormats[f];
    if (!mayReplaceHolding(figures_[f], figurePrefix(format, kGrowthPlotMark),
                           figureMarkText(format, kGrowthPlotMark))) {
      foreign.push_back(figures_[f]);
    }
  }
  return foreign;
}

std::vector<std::string> Exports::failedNames() const {
  std::vector<std::string> failed;
  if (long_table_.failed()) failed.push_back(long_table_.name());
  if (contours_.failed()) failed.push_back(contours_.name());
  if (growth_failed_) failed.push_back(growth_table_);
  for (std::size_t f = 0; f < figures_.size(); ++f) {
    if (figure_failed_[f]) failed.push_back(figures_[f]);
  }
  if (summary_failed_) failed.push_back(summary_);
  if (run_failed_) failed.push_back(run_record_);
  return failed;
}

}  // namespace stemscan
