#include "tools/benchmark/light_grown_plate.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/sample/evaluation.h"

namespace stemscan::benchmark {

int lightGrownPlate(const std::string& data, const std::string& marksPath,
                    const std::string& folder,
                    const std::function<int(const std::vector<std::string>&)>& run) {
  const std::vector<sample::MarkedTop> marks = sample::readMarkedTops(marksPath);
  if (marks.empty() || !std::filesystem::exists(data + "/" + marks.front().file)) {
    std::printf("\nabrs_flight: no photographs at %s\n", data.c_str());
    return 0;
  }
  std::filesystem::create_directories(folder);
  // The marked seedlings, left to right, selected at their tops on the first photograph. The
  // light changes across the plate and from one photograph to the next, so the background is
  // evened; the threshold lies halfway between the evened negative's stems (about 150 on the
  // first photograph) and its plate (255).
  std::map<int, const sample::MarkedTop*> first;
  for (const sample::MarkedTop& m : marks) {
    if (m.frame == 0) first[m.seedling] = &m;
  }
  std::ofstream session(folder + "/session.txt");
  session << "seed 1\n";
  for (const auto& [seedling, m] : first) {
    session << "mouse StemScan rup " << std::lround(m->x) << " " << std::lround(m->y) << " alt\n";
  }
  session << "key space\nslider thresholding threshold 200\nkey space\nkey space\n";
  session.close();
  const std::string out = folder + "/refined";
  const int status =
      run({data + "/" + first.begin()->second->file, "1", std::to_string(first.size()), out,
           "--script=" + folder + "/session.txt", "--refine", "--bright", "--even-background"});
  std::map<int, int> column;
  for (const auto& [seedling, m] : first) column[seedling] = static_cast<int>(column.size());
  std::map<std::pair<int, int>, sample::LongTableRow> ends;
  {
    std::ifstream table(out + ".csv");
    std::ostringstream text;
    text << table.rdbuf();
    for (const sample::LongTableRow& row : sample::readLongTable(text.str())) {
      if (row.measured()) ends[{row.image, row.hypocotyl}] = row;
    }
  }
  int tops = 0, topsClose = 0, collars = 0, collarsClose = 0;
  double topSum = 0.0, collarSum = 0.0;
  for (const sample::MarkedTop& m : marks) {
    const auto found = ends.find({m.frame, column[m.seedling]});
    ++tops;
    ++collars;
    if (found == ends.end()) continue;
    const sample::LongTableRow& e = found->second;
    const double top = std::hypot(e.top.x - m.x, e.top.y - m.y);
    const double collar = std::hypot(e.base.x - m.collarX, e.base.y - m.collarY);
    topSum += top;
    collarSum += collar;
    topsClose += top <= 15.0 ? 1 : 0;
    collarsClose += collar <= 10.0 ? 1 : 0;
  }
  std::printf("\n%-12s %6s %10s %10s %12s %12s\n", "abrs_flight", "marks", "top mean", "within 15",
              "collar mean", "within 10");
  std::printf("%-12s %6d %8.1fpx %9.1f%% %10.1fpx %11.1f%%%s\n", "refine", tops, topSum / tops,
              100.0 * topsClose / tops, collarSum / collars, 100.0 * collarsClose / collars,
              status == 0 ? "" : "  (run failed)");
  std::printf(
      "top, collar: distance of the refined top and base from the marks made by eye\n"
      "(tracks.csv, seedlings 7 and 9 selected at their marked tops, --bright\n"
      "--even-background, threshold 200); a missing measurement counts as far off.\n");
  return status != 0 ? 1 : 0;
}

}  // namespace stemscan::benchmark
