// The summary per label (genotype, treatment) of a plate (<out>_summary.csv) or of an
// experiment (experiment_summary.csv): how many seedlings, and the mean, spread and 95 %
// interval of their growth rates and final lengths, with each label's difference to a control
// and Welch's p-value.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "export/export_sources.h"

namespace stemscan {

// The seedlings of one label.
struct LabelGroup {
  std::vector<double> rates;    // px per time unit, one per seedling with a rate
  std::vector<double> ratesMm;  // mm per time unit, where a scale is known
  std::vector<double> finals;   // final lengths, px
  int suspect = 0;              // flagged measurements left out of the rates
  bool allMm = true;            // every seedling's rate has a value in mm
};

// The summary's first line (the mark by which StemScan knows the file as its own).
std::string summaryHeader();
// The summary: its header, then one line per label in label order. `unit` is the time unit of
// every rate ("h" or "image"; empty where they differ, and then no rate is summarised).
std::string summaryTable(const std::map<std::string, LabelGroup>& groups,
                         const std::optional<std::string>& control, const std::string& unit);

// The groups of one plate, from its growth series.
std::map<std::string, LabelGroup> labelGroups(const ExportSources& sources);

}  // namespace stemscan
