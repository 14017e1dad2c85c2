// An experiment from many plates: every plate of a plate list merged into one long table, one
// growth table and one summary per label (genotype, treatment), beside the list. A plate that
// failed or wrote no tables is named and left out, never silently.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace stemscan {

struct MergeSettings {
  std::string listPath;                // the plate list (a CSV with an `out` column)
  std::optional<std::string> control;  // --control=LABEL, else the list's `control` column
};

// Writes experiment.csv, experiment_growth.csv, experiment_summary.csv and
// experiment_plates.csv beside the list; says what it did on `out`, what failed on `err`.
// Returns the exit status: 0, 1 when a plate was left out or a file could not be written, 2
// for a list it cannot use.
int mergeExperiment(const MergeSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace stemscan
