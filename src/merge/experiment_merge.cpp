#include "merge/experiment_merge.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "experiment/csv.h"
#include "export/export_sources.h"
#include "export/growth_plot.h"
#include "export/summary_table.h"
#include "merge/experiment_figure.h"
#include "result_store/appendable_file.h"
#include "result_store/file_owner.h"

namespace stemscan {
namespace {

namespace fs = std::filesystem;

struct Table {
  std::string header;
  std::vector<std::string> lines;
};

// The lines of a text file after its header, blank lines, Windows line ends and a byte-order
// mark (as spreadsheets write) passed over; nothing where it cannot be read.
std::optional<Table> readTable(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  Table table;
  bool first = true, header = true;
  for (std::string line; std::getline(in, line);) {
    if (first && line.rfind("\xef\xbb\xbf", 0) == 0) line.erase(0, 3);
    first = false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (header) {
      table.header = line;
      header = false;
    } else {
      table.lines.push_back(line);
    }
  }
  if (header) return std::nullopt;
  return table;
}

// A field without the blanks around it.
std::string trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(" \t"));
  text.erase(text.find_last_not_of(" \t") + 1);
  return text;
}

std::string statusOf(const std::string& out) {
  std::ifstream in(out + ".status");
  std::string status;
  if (in) std::getline(in, status);
  return status;
}

// One plate of the list.
struct Plate {
  std::string name;  // its `plate` column, or its out name
  std::string out;   // the tables' base, from the list's folder
  std::string why;   // why it was left out; empty when included
  Table rows;
  Table growth;
};

constexpr std::pair<FigureFormat, const char*> kFigures[] = {
    {FigureFormat::kSvg, "experiment_growth.svg"},
    {FigureFormat::kPdf, "experiment_growth.pdf"},
    {FigureFormat::kPng, "experiment_growth.png"}};

}  // namespace

int mergeExperiment(const MergeSettings& settings, std::ostream& out, std::ostream& err) {
  const std::optional<Table> list = readTable(settings.listPath);
  if (!list) {
    err << "no plate list " << settings.listPath << std::endl;
    return 2;
  }
  const std::map<std::string, std::size_t> column = columnsOf(list->header);
  if (column.count("out") == 0) {
    err << settings.listPath << ": the header has no column out" << std::endl;
    return 2;
  }
  const fs::path folder = fs::path(settings.listPath).parent_path();
  std::optional<std::string> control = settings.control;

  std::vector<Plate> plates;
  for (const std::string& line : list->lines) {
    std::vector<std::string> fields;
    if (!splitCsvLine(line, &fields)) continue;
    auto field = [&](const std::string& name) {
      const auto it = column.find(name);
      return it != column.end() && it->second < fields.size() ? trimmed(fields[it->second])
                                                              : std::string();
    };
    Plate plate;
    plate.out = field("out");
    plate.name = field("plate").empty() ? plate.out : field("plate");
    if (!control && !field("control").empty()) control = field("control");
    const std::string base = (folder / plate.out).string();
    const std::string status = statusOf(base);
    std::optional<Table> rows = readTable(base + ".csv");
    std::optional<Table> growth = readTable(base + "_growth.csv");
    if (!status.empty() && status != "0") {
      plate.why = "the run ended with status " + status + " (see " + base + ".log)";
    } else if (!rows || !growth) {
      plate.why = "no tables at " + base + ".csv and " + base + "_growth.csv";
    } else if (rows->header.rfind("image,file,time_h,hypocotyl,", 0) != 0) {
      plate.why = base + ".csv is not a long table of StemScan";
    } else {
      plate.rows = *rows;
      plate.growth = *growth;
    }
    plates.push_back(plate);
  }

  // The tables: every included plate's lines with its name first; a plate written by another
  // version (other columns) is left out, named.
  std::string rows, growth;
  std::string rowsHeader, growthHeader;
  std::map<std::string, LabelGroup> groups;
  std::vector<std::string> units;
  std::vector<PlateRows> figureRows;
  int included = 0;
  for (Plate& plate : plates) {
    if (!plate.why.empty()) continue;
    if (rowsHeader.empty()) {
      rowsHeader = plate.rows.header;
      growthHeader = plate.growth.header;
    }
    if (plate.rows.header != rowsHeader || plate.growth.header != growthHeader) {
      plate.why = "its tables have other columns than the first plate's (another version?)";
      continue;
    }
    ++included;
    figureRows.push_back({plate.name, plate.rows.header, plate.rows.lines});
    const std::string name = csvField(plate.name);
    for (const std::string& line : plate.rows.lines) rows += name + "," + line + "\n";
    std::map<std::string, std::size_t> at = columnsOf(growthHeader);
    for (const std::string& line : plate.growth.lines) {
      growth += name + "," + line + "\n";
      std::vector<std::string> f;
      if (!splitCsvLine(line, &f) || f.size() != at.size()) continue;
      LabelGroup& group = groups[f[at["label"]]];
      group.suspect += f[at["suspect_left_out"]].empty() ? 0 : std::stoi(f[at["suspect_left_out"]]);
      if (f[at["rate_px_per_h"]].empty()) continue;
      group.rates.push_back(std::stod(f[at["rate_px_per_h"]]));
      group.finals.push_back(std::stod(f[at["last_length_px"]]));
      if (f[at["rate_mm_per_h"]].empty()) {
        group.allMm = false;
      } else {
        group.ratesMm.push_back(std::stod(f[at["rate_mm_per_h"]]));
      }
      units.push_back(f[at["time_unit"]]);
    }
  }
  bool mixedUnits = false;
  for (const std::string& unit : units) mixedUnits = mixedUnits || unit != units.front();
  if (mixedUnits) {
    err << "warning: some plates give rates per hour and others per image: give every plate "
           "its times; the summary's rates are left empty"
        << std::endl;
  }

  if (control && groups.count(*control) == 0) {
    err << "warning: no seedling is labelled " << *control << " (the control)" << std::endl;
  }
  const std::string summary =
      summaryTable(groups, control, mixedUnits || units.empty() ? "" : units.front());

  std::string listing = "plate,out,included,why_not\n";
  for (const Plate& plate : plates) {
    listing += csvField(plate.name) + "," + csvField(plate.out) + "," +
               (plate.why.empty() ? "yes," : "no," + csvField(plate.why)) + "\n";
    if (!plate.why.empty()) {
      err << "plate " << plate.name << " left out: " << plate.why << std::endl;
    }
  }
  std::vector<std::pair<std::string, std::string>> files = {
      {"experiment.csv", rowsHeader.empty() ? "" : "plate," + rowsHeader + "\n" + rows},
      {"experiment_growth.csv",
       growthHeader.empty() ? "" : "plate," + growthHeader + "\n" + growth},
      {"experiment_summary.csv", summary},
      {"experiment_plates.csv", listing}};
  // Nothing is replaced that StemScan did not write.
  const std::map<std::string, std::string> marks = {
      {"experiment.csv", "plate,image,file,time_h,hypocotyl,"},
      {"experiment_growth.csv", "plate,hypocotyl,row,col,label,"},
      {"experiment_summary.csv", "label,n,suspect_left_out,"},
      {"experiment_plates.csv", "plate,out,included,"}};
  for (const auto& [name, mark] : marks) {
    const std::string path = (folder / name).string();
    if (mayReplace(path, {mark})) continue;
    err << path << " exists and was not written by StemScan: it is left as it is; move it away"
        << std::endl;
    return 2;
  }
  bool written = true;
  const GrowthFigure figure =
      experimentGrowthFigure(fs::path(settings.listPath).stem().string(), figureRows);
  for (const auto& [format, name] : kFigures) {
    const std::string path = (folder / name).string();
    if (!mayReplaceHolding(path, figurePrefix(format, kGrowthPlotMark),
                           figureMarkText(format, kGrowthPlotMark))) {
      err << path << " exists and was not written by StemScan: it is left as it is; move it away"
          << std::endl;
      return 2;
    }
    if (figure.curves.empty()) continue;
    const std::string bytes = drawGrowthFigure(figure, format, kGrowthPlotMark);
    if (bytes.empty()) {
      err << "cannot draw " << path << std::endl;
      written = false;
      continue;
    }
    files.emplace_back(name, bytes);
  }
  for (const auto& [name, text] : files) {
    const std::string path = (folder / name).string();
    if (text.empty()) continue;
    if (!writeFileWhole(path, text)) {
      err << "cannot write file " << path << std::endl;
      written = false;
      continue;
    }
    out << "written: " << path << std::endl;
  }
  out << included << " of " << plates.size() << " plates merged" << std::endl;
  return written && included == static_cast<int>(plates.size()) ? 0 : 1;
}

}  // namespace stemscan
