#include "figure/plot_scale.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace stemscan {

AxisRange fittedRange(const std::vector<double>& values, double margin) {
  if (values.empty()) return {};
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  AxisRange range{*low, *high};
  if (!(range.high > range.low)) return {range.low - 0.5, range.low + 0.5};
  const double pad = (range.high - range.low) * margin;
  return {range.low - pad, range.high + pad};
}

std::vector<double> ticks(const AxisRange& range) {
  const double raw = (range.high - range.low) / 5.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * power;
    if (step >= raw) break;
  }
  // Counted, not summed: far from zero, adding a small step may not change the value.
  std::vector<double> at;
  const double from = std::ceil(range.low / step);
  const double to = std::floor(range.high / step + 1e-9);
  if (!std::isfinite(from) || !std::isfinite(to) || to - from > 20) return {range.low, range.high};
  for (double k = from; k <= to; k += 1.0) {
    const double v = k * step;
    at.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
  }
  return at;
}

std::string tickText(double value) {
  char text[64];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
  if (error != std::errc()) return "";
  std::string out(text, end);
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  return out == "-0" ? "0" : out;
}

}  // namespace stemscan
