// The numbers along a plot's axes: a range fitted to the data and round ticks across it.
#pragma once

#include <string>
#include <vector>

namespace stemscan {

struct AxisRange {
  double low = 0.0;
  double high = 1.0;
};

// The data's own range with a margin of `margin` of its span on each side; it does not reach
// out to zero unless the data do. A span of nothing is widened to one unit.
AxisRange fittedRange(const std::vector<double>& values, double margin);

// Round steps (1, 2 or 5 times a power of ten) that cut [low, high] into about five.
std::vector<double> ticks(const AxisRange& range);

// A tick's text: at most three decimals, no trailing zeros, in the C locale.
std::string tickText(double value);

}  // namespace stemscan
