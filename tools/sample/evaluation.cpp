#include "tools/sample/evaluation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace stemscan::sample {
namespace {

double at(const std::vector<std::vector<double>>& table, int row, int column) {
  if (row >= static_cast<int>(table.size()) || column >= static_cast<int>(table[row].size())) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return table[row][column];
}

}  // namespace

std::vector<std::vector<double>> parseTable(const std::string& text) {
  std::vector<std::vector<double>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::vector<double> row;
    for (std::string word; words >> word;) {
      row.push_back(word == "nan" ? std::numeric_limits<double>::quiet_NaN() : std::stod(word));
    }
    rows.push_back(row);
  }
  return rows;
}

std::string selectionSession(const PlateSettings& plate, int threshold, bool rowBottoms) {
  const PlateRenderer renderer(plate);
  const std::vector<SeedlingTruth> truth = renderer.truth(0);
  std::ostringstream out;
  out << "# Select each hypocotyl at its top, one threshold for all";
  out << (rowBottoms ? ", each row's bottom on its bases.\n" : ".\n");
  out << "seed " << plate.seed << "\n";
  for (const SeedlingTruth& s : truth) {
    out << "mouse StemScan rup " << std::lround(s.topX) << " " << std::lround(s.topY) << " alt\n";
  }
  out << "key space\n"
      << "slider thresholding threshold " << threshold << "\n"
      << "key space\n";
  if (rowBottoms) {
    for (int r = 0; r < plate.rows; ++r) {
      const SeedlingTruth& first = truth[r * plate.cols];
      out << "mouse StemScan lup " << std::lround(first.baseX) << " " << std::lround(first.baseY)
          << "\n";
    }
  }
  out << "key space\n";
  return out.str();
}

Accuracy evaluate(const PlateSettings& plate, const std::string& lengthTable,
                  const std::string& tipTable, double lostPixels) {
  const auto lengths = parseTable(lengthTable);
  const auto tips = parseTable(tipTable);
  const PlateRenderer renderer(plate);
  Accuracy a;
  int lost = 0;
  int measured = 0;
  for (int t = 0; t < plate.images; ++t) {
    for (const SeedlingTruth& s : renderer.truth(t)) {
      ++a.measurements;
      const double length = at(lengths, t, s.hypocotyl);
      const double x = at(tips, t, 2 * s.hypocotyl);
      const double y = at(tips, t, 2 * s.hypocotyl + 1);
      if (std::isnan(length) || std::isnan(x) || std::isnan(y)) {
        ++a.missing;
        ++lost;
        continue;
      }
      ++measured;
      const double error = std::fabs(length - s.length);
      const double percent = 100.0 * error / s.length;
      const double top = std::hypot(x - s.topX, y - s.topY);
      a.meanLengthError += error;
      a.meanLengthErrorPercent += percent;
      a.meanTopError += top;
      a.worstLengthError = std::max(a.worstLengthError, error);
      a.worstLengthErrorPercent = std::max(a.worstLengthErrorPercent, percent);
      if (top > lostPixels) ++lost;
    }
  }
  if (measured > 0) {
    a.meanLengthError /= measured;
    a.meanLengthErrorPercent /= measured;
    a.meanTopError /= measured;
  }
  if (a.measurements > 0) a.lostShare = static_cast<double>(lost) / a.measurements;
  return a;
}

}  // namespace stemscan::sample
