// What the exports are made from: the store's contours and marks, the experiment's times,
// labels and scale, and the sequence's file names.
#pragma once

#include <locale>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "experiment/experiment.h"
#include "result_store/result_store.h"

namespace stemscan {

struct ExportSources {
  const ResultStore& store;
  const Experiment& experiment;
  const std::vector<std::string>& files;  // file name of each image of the sequence
  int nb_rows = 1;
  int nb_cols = 1;
  float orientationParameter = 15.0f;

  int hypocotyls() const { return nb_rows * nb_cols; }
  unsigned images() const { return store.rowCount(); }
  // The contour of hypocotyl s at image t; empty where none was measured (and at an image that
  // could not be read).
  const std::vector<Vec2>& contour(int s, unsigned t) const;
};

// `value` with `decimals` decimals and a dot, whatever the user's locale.
std::string fixed(double value, int decimals);

}  // namespace stemscan
