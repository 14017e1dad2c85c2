#include "experiment/experiment.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <map>
#include <set>
#include <sstream>

#include "experiment/clock_names.h"
#include "experiment/csv.h"
#include "experiment/exif_time.h"

namespace stemscan {
namespace {

// The largest time accepted, in hours (over a thousand years): any real sequence is shorter.
constexpr double kMaxHours = 1e7;

std::string baseName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// Reads a number in the C locale, whatever the user's.
bool parseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  in >> *value;
  return !in.fail() && in.eof() && std::isfinite(*value);
}

bool parseWholeFrom1(const std::string& text, int* value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  *value = std::atoi(text.c_str());
  return *value >= 1;
}

// The lines of a text file, with their numbers; false when it cannot be read.
bool readLines(const std::string& path, std::vector<std::string>* lines, std::string* error) {
  std::error_code code;
  // Only a regular file is opened: a pipe would wait for a writer.
  if (!std::filesystem::is_regular_file(path, code)) {
    const bool exists = std::filesystem::exists(path, code);
    *error = "cannot read " + path + (exists ? ": not a regular file" : ": no such file");
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Spreadsheets begin a "CSV UTF-8" file with a byte-order mark.
    if (lines->empty() && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    lines->push_back(line);
  }
  return true;
}

bool blank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

std::string fixedText(double value) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << value;
  return out.str();
}

// Why a label cannot stand in the tables and the plot (a control character, bytes that are not
// UTF-8); empty when it can.
std::string labelProblem(const std::string& label) {
  const char* const notUtf8 = "bytes that are not UTF-8";
  for (std::size_t k = 0; k < label.size(); ++k) {
    const unsigned char c = static_cast<unsigned char>(label[k]);
    if (c < 32 || c == 127) return "a control character";
    if (c < 0x80) continue;
    // A lead byte and the continuation bytes it announces.
    const std::size_t extra = (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 0;
    if (extra == 0 || k + extra >= label.size()) return notUtf8;
    for (std::size_t j = 1; j <= extra; ++j) {
      if ((static_cast<unsigned char>(label[k + j]) >> 6) != 2) return notUtf8;
    }
    k += extra;
  }
  return "";
}

std::string at(const std::string& path, std::size_t index) {
  return path + ":" + std::to_string(index + 1) + ": ";
}

}  // namespace

std::optional<double> Experiment::hoursAt(unsigned k) const {
  if (interval_minutes) return static_cast<double>(k) * *interval_minutes / 60.0;
  if (k < image_hours.size()) return image_hours[k];
  return std::nullopt;
}

std::string Experiment::labelOf(int hypocotyl) const {
  if (hypocotyl < 0 || static_cast<std::size_t>(hypocotyl) >= labels.size()) return "";
  return labels[static_cast<std::size_t>(hypocotyl)];
}

int Experiment::labelCount() const {
  int n = 0;
  for (const std::string& label : labels) n += label.empty() ? 0 : 1;
  return n;
}

bool parsePositive(const std::string& text, double* value) {
  return parseNumber(text, value) && *value > 0.0;
}

std::optional<std::vector<TimedFile>> loadTimes(const std::string& path, std::string* error) {
  std::vector<std::string> lines;
  if (!readLines(path, &lines, error)) return std::nullopt;
  std::vector<TimedFile> times;
  std::vector<std::string> fields;
  std::map<std::string, std::size_t> lineOf;  // of each file listed, by its name
  bool first = true;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (blank(lines[i])) continue;
    double hours = 0.0;
    const bool split = splitCsvLine(lines[i], &fields) && fields.size() == 2;
    const bool header = first && split && !parseNumber(fields[1], &hours);
    first = false;
    if (header) continue;
    if (!split || fields[0].empty() || !parseNumber(fields[1], &hours)) {
      *error = at(path, i) + "cannot read this line as file,time_h: " + lines[i];
      return std::nullopt;
    }
    if (std::abs(hours) > kMaxHours) {
      *error = at(path, i) + "the time " + fields[1] + " h is out of range (at most " +
               std::to_string(static_cast<long>(kMaxHours)) + " h)";
      return std::nullopt;
    }
    const auto [listed, added] = lineOf.emplace(baseName(fields[0]), i);
    if (!added) {
      *error = at(path, i) + fields[0] + " is listed twice (first on line " +
               std::to_string(listed->second + 1) + ")";
      return std::nullopt;
    }
    times.push_back({fields[0], hours, i + 1});
  }
  if (times.empty()) {
    *error = path + ": lists no image";
    return std::nullopt;
  }
  return times;
}

std::optional<std::vector<std::string>> loadLayout(const std::string& path, int rows, int cols,
                                                   std::string* error) {
  std::vector<std::string> lines;
  if (!readLines(path, &lines, error)) return std::nullopt;
  std::vector<std::string> fields;
  std::size_t first = 0;
  while (first < lines.size() && blank(lines[first])) ++first;
  if (first == lines.size() || !splitCsvLine(lines[first], &fields) || fields.size() != 3 ||
      fields[0] != "row" || fields[1] != "col" || fields[2] != "label") {
    *error = path + ": the first line must be the header row,col,label";
    return std::nullopt;
  }
  std::vector<std::string> labels(static_cast<std::size_t>(rows) * cols);
  std::set<int> seen;
  for (std::size_t i = first + 1; i < lines.size(); ++i) {
    if (blank(lines[i])) continue;
    int row = 0;
    int col = 0;
    if (!splitCsvLine(lines[i], &fields) || fields.size() != 3 ||
        !parseWholeFrom1(fields[0], &row) || !parseWholeFrom1(fields[1], &col)) {
      *error = at(path, i) + "cannot read this line as row,col,label: " + lines[i];
      return std::nullopt;
    }
    if (row > rows || col > cols) {
      *error = at(path, i) + "row " + fields[0] + ", column " + fields[1] +
               " is outside the grid of " + std::to_string(rows) + " x " + std::to_string(cols);
      return std::nullopt;
    }
    const int index = (row - 1) * cols + (col - 1);
    if (!seen.insert(index).second) {
      *error = at(path, i) + "row " + fields[0] + ", column " + fields[1] + " is listed twice";
      return std::nullopt;
    }
    if (const std::string problem = labelProblem(fields[2]); !problem.empty()) {
      *error = at(path, i) + "the label holds " + problem + ": write it as plain text (UTF-8)";
      return std::nullopt;
    }
    labels[static_cast<std::size_t>(index)] = fields[2];
  }
  return labels;
}

namespace {

// The times of the camera's clock, from each file's name or from its EXIF data.
bool timeFromClock(Experiment& experiment, const std::vector<std::string>& files,
                   std::string* error) {
  std::optional<std::int64_t> first, previous;
  for (const std::string& file : files) {
    const std::optional<std::int64_t> seconds =
        experiment.time_from_exif ? exifSeconds(file) : secondsInName(file);
    if (!seconds && experiment.time_from_exif) {
      *error = file +
               " has no EXIF date and time (DateTimeOriginal) that can be read: give the "
               "times with --times=FILE";
      return false;
    }
    if (!seconds) {
      *error = file +
               " has no date and time in its name (--time-from=names reads "
               "YYYY_MM_DD_hh_mm_ss, YYYYMMDDhhmmss or YYYYMMDD_hhmmss, any separators): "
               "give the times with --times=FILE";
      return false;
    }
    if (previous && *seconds < *previous) {
      *error = file + " is at " + isoDateTime(*seconds) +
               ", before the image before it in the "
               "sequence (" +
               isoDateTime(*previous) + "): times must not decrease";
      return false;
    }
    if (!first) first = seconds;
    previous = seconds;
    experiment.image_hours.push_back(static_cast<double>(*seconds - *first) / 3600.0);
    experiment.image_clock.push_back(isoDateTime(*seconds));
  }
  return true;
}

}  // namespace

bool resolveTimes(Experiment& experiment, const std::vector<std::string>& files,
                  std::string* error) {
  experiment.image_hours.clear();
  if (experiment.interval_minutes) {
    for (std::size_t k = 0; k < files.size(); ++k) {
      experiment.image_hours.push_back(static_cast<double>(k) * *experiment.interval_minutes /
                                       60.0);
    }
    return true;
  }
  experiment.image_clock.clear();
  if (experiment.time_from_names || experiment.time_from_exif) {
    return timeFromClock(experiment, files, error);
  }
  if (experiment.times_path.empty()) return true;
  std::map<std::string, const TimedFile*> listed;
  for (const TimedFile& row : experiment.listed_times) listed[baseName(row.file)] = &row;
  std::set<std::string> inSequence;
  const TimedFile* previous = nullptr;
  for (const std::string& file : files) {
    const auto it = listed.find(baseName(file));
    if (it == listed.end()) {
      *error = experiment.times_path + " gives no time for the image " + file +
               " of the sequence: list every image";
      return false;
    }
    // Times run forward along the sequence: a time before the previous image's is a mistake.
    if (previous != nullptr && it->second->hours < previous->hours) {
      *error = experiment.times_path + ":" + std::to_string(it->second->line) + ": " +
               it->second->file + " is at " + fixedText(it->second->hours) + " h, before " +
               previous->file + " (" + fixedText(previous->hours) +
               " h), the image before it in the sequence: times must not decrease";
      return false;
    }
    previous = it->second;
    experiment.image_hours.push_back(it->second->hours);
    inSequence.insert(baseName(file));
  }
  for (const TimedFile& row : experiment.listed_times) {
    if (inSequence.count(baseName(row.file)) == 0) {
      *error =
          experiment.times_path + " lists " + row.file + ", which is not an image of the sequence";
      return false;
    }
  }
  return true;
}

std::string describe(const Experiment& experiment) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  if (experiment.interval_minutes) {
    out << "time step: " << *experiment.interval_minutes << " min\n";
  } else if (!experiment.times_path.empty()) {
    out << "times: " << experiment.listed_times.size() << " images listed in "
        << experiment.times_path << "\n";
  } else if (experiment.time_from_names) {
    out << "times: from the date and time in each file name\n";
  } else if (experiment.time_from_exif) {
    out << "times: from each photograph's EXIF date and time\n";
  } else {
    out << "time: unknown (--interval=MINUTES or --times=FILE give one)\n";
  }
  if (experiment.px_per_mm) {
    out << "scale: " << *experiment.px_per_mm << " px/mm\n";
  } else {
    out << "scale: unknown, lengths in pixels (--px-per-mm, --dpi or 'm' set one)\n";
  }
  if (!experiment.layout_path.empty()) {
    out << "layout: " << experiment.labelCount() << " labels\n";
  }
  return out.str();
}

}  // namespace stemscan
