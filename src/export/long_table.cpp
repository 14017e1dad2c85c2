#include "export/long_table.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "checks/track_checks.h"
#include "experiment/csv.h"
#include "snake/contour.h"

namespace stemscan {

namespace {
const std::vector<Vec2> kNoContour;
}  // namespace

const std::vector<Vec2>& ExportSources::contour(int s, unsigned t) const {
  const auto& series = store.series;
  if (s < 0 || static_cast<std::size_t>(s) >= series.size() || t >= series[s].size() ||
      store.isSkipped(t)) {
    return kNoContour;
  }
  return series[s][t];
}

std::string fixed(double value, int decimals) {
  // to_chars writes as printf does in the C locale, whatever locale the windows set.
  char text[64];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return std::to_string(value);
  return std::string(text, end);
}

const char* baseName(ResultStore::Base base) {
  switch (base) {
    case ResultStore::Base::kPlaced:
      return "placed";
    case ResultStore::Base::kTracked:
      return "tracked";
    case ResultStore::Base::kImageEdge:
      return "image_edge";
    case ResultStore::Base::kCollar:
      return "collar";
    case ResultStore::Base::kSeeded:
      break;
  }
  return "seeded";
}

std::string longTableHeader() {
  return "image,file,time_h,hypocotyl,row,col,label,status,length_px,length_mm,orientation_deg,"
         "top_x,top_y,base_x,base_y,points,corrected,flags,base,datetime\n";
}

std::string longTableLines(const ExportSources& sources, unsigned from, unsigned to) {
  std::string out;
  const Experiment& experiment = sources.experiment;
  for (unsigned t = from; t < std::min(to, sources.images()); ++t) {
    const std::string file = t < sources.files.size() ? csvField(sources.files[t]) : "";
    const std::optional<double> hours = experiment.hoursAt(t);
    const std::string time = hours ? fixed(*hours, 4) : "";
    const bool skipped = sources.store.isSkipped(t);
    for (int s = 0; s < sources.hypocotyls(); ++s) {
      const std::vector<Vec2>& points = sources.contour(s, t);
      const bool measured = !points.empty();
      out += std::to_string(t) + "," + file + "," + time + "," + std::to_string(s) + "," +
             std::to_string(s / sources.nb_cols + 1) + "," +
             std::to_string(s % sources.nb_cols + 1) + "," + csvField(experiment.labelOf(s)) + ",";
      if (measured) {
        const Contour contour(points);
        const float length = contour.length();
        // A flagged measurement is suspect until the user corrects it (which clears its flags).
        out += sources.store.flagsOf(s, t) != 0 ? "suspect," : "measured,";
        out += fixed(length, 3) + ",";
        if (experiment.px_per_mm) out += fixed(length / *experiment.px_per_mm, 3);
        out += "," + fixed(contour.orientation(sources.orientationParameter), 3) + "," +
               fixed(points.front().x, 3) + "," + fixed(points.front().y, 3) + "," +
               fixed(points.back().x, 3) + "," + fixed(points.back().y, 3) + "," +
               std::to_string(points.size()) + ",";
      } else {
        out += skipped ? "skipped,,,,,,,,," : "off,,,,,,,,,";
      }
      out += sources.store.isCorrected(s, t) ? "1," : "0,";
      out += flagText(sources.store.flagsOf(s, t)) + ",";
      out += measured ? baseName(sources.store.baseOf(s, t)) : "";
      out += ",";
      if (t < experiment.image_clock.size()) out += experiment.image_clock[t];
      out += "\n";
    }
  }
  return out;
}

std::string contoursHeader() { return "image,hypocotyl,point,x,y\n"; }

std::string contourLines(const ExportSources& sources, unsigned from, unsigned to) {
  std::string out;
  for (unsigned t = from; t < std::min(to, sources.images()); ++t) {
    for (int s = 0; s < sources.hypocotyls(); ++s) {
      const std::vector<Vec2>& points = sources.contour(s, t);
      for (std::size_t k = 0; k < points.size(); ++k) {
        out += std::to_string(t) + "," + std::to_string(s) + "," + std::to_string(k) + "," +
               fixed(points[k].x, 3) + "," + fixed(points[k].y, 3) + "\n";
      }
    }
  }
  return out;
}

}  // namespace stemscan
