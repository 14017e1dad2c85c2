#include "export/growth.h"

#include <cmath>

#include "experiment/csv.h"
#include "snake/contour.h"

namespace stemscan {

std::vector<GrowthSeries> growthSeries(const ExportSources& sources) {
  std::vector<GrowthSeries> all(static_cast<std::size_t>(sources.hypocotyls()));
  for (int s = 0; s < sources.hypocotyls(); ++s) {
    GrowthSeries& series = all[static_cast<std::size_t>(s)];
    series.hypocotyl = s;
    for (unsigned t = 0; t < sources.images(); ++t) {
      const std::vector<Vec2>& points = sources.contour(s, t);
      if (points.empty()) continue;
      if (sources.store.flagsOf(s, t) != 0) {
        ++series.suspect;
        continue;
      }
      const std::optional<double> hours = sources.experiment.hoursAt(t);
      series.x.push_back(hours ? *hours : static_cast<double>(t));
      series.length_px.push_back(Contour(points).length());
      series.images.push_back(t);
    }
  }
  return all;
}

std::optional<LineFit> fitLine(const std::vector<double>& x, const std::vector<double>& y) {
  const std::size_t n = x.size();
  if (n < 2) return std::nullopt;
  double mx = 0.0;
  double my = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    mx += x[i];
    my += y[i];
  }
  mx /= static_cast<double>(n);
  my /= static_cast<double>(n);
  double sxx = 0.0;
  double sxy = 0.0;
  double syy = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    sxx += (x[i] - mx) * (x[i] - mx);
    sxy += (x[i] - mx) * (y[i] - my);
    syy += (y[i] - my) * (y[i] - my);
  }
  if (!(sxx > 0.0)) return std::nullopt;
  LineFit fit;
  fit.slope = sxy / sxx;
  if (n >= 3 && syy > 0.0) fit.r2 = sxy * sxy / (sxx * syy);
  return fit;
}

std::string growthTable(const ExportSources& sources) {
  // The rates are per hour, or per image where no time is known (time_unit says which): the
  // columns keep their names, so that tables of both kinds merge.
  const std::string unit = sources.experiment.timesKnown() ? "h" : "image";
  std::string out =
      "hypocotyl,row,col,label,images,first_image,last_image,first_length_px,"
      "last_length_px,growth_px,rate_px_per_h,rate_mm_per_h,r2,growth_mm,suspect_left_out,"
      "time_unit\n";
  const std::optional<double> scale = sources.experiment.px_per_mm;
  for (const GrowthSeries& series : growthSeries(sources)) {
    const int s = series.hypocotyl;
    out += std::to_string(s) + "," + std::to_string(s / sources.nb_cols + 1) + "," +
           std::to_string(s % sources.nb_cols + 1) + "," + csvField(sources.experiment.labelOf(s)) +
           "," + std::to_string(series.x.size()) + ",";
    const std::string suspect = std::to_string(series.suspect);
    if (series.x.empty()) {
      out += ",,,,,,,,," + suspect + "," + unit + "\n";
      continue;
    }
    const double first = series.length_px.front();
    const double last = series.length_px.back();
    out += std::to_string(series.images.front()) + "," + std::to_string(series.images.back()) +
           "," + fixed(first, 3) + "," + fixed(last, 3) + "," + fixed(last - first, 3) + ",";
    const std::optional<LineFit> fit = fitLine(series.x, series.length_px);
    if (fit) {
      out += fixed(fit->slope, 4) + ",";
      if (scale) out += fixed(fit->slope / *scale, 4);
      out += ",";
      if (fit->r2) out += fixed(*fit->r2, 4);
    } else {
      out += ",,";
    }
    out += ",";
    if (scale) out += fixed((last - first) / *scale, 3);
    out += "," + suspect + "," + unit + "\n";
  }
  return out;
}

}  // namespace stemscan
