#include "tools/benchmark/light_grown_plate.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/sample/marked_plate.h"

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
  std::ofstream(folder + "/session.txt") << sample::markedSelection(marks, 200);
  std::string first;
  int seedlings = 0;
  for (const sample::MarkedTop& m : marks) {
    if (m.frame != 0) continue;
    first = m.file;
    ++seedlings;
  }
  const std::string out = folder + "/refined";
  const int status =
      run({data + "/" + first, "1", std::to_string(seedlings), out,
           "--script=" + folder + "/session.txt", "--refine", "--bright", "--even-background"});
  std::ostringstream table;
  table << std::ifstream(out + ".csv").rdbuf();
  const sample::MarkAgreement a = sample::agreeWithMarks(marks, table.str());
  std::printf("\n%-12s %6s %10s %10s %12s %12s\n", "abrs_flight", "marks", "top mean", "within 15",
              "collar mean", "within 10");
  std::printf("%-12s %6d %8.1fpx %9.1f%% %10.1fpx %11.1f%%%s\n", "refine", a.marks, a.topMean,
              100.0 * a.topsWithin15 / a.marks, a.collarMean, 100.0 * a.collarsWithin10 / a.marks,
              status == 0 ? "" : "  (run failed)");
  std::printf(
      "top, collar: distance of the refined top and base from the marks made by eye\n"
      "(tracks.csv, seedlings 7 and 9 selected at their marked tops, --bright\n"
      "--even-background, threshold 200); a missing measurement counts as far off.\n");
  return status != 0 ? 1 : 0;
}

}  // namespace stemscan::benchmark
