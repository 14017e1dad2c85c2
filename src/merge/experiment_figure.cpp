#include "merge/experiment_figure.h"

#include <charconv>
#include <map>
#include <optional>
#include <utility>

#include "experiment/csv.h"
#include "export/growth_plot.h"

namespace stemscan {
namespace {

struct Measurement {
  double image = 0.0;
  double hours = 0.0;
  double px = 0.0;
  double mm = 0.0;
};

// A number as the tables write it; nothing for an empty or a damaged field.
std::optional<double> number(const std::string& text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

GrowthFigure experimentGrowthFigure(const std::string& title,
                                    const std::vector<PlateRows>& plates) {
  bool timed = true;
  bool scaled = true;
  bool allPlaced = true;
  bool atEdge = false;
  // Each seedling's measurements, by plate and hypocotyl in the order of the plates.
  std::vector<std::pair<std::string, std::string>> order;  // tag, label
  std::map<std::string, std::vector<Measurement>> measured;
  for (const PlateRows& plate : plates) {
    std::map<std::string, std::size_t> at = columnsOf(plate.header);
    for (const char* column :
         {"image", "time_h", "hypocotyl", "label", "status", "length_px", "length_mm", "base"}) {
      if (at.count(column) == 0) return GrowthFigure{};
    }
    for (const std::string& line : plate.lines) {
      std::vector<std::string> f;
      if (!splitCsvLine(line, &f) || f.size() != at.size()) continue;
      if (f[at["status"]] != "measured") continue;
      const std::optional<double> image = number(f[at["image"]]);
      const std::optional<double> px = number(f[at["length_px"]]);
      if (!image || !px) continue;
      const std::optional<double> hours = number(f[at["time_h"]]);
      const std::optional<double> mm = number(f[at["length_mm"]]);
      const std::string tag = plate.name + ":" + f[at["hypocotyl"]];
      if (measured.count(tag) == 0) order.emplace_back(tag, f[at["label"]]);
      Measurement m{*image, hours.value_or(0.0), *px, mm.value_or(0.0)};
      timed = timed && hours;
      scaled = scaled && mm;
      allPlaced = allPlaced && (f[at["base"]] == "placed" || f[at["base"]] == "collar");
      atEdge = atEdge || f[at["base"]] == "image_edge";
      measured[tag].push_back(m);
    }
  }
  GrowthFigure figure;
  figure.title = title;
  figure.unit = scaled ? "mm" : "px";
  figure.xTitle = timed ? "time (h)" : "image";
  figure.lengthTitle = std::string(lengthName(allPlaced, atEdge)) + " (" + figure.unit + ")";
  for (const auto& [tag, label] : order) {
    GrowthCurve curve;
    curve.group = label.empty() ? "(no label)" : label;
    curve.tag = tag;
    for (const Measurement& m : measured[tag]) {
      curve.x.push_back(timed ? m.hours : m.image);
      curve.y.push_back(scaled ? m.mm : m.px);
    }
    figure.curves.push_back(curve);
  }
  return figure;
}

}  // namespace stemscan
