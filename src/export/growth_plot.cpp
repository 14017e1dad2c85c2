#include "export/growth_plot.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "export/growth.h"

namespace stemscan {
namespace {

// What the lengths are: a hypocotyl's only where every base was placed by the user; a visible
// stem's where a base stands at the image's edge (the stem runs off the picture); otherwise
// the contour's, from where its base was seeded or tracked.
const char* lengthName(const ExportSources& sources) {
  bool allPlaced = true;
  bool atEdge = false;
  for (int s = 0; s < sources.hypocotyls(); ++s) {
    for (unsigned t = 0; t < sources.images(); ++t) {
      if (sources.contour(s, t).empty()) continue;
      const ResultStore::Base base = sources.store.baseOf(s, t);
      allPlaced = allPlaced && base == ResultStore::Base::kPlaced;
      atEdge = atEdge || base == ResultStore::Base::kImageEdge;
    }
  }
  if (atEdge) return "visible stem length";
  return allPlaced ? "hypocotyl length" : "contour length";
}

constexpr double kWidth = 760.0;
constexpr double kHeight = 480.0;
constexpr double kLeft = 70.0;
constexpr double kRight = 200.0;  // room for the legend
constexpr double kTop = 40.0;
constexpr double kBottom = 55.0;
const char* const kPalette[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};

std::string xmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

// Round steps (1, 2 or 5 times a power of ten) that cut [low, high] into about five.
std::vector<double> ticks(double low, double high) {
  const double raw = (high - low) / 5.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * power;
    if (step >= raw) break;
  }
  // Counted, not summed: far from zero, adding a small step may not change the value.
  std::vector<double> at;
  const double from = std::ceil(low / step);
  const double to = std::floor(high / step + 1e-9);
  if (!std::isfinite(from) || !std::isfinite(to) || to - from > 20) return {low, high};
  for (double k = from; k <= to; k += 1.0) {
    const double v = k * step;
    at.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
  }
  return at;
}

std::string number(double v) {
  std::string text = fixed(v, 3);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

struct Axes {
  double x0, x1, y0, y1;
  double px(double x) const { return kLeft + (x - x0) / (x1 - x0) * (kWidth - kLeft - kRight); }
  double py(double y) const {
    return kHeight - kBottom - (y - y0) / (y1 - y0) * (kHeight - kTop - kBottom);
  }
  std::string point(double x, double y) const { return fixed(px(x), 2) + "," + fixed(py(y), 2); }
};

}  // namespace

const char* const kGrowthPlotMark = "<!-- StemScan growth plot -->";

std::string growthPlot(const ExportSources& sources) {
  const Experiment& experiment = sources.experiment;
  const double scale = experiment.px_per_mm ? 1.0 / *experiment.px_per_mm : 1.0;
  const bool grouped = !experiment.layout_path.empty();
  std::vector<GrowthSeries> all = growthSeries(sources);
  all.erase(
      std::remove_if(all.begin(), all.end(), [](const GrowthSeries& s) { return s.x.empty(); }),
      all.end());

  // The groups of the legend: labels in order of first appearance, or one per hypocotyl.
  std::vector<std::string> groups;
  std::vector<std::size_t> groupOf;
  for (const GrowthSeries& s : all) {
    std::string name = grouped ? experiment.labelOf(s.hypocotyl) : "";
    if (grouped && name.empty()) name = "(no label)";
    if (!grouped) name = "hypocotyl " + std::to_string(s.hypocotyl);
    auto found = std::find(groups.begin(), groups.end(), name);
    groupOf.push_back(static_cast<std::size_t>(found - groups.begin()));
    if (found == groups.end()) groups.push_back(name);
  }

  Axes axes{0.0, 1.0, 0.0, 1.0};
  bool first = true;
  for (const GrowthSeries& s : all) {
    for (std::size_t k = 0; k < s.x.size(); ++k) {
      const double y = s.length_px[k] * scale;
      axes.x0 = first ? s.x[k] : std::min(axes.x0, s.x[k]);
      axes.x1 = first ? s.x[k] : std::max(axes.x1, s.x[k]);
      axes.y1 = first ? y : std::max(axes.y1, y);
      first = false;
    }
  }
  if (axes.x1 <= axes.x0) axes.x1 = axes.x0 + 1.0;
  if (axes.y1 <= axes.y0) axes.y1 = axes.y0 + 1.0;
  axes.y1 *= 1.05;

  const std::string xTitle = experiment.timesKnown() ? "time (h)" : "image";
  const std::string yTitle =
      std::string(lengthName(sources)) + (experiment.px_per_mm ? " (mm)" : " (px)");
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + std::string(kGrowthPlotMark) +
                    "\n"
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
                    number(kWidth) + "\" height=\"" + number(kHeight) + "\" viewBox=\"0 0 " +
                    number(kWidth) + " " + number(kHeight) +
                    "\" font-family=\"Helvetica, Arial, sans-serif\" font-size=\"12\">\n"
                    "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  // Axes, ticks and their titles.
  const double left = kLeft;
  const double right = kWidth - kRight;
  const double bottom = kHeight - kBottom;
  svg += "<g stroke=\"black\" stroke-width=\"1\">\n<line x1=\"" + number(left) + "\" y1=\"" +
         number(bottom) + "\" x2=\"" + number(right) + "\" y2=\"" + number(bottom) + "\"/>\n" +
         "<line x1=\"" + number(left) + "\" y1=\"" + number(kTop) + "\" x2=\"" + number(left) +
         "\" y2=\"" + number(bottom) + "\"/>\n";
  std::string labels;
  for (double x : ticks(axes.x0, axes.x1)) {
    const std::string at = fixed(axes.px(x), 2);
    svg += "<line x1=\"" + at + "\" y1=\"" + number(bottom) + "\" x2=\"" + at + "\" y2=\"" +
           number(bottom + 5) + "\"/>\n";
    labels += "<text x=\"" + at + "\" y=\"" + number(bottom + 18) + "\" text-anchor=\"middle\">" +
              number(x) + "</text>\n";
  }
  for (double y : ticks(axes.y0, axes.y1)) {
    const std::string at = fixed(axes.py(y), 2);
    svg += "<line x1=\"" + number(left - 5) + "\" y1=\"" + at + "\" x2=\"" + number(left) +
           "\" y2=\"" + at + "\"/>\n";
    labels += "<text x=\"" + number(left - 8) + "\" y=\"" + at +
              "\" text-anchor=\"end\" dominant-baseline=\"middle\">" + number(y) + "</text>\n";
  }
  svg += "</g>\n" + labels;
  svg += "<text x=\"" + number((left + right) / 2) + "\" y=\"" + number(kHeight - 15) +
         "\" text-anchor=\"middle\">" + xTitle + "</text>\n";
  svg += "<text transform=\"translate(18 " + number((kTop + bottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">" + yTitle + "</text>\n";

  // Each label's mean and standard-error band, under the single hypocotyls.
  if (grouped) {
    for (std::size_t g = 0; g < groups.size(); ++g) {
      std::map<double, std::vector<double>> at;  // x -> lengths of the group's members
      for (std::size_t i = 0; i < all.size(); ++i) {
        if (groupOf[i] != g) continue;
        for (std::size_t k = 0; k < all[i].x.size(); ++k) {
          at[all[i].x[k]].push_back(all[i].length_px[k] * scale);
        }
      }
      std::string upper;
      std::string lower;
      std::string mean;
      for (const auto& [x, values] : at) {
        double sum = 0.0;
        for (double v : values) sum += v;
        const double m = sum / static_cast<double>(values.size());
        double squares = 0.0;
        for (double v : values) squares += (v - m) * (v - m);
        const double n = static_cast<double>(values.size());
        const double se = values.size() > 1 ? std::sqrt(squares / (n - 1.0)) / std::sqrt(n) : 0.0;
        upper += axes.point(x, m + se) + " ";
        lower = axes.point(x, m - se) + " " + lower;
        mean += axes.point(x, m) + " ";
      }
      const char* colour = kPalette[g % 10];
      svg += "<polygon class=\"band\" fill=\"" + std::string(colour) +
             "\" fill-opacity=\"0.2\" stroke=\"none\" points=\"" + upper + lower + "\"/>\n";
      svg += "<polyline class=\"mean\" fill=\"none\" stroke=\"" + std::string(colour) +
             "\" stroke-width=\"3\" points=\"" + mean + "\"/>\n";
    }
  }
  for (std::size_t i = 0; i < all.size(); ++i) {
    std::string points;
    for (std::size_t k = 0; k < all[i].x.size(); ++k) {
      points += axes.point(all[i].x[k], all[i].length_px[k] * scale) + " ";
    }
    svg += "<polyline class=\"hypocotyl\" data-hypocotyl=\"" + std::to_string(all[i].hypocotyl) +
           "\" fill=\"none\" stroke=\"" + kPalette[groupOf[i] % 10] +
           "\" stroke-width=\"1.2\" points=\"" + points + "\"/>\n";
  }
  // The legend.
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const double y = kTop + 10 + 18 * static_cast<double>(g);
    svg += "<line x1=\"" + number(right + 15) + "\" y1=\"" + number(y) + "\" x2=\"" +
           number(right + 40) + "\" y2=\"" + number(y) + "\" stroke=\"" + kPalette[g % 10] +
           "\" stroke-width=\"3\"/>\n<text x=\"" + number(right + 46) + "\" y=\"" + number(y) +
           "\" dominant-baseline=\"middle\">" + xmlText(groups[g]) + "</text>\n";
  }
  if (grouped) {
    const double y = kTop + 10 + 18 * static_cast<double>(groups.size());
    svg += "<text x=\"" + number(right + 15) + "\" y=\"" + number(y + 4) +
           "\" font-size=\"10\">thick: mean, band: 1 s.e.</text>\n";
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace stemscan
