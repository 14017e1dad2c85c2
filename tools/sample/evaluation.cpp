#include "tools/sample/evaluation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <map>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>

namespace stemscan::sample {
namespace {

double at(const std::vector<std::vector<double>>& table, int row, int column) {
  if (row >= static_cast<int>(table.size()) || column >= static_cast<int>(table[row].size())) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return table[row][column];
}

// Which column of the tables holds each true seedling: the hypocotyl whose top at image 0 is
// nearest to the seedling's, one to one, nearest pairs first. A click takes the grid cell whose
// scattered contour lies nearest, so two seedlings in one cell may be named either way round;
// that naming is the user's, not a measurement.
std::vector<int> columnsByFirstTops(const std::vector<cv::Point2f>& truth,
                                    const std::vector<cv::Point2f>& found) {
  struct Pair {
    double distance;
    int seedling;
    int hypocotyl;
  };
  std::vector<Pair> pairs;
  const int seedlings = static_cast<int>(truth.size());
  const int hypocotyls = static_cast<int>(found.size());
  for (int s = 0; s < seedlings; ++s) {
    for (int h = 0; h < hypocotyls; ++h) {
      const double d = std::hypot(found[h].x - truth[s].x, found[h].y - truth[s].y);
      if (!std::isnan(d)) pairs.push_back({d, s, h});
    }
  }
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const Pair& a, const Pair& b) { return a.distance < b.distance; });
  std::vector<int> column(truth.size());
  for (int s = 0; s < seedlings; ++s) column[s] = s;
  std::vector<bool> seedlingTaken(truth.size(), false);
  std::vector<bool> hypocotylTaken(found.size(), false);
  for (const Pair& p : pairs) {
    if (seedlingTaken[p.seedling] || hypocotylTaken[p.hypocotyl]) continue;
    seedlingTaken[p.seedling] = hypocotylTaken[p.hypocotyl] = true;
    column[p.seedling] = p.hypocotyl;
  }
  return column;
}

}  // namespace

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream cells(line);
  for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
  if (!line.empty() && line.back() == ',') fields.emplace_back();
  return fields;
}

std::map<std::string, std::size_t> columnsNamed(const std::string& header,
                                                std::initializer_list<const char*> needed) {
  std::map<std::string, std::size_t> column;
  const std::vector<std::string> names = fieldsOf(header);
  for (std::size_t k = 0; k < names.size(); ++k) column[names[k]] = k;
  for (const char* name : needed) {
    if (column.count(name) == 0) return {};
  }
  return column;
}

std::vector<std::vector<double>> parseTable(const std::string& text) {
  std::vector<std::vector<double>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::vector<double> row;
    for (std::string word; words >> word;) {
      row.push_back(word == "nan" ? std::numeric_limits<double>::quiet_NaN() : std::stod(word));
    }
    rows.push_back(row);
  }
  return rows;
}

std::string selectionSession(const PlateSettings& plate, int threshold, bool rowBottoms) {
  const PlateRenderer renderer(plate);
  const std::vector<SeedlingTruth> truth = renderer.truth(0);
  std::ostringstream out;
  out << "# Select each hypocotyl at its top, one threshold for all";
  out << (rowBottoms ? ", each row's bottom on its bases.\n" : ".\n");
  out << "seed " << plate.seed << "\n";
  for (const SeedlingTruth& s : truth) {
    out << "mouse StemScan rup " << std::lround(s.topX) << " " << std::lround(s.topY) << " alt\n";
  }
  out << "key space\n"
      << "slider thresholding threshold " << threshold << "\n"
      << "key space\n";
  if (rowBottoms) {
    for (int r = 0; r < plate.rows; ++r) {
      const SeedlingTruth& first = truth[r * plate.cols];
      out << "mouse StemScan lup " << std::lround(first.baseX) << " " << std::lround(first.baseY)
          << "\n";
    }
  }
  out << "key space\n";
  return out.str();
}

Accuracy evaluate(const PlateSettings& plate, const std::string& lengthTable,
                  const std::string& tipTable, double lostPixels) {
  const auto lengths = parseTable(lengthTable);
  const auto tips = parseTable(tipTable);
  const PlateRenderer renderer(plate);
  std::vector<cv::Point2f> trueFirst;
  for (const SeedlingTruth& s : renderer.truth(0)) trueFirst.emplace_back(s.topX, s.topY);
  std::vector<cv::Point2f> foundFirst;
  for (std::size_t h = 0; !tips.empty() && 2 * h + 1 < tips[0].size(); ++h) {
    foundFirst.emplace_back(static_cast<float>(tips[0][2 * h]),
                            static_cast<float>(tips[0][2 * h + 1]));
  }
  const std::vector<int> column = columnsByFirstTops(trueFirst, foundFirst);
  Accuracy a;
  int lost = 0;
  int measured = 0;
  for (int t = 0; t < plate.images; ++t) {
    for (const SeedlingTruth& s : renderer.truth(t)) {
      ++a.measurements;
      const int h = column[s.hypocotyl];
      const double length = at(lengths, t, h);
      const double x = at(tips, t, 2 * h);
      const double y = at(tips, t, 2 * h + 1);
      if (std::isnan(length) || std::isnan(x) || std::isnan(y)) {
        ++a.missing;
        ++lost;
        continue;
      }
      ++measured;
      const double error = std::fabs(length - s.length);
      const double percent = 100.0 * error / s.length;
      const double top = std::hypot(x - s.topX, y - s.topY);
      a.meanLengthError += error;
      a.meanLengthErrorPercent += percent;
      a.meanTopError += top;
      a.worstLengthError = std::max(a.worstLengthError, error);
      a.worstLengthErrorPercent = std::max(a.worstLengthErrorPercent, percent);
      if (top > lostPixels) ++lost;
    }
  }
  if (measured > 0) {
    a.meanLengthError /= measured;
    a.meanLengthErrorPercent /= measured;
    a.meanTopError /= measured;
  }
  if (a.measurements > 0) a.lostShare = static_cast<double>(lost) / a.measurements;
  return a;
}

DetectionScore scoreDetection(const std::vector<cv::Point2f>& truth,
                              const std::vector<cv::Point2f>& found, double tolerance) {
  DetectionScore score;
  std::vector<bool> used(found.size(), false);
  for (const cv::Point2f& t : truth) {
    std::size_t best = found.size();
    double nearest = tolerance;
    for (std::size_t k = 0; k < found.size(); ++k) {
      const double d = cv::norm(found[k] - t);
      if (!used[k] && d <= nearest) {
        nearest = d;
        best = k;
      }
    }
    if (best == found.size()) {
      ++score.missed;
      continue;
    }
    used[best] = true;
    ++score.found;
    score.meanTop += nearest;
  }
  if (score.found > 0) score.meanTop /= score.found;
  score.inError = static_cast<int>(std::count(used.begin(), used.end(), false));
  return score;
}

std::vector<std::vector<cv::Point2f>> trueTops(const PlateSettings& plate) {
  const PlateRenderer renderer(plate);
  std::vector<std::vector<cv::Point2f>> tops;
  for (int t = 0; t < plate.images; ++t) {
    tops.emplace_back();
    for (const SeedlingTruth& s : renderer.truth(t)) tops.back().emplace_back(s.topX, s.topY);
  }
  return tops;
}

std::vector<LongTableRow> readLongTable(const std::string& text) {
  std::stringstream lines(text);
  std::string line;
  std::getline(lines, line);
  std::map<std::string, std::size_t> column =
      columnsNamed(line, {"image", "hypocotyl", "top_x", "top_y", "base_x", "base_y", "flags"});
  std::vector<LongTableRow> rows;
  if (column.empty()) return rows;
  while (std::getline(lines, line)) {
    const std::vector<std::string> fields = fieldsOf(line);
    if (fields.size() < column.size()) continue;
    const auto number = [&](const char* name) {
      const std::string& field = fields[column[name]];
      return field.empty() ? NAN : std::stof(field);
    };
    LongTableRow row;
    row.image = std::stoi(fields[column["image"]]);
    row.hypocotyl = std::stoi(fields[column["hypocotyl"]]);
    row.top = cv::Point2f(number("top_x"), number("top_y"));
    row.base = cv::Point2f(number("base_x"), number("base_y"));
    row.flagged = !fields[column["flags"]].empty();
    rows.push_back(row);
  }
  return rows;
}

FlagAgreement compareFlags(const std::vector<std::vector<cv::Point2f>>& truth,
                           const std::string& longTable, double lostPixels) {
  const std::vector<LongTableRow> rows = readLongTable(longTable);
  // Each hypocotyl's true seedling: the one whose first top lies nearest to the hypocotyl's.
  std::vector<cv::Point2f> foundFirst;
  for (const LongTableRow& row : rows) {
    if (row.image != 0 || row.hypocotyl < 0) continue;
    if (row.hypocotyl >= static_cast<int>(foundFirst.size())) {
      foundFirst.resize(static_cast<std::size_t>(row.hypocotyl) + 1, cv::Point2f(NAN, NAN));
    }
    foundFirst[static_cast<std::size_t>(row.hypocotyl)] = row.top;
  }
  const std::vector<int> column =
      columnsByFirstTops(truth.empty() ? std::vector<cv::Point2f>() : truth[0], foundFirst);
  std::map<int, int> seedlingOf;
  for (std::size_t s = 0; s < column.size(); ++s) seedlingOf[column[s]] = static_cast<int>(s);

  FlagAgreement agreement;
  for (const LongTableRow& row : rows) {
    const auto paired = seedlingOf.find(row.hypocotyl);
    const int t = row.image;
    const int s = paired != seedlingOf.end() ? paired->second : row.hypocotyl;
    if (t >= static_cast<int>(truth.size()) || s >= static_cast<int>(truth[t].size())) continue;
    const cv::Point2f top = truth[t][s];
    if (std::isnan(top.x)) continue;
    const double off = row.measured() ? std::hypot(row.top.x - top.x, row.top.y - top.y) : 1e9;
    const bool lost = off > lostPixels;
    ++agreement.measurements;
    agreement.flagged += row.flagged;
    agreement.lost += lost;
    agreement.lostFlagged += lost && row.flagged;
    agreement.falseAlarms += row.flagged && !lost;
  }
  return agreement;
}

StemShare pointsOnStem(const std::string& folder, const std::string& contours, int threshold,
                       int tolerance) {
  std::map<int, std::vector<cv::Point2f>> byImage;
  std::stringstream lines(contours);
  std::string line;
  std::getline(lines, line);  // header
  while (std::getline(lines, line)) {
    int image = 0, hypocotyl = 0, point = 0;
    float x = 0, y = 0;
    if (std::sscanf(line.c_str(), "%d,%d,%d,%f,%f", &image, &hypocotyl, &point, &x, &y) == 5) {
      byImage[image].push_back({x, y});
    }
  }
  StemShare share;
  share.worstImage = byImage.empty() ? 0.0 : 1.0;
  for (const auto& [image, points] : byImage) {
    const cv::Mat grey =
        cv::imread(folder + "/" + std::to_string(image + 1) + ".TIF", cv::IMREAD_GRAYSCALE);
    if (grey.empty()) continue;
    cv::Mat dark;
    cv::compare(grey, threshold, dark, cv::CMP_LT);
    cv::dilate(dark, dark,
               cv::getStructuringElement(cv::MORPH_ELLIPSE,
                                         cv::Size(2 * tolerance + 1, 2 * tolerance + 1)));
    int on = 0;
    for (const cv::Point2f& p : points) {
      const cv::Point q(cvRound(p.x), cvRound(p.y));
      on += cv::Rect(0, 0, dark.cols, dark.rows).contains(q) && dark.at<uchar>(q) != 0 ? 1 : 0;
    }
    const double s = static_cast<double>(on) / points.size();
    share.mean += s / byImage.size();
    share.worstImage = std::min(share.worstImage, s);
  }
  return share;
}

}  // namespace stemscan::sample
