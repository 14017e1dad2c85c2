#include "tools/sample/marked_plate.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

namespace stemscan::sample {
namespace {

// The marks of frame 0, left to right by seedling number.
std::map<int, const MarkedTop*> firstMarks(const std::vector<MarkedTop>& marks) {
  std::map<int, const MarkedTop*> first;
  for (const MarkedTop& m : marks) {
    if (m.frame == 0) first[m.seedling] = &m;
  }
  return first;
}

}  // namespace

std::vector<MarkedTop> readMarkedTops(const std::string& path) {
  std::ifstream in(path);
  std::vector<MarkedTop> marks;
  std::string line;
  std::getline(in, line);
  std::map<std::string, std::size_t> column =
      columnsNamed(line, {"frame", "file", "seedling", "top_x", "top_y"});
  if (column.empty()) return marks;
  const bool collars = column.count("collar_x") > 0 && column.count("collar_y") > 0;
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = fieldsOf(line);
    if (fields.size() <= std::max(column["top_x"], column["top_y"])) continue;
    MarkedTop mark;
    mark.frame = std::stoi(fields[column["frame"]]);
    mark.file = fields[column["file"]];
    mark.seedling = std::stoi(fields[column["seedling"]]);
    mark.x = std::stod(fields[column["top_x"]]);
    mark.y = std::stod(fields[column["top_y"]]);
    if (collars && fields.size() > std::max(column["collar_x"], column["collar_y"])) {
      mark.collarX = std::stod(fields[column["collar_x"]]);
      mark.collarY = std::stod(fields[column["collar_y"]]);
    }
    mark.uncertain = line.find("uncertain") != std::string::npos;
    marks.push_back(mark);
  }
  return marks;
}

std::vector<MarkedTop> marksEvery(const std::vector<MarkedTop>& marks, int step) {
  std::vector<MarkedTop> kept;
  for (MarkedTop mark : marks) {
    if (mark.frame % step != 0) continue;
    mark.frame /= step;
    kept.push_back(mark);
  }
  return kept;
}

void linkEvery(const std::string& data, const std::string& folder, int step, int count) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  for (int k = 0; k * step < count; ++k) {
    const std::string link = folder + "/" + std::to_string(k + 1) + ".TIF";
    if (fs::exists(link)) continue;
    fs::create_symlink(fs::absolute(data + "/" + std::to_string(k * step + 1) + ".TIF"), link);
  }
}

std::string withThreshold(const std::string& session, int threshold) {
  const std::string slider = "slider thresholding threshold ";
  const std::size_t at = session.find(slider);
  if (at == std::string::npos) return session;
  const std::size_t from = at + slider.size();
  const std::size_t end = session.find('\n', from);
  return session.substr(0, from) + std::to_string(threshold) +
         (end == std::string::npos ? "" : session.substr(end));
}

TopAgreement compareTops(const std::vector<MarkedTop>& marks, const std::string& tipTable) {
  const auto tips = parseTable(tipTable);
  TopAgreement agreement;
  int within = 0;
  for (const MarkedTop& mark : marks) {
    double off = 1e9;
    if (mark.frame < static_cast<int>(tips.size()) &&
        2 * mark.seedling + 1 < static_cast<int>(tips[mark.frame].size())) {
      const auto& row = tips[mark.frame];
      off = std::hypot(row[2 * mark.seedling] - mark.x, row[2 * mark.seedling + 1] - mark.y);
      if (std::isnan(off)) off = 1e9;
    }
    agreement.mean += off;
    agreement.worst = std::max(agreement.worst, off);
    within += off <= 15.0 ? 1 : 0;
    ++agreement.marks;
  }
  if (agreement.marks > 0) {
    agreement.mean /= agreement.marks;
    agreement.within15 = static_cast<double>(within) / agreement.marks;
  }
  return agreement;
}

std::vector<std::vector<cv::Point2f>> markedTops(const std::vector<MarkedTop>& marks, int frames,
                                                 int seedlings) {
  const float none = std::numeric_limits<float>::quiet_NaN();
  std::vector<std::vector<cv::Point2f>> tops(
      static_cast<std::size_t>(frames),
      std::vector<cv::Point2f>(static_cast<std::size_t>(seedlings), cv::Point2f(none, none)));
  for (const MarkedTop& m : marks) {
    if (m.frame < frames && m.seedling < seedlings) {
      tops[m.frame][m.seedling] = cv::Point2f(static_cast<float>(m.x), static_cast<float>(m.y));
    }
  }
  return tops;
}

std::string markedSelection(const std::vector<MarkedTop>& marks, int threshold) {
  std::ostringstream session;
  session << "seed 1\n";
  for (const auto& [seedling, m] : firstMarks(marks)) {
    session << "mouse StemScan rup " << std::lround(m->x) << " " << std::lround(m->y) << " alt\n";
  }
  session << "key space\nslider thresholding threshold " << threshold << "\nkey space\nkey space\n";
  return session.str();
}

MarkAgreement agreeWithMarks(const std::vector<MarkedTop>& marks, const std::string& longTable) {
  std::map<int, int> column;
  for (const auto& [seedling, m] : firstMarks(marks)) {
    column[seedling] = static_cast<int>(column.size());
  }
  std::map<std::pair<int, int>, LongTableRow> ends;
  for (const LongTableRow& row : readLongTable(longTable)) {
    if (row.measured()) ends[{row.image, row.hypocotyl}] = row;
  }
  MarkAgreement a;
  int measured = 0;
  int collars = 0;
  for (const MarkedTop& m : marks) {
    ++a.marks;
    const auto found = ends.find({m.frame, column[m.seedling]});
    if (found == ends.end()) continue;
    ++measured;
    const LongTableRow& e = found->second;
    const double top = std::hypot(e.top.x - m.x, e.top.y - m.y);
    a.topMean += top;
    a.topsWithin15 += top <= 15.0 ? 1 : 0;
    if (std::isnan(m.collarX)) continue;
    const double collar = std::hypot(e.base.x - m.collarX, e.base.y - m.collarY);
    ++collars;
    a.collarMean += collar;
    a.collarsWithin10 += collar <= 10.0 ? 1 : 0;
  }
  if (measured > 0) a.topMean /= measured;
  if (collars > 0) a.collarMean /= collars;
  return a;
}

}  // namespace stemscan::sample
