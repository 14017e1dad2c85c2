#include "export/summary_table.h"

#include "experiment/csv.h"
#include "export/growth.h"
#include "snake/contour.h"
#include "stats/group_stats.h"

namespace stemscan {
namespace {

std::string optional(const std::optional<double>& value) {
  return value ? fixed(*value, 4) : std::string();
}

std::string columns(const GroupSummary& s) {
  return fixed(s.mean, 4) + "," + optional(s.sd) + "," + optional(s.se) + "," + optional(s.ciLow) +
         "," + optional(s.ciHigh);
}

}  // namespace

std::string summaryHeader() {
  return "label,n,suspect_left_out,rate_mean,rate_sd,rate_se,rate_ci95_low,rate_ci95_high,"
         "rate_mm_mean,rate_mm_sd,rate_mm_se,rate_mm_ci95_low,rate_mm_ci95_high,"
         "final_length_px_mean,final_length_px_sd,final_length_px_se,final_length_px_ci95_low,"
         "final_length_px_ci95_high,rate_difference_to_control,rate_p_welch,time_unit\n";
}

std::string summaryTable(const std::map<std::string, LabelGroup>& groups,
                         const std::optional<std::string>& control, const std::string& unit) {
  std::string out = summaryHeader();
  const auto controlGroup = control ? groups.find(*control) : groups.end();
  for (const auto& [label, group] : groups) {
    const bool rated = !unit.empty() && !group.rates.empty();
    out += csvField(label) + "," + std::to_string(group.rates.size()) + "," +
           std::to_string(group.suspect) + ",";
    out += rated ? columns(summarise(group.rates)) : ",,,,";
    out += ",";
    out +=
        rated && group.allMm && !group.ratesMm.empty() ? columns(summarise(group.ratesMm)) : ",,,,";
    out += ",";
    out += group.finals.empty() ? ",,,," : columns(summarise(group.finals));
    out += ",";
    std::optional<WelchTest> test;
    if (rated && controlGroup != groups.end() && controlGroup->first != label) {
      test = welchTest(group.rates, controlGroup->second.rates);
    }
    out += test ? fixed(test->difference, 4) + "," + fixed(test->p, 6) : std::string(",");
    out += "," + unit + "\n";
  }
  return out;
}

std::map<std::string, LabelGroup> labelGroups(const ExportSources& sources) {
  std::map<std::string, LabelGroup> groups;
  const std::optional<double> scale = sources.experiment.px_per_mm;
  for (const GrowthSeries& series : growthSeries(sources)) {
    if (series.x.empty() && series.suspect == 0) continue;  // never measured
    LabelGroup& group = groups[sources.experiment.labelOf(series.hypocotyl)];
    group.suspect += series.suspect;
    if (series.x.empty()) continue;
    const std::optional<LineFit> fit = fitLine(series.x, series.length_px);
    if (!fit) continue;
    group.rates.push_back(fit->slope);
    group.finals.push_back(series.length_px.back());
    if (scale) {
      group.ratesMm.push_back(fit->slope / *scale);
    } else {
      group.allMm = false;
    }
  }
  return groups;
}

}  // namespace stemscan
