#include "tools/benchmark/light_grown_plate.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace stemscan::benchmark {
namespace {

struct Mark {
  int frame = 0;
  std::string file;
  int seedling = 0;
  double topX = 0, topY = 0, collarX = 0, collarY = 0;
};

std::vector<Mark> readMarks(const std::string& path) {
  std::ifstream in(path);
  std::vector<Mark> marks;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::stringstream fields(line);
    std::string f[7];
    for (std::string& field : f) std::getline(fields, field, ',');
    Mark m;
    m.frame = std::stoi(f[0]);
    m.file = f[1];
    m.seedling = std::stoi(f[2]);
    m.topX = std::stod(f[3]);
    m.topY = std::stod(f[4]);
    m.collarX = std::stod(f[5]);
    m.collarY = std::stod(f[6]);
    marks.push_back(m);
  }
  return marks;
}

// Each measured line of a long table: (image, hypocotyl) -> top and base.
std::map<std::pair<int, int>, std::vector<double>> readEnds(const std::string& path) {
  std::ifstream in(path);
  std::map<std::pair<int, int>, std::vector<double>> ends;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
    if (f.size() < 15 || f[11].empty()) continue;
    ends[{std::stoi(f[0]), std::stoi(f[3])}] = {std::stod(f[11]), std::stod(f[12]),
                                                std::stod(f[13]), std::stod(f[14])};
  }
  return ends;
}

}  // namespace

int lightGrownPlate(const std::string& data, const std::string& marksPath,
                    const std::string& folder,
                    const std::function<int(const std::vector<std::string>&)>& run) {
  const std::vector<Mark> marks = readMarks(marksPath);
  if (marks.empty() || !std::filesystem::exists(data + "/" + marks.front().file)) {
    std::printf("\nabrs_flight: no photographs at %s\n", data.c_str());
    return 0;
  }
  std::filesystem::create_directories(folder);
  // The marked seedlings, left to right, selected at their tops on the first photograph. The
  // light changes across the plate and from one photograph to the next, so the background is
  // evened; the threshold lies halfway between the evened negative's stems (about 150 on the
  // first photograph) and its plate (255).
  std::map<int, const Mark*> first;
  for (const Mark& m : marks) {
    if (m.frame == 0) first[m.seedling] = &m;
  }
  std::ofstream session(folder + "/session.txt");
  session << "seed 1\n";
  for (const auto& [seedling, m] : first) {
    session << "mouse StemScan rup " << std::lround(m->topX) << " " << std::lround(m->topY)
            << " alt\n";
  }
  session << "key space\nslider thresholding threshold 200\nkey space\nkey space\n";
  session.close();
  const std::string out = folder + "/refined";
  const int status =
      run({data + "/" + first.begin()->second->file, "1", std::to_string(first.size()), out,
           "--script=" + folder + "/session.txt", "--refine", "--bright", "--even-background"});
  std::map<int, int> column;
  for (const auto& [seedling, m] : first) column[seedling] = static_cast<int>(column.size());
  const auto ends = readEnds(out + ".csv");
  int tops = 0, topsClose = 0, collars = 0, collarsClose = 0;
  double topSum = 0.0, collarSum = 0.0;
  for (const Mark& m : marks) {
    const auto found = ends.find({m.frame, column[m.seedling]});
    ++tops;
    ++collars;
    if (found == ends.end()) continue;
    const std::vector<double>& e = found->second;
    const double top = std::hypot(e[0] - m.topX, e[1] - m.topY);
    const double collar = std::hypot(e[2] - m.collarX, e[3] - m.collarY);
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
