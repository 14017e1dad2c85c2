// What the biologist tells about an experiment beyond its images: when each image was taken,
// what grows in each cell of the grid, and how many pixels make a millimetre. Whatever is not
// told stays unknown: no time axis, label or scale is ever made up.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace stemscan {

struct TimedFile {
  std::string file;  // as listed: a file name, or a path
  double hours = 0.0;
  std::size_t line = 0;  // in the times file, from 1
};

struct Experiment {
  std::optional<double> interval_minutes;  // --interval: image k at k x interval
  std::string times_path;                  // --times
  std::vector<TimedFile> listed_times;     // its rows
  bool time_from_names = false;            // --time-from=names: the camera's clock in each name
  bool time_from_exif = false;             // --time-from=exif: each photograph's EXIF time
  std::vector<double> image_hours;         // per image of the sequence, once resolved
  std::vector<std::string> image_clock;    // per image, ISO 8601, where the names give it
  std::string layout_path;                 // --layout
  std::vector<std::string> labels;         // per hypocotyl index ("" where none)
  std::optional<double> px_per_mm;         // --px-per-mm, --dpi, or set with 'm'
  std::optional<std::string> control;      // --control: the label the others compare with
  std::string scale_source;                // "--px-per-mm", "--dpi" or "ruler ('m')"

  bool timesKnown() const {
    return interval_minutes.has_value() || !times_path.empty() || time_from_names || time_from_exif;
  }
  // The time of image k in hours; nothing when times are unknown.
  std::optional<double> hoursAt(unsigned k) const;
  // The label of a hypocotyl ("" where none).
  std::string labelOf(int hypocotyl) const;
  int labelCount() const;
};

// A positive decimal number ("15", "0.5", "2e1"); false for anything else.
bool parsePositive(const std::string& text, double* value);

// Reads a `file,time_h` CSV (a header line optional; blank lines and a byte-order mark are
// passed over). Nothing, with `error` naming the file and line, when a line cannot be read or
// lists a file twice.
std::optional<std::vector<TimedFile>> loadTimes(const std::string& path, std::string* error);

// Reads a `row,col,label` CSV (header required; row and column from 1) into one label per
// hypocotyl index (row - 1) x cols + (col - 1). Nothing, with `error` naming the file and line,
// for an unreadable line, a cell outside the grid, a cell listed twice or a label that is not
// plain UTF-8 text.
std::optional<std::vector<std::string>> loadLayout(const std::string& path, int rows, int cols,
                                                   std::string* error);

// Gives every image of the sequence (`files`, in order) its time: from the interval, from the
// listed times matched by file name, or from the date and time in each name. False, with
// `error`, when a listed file is not in the sequence, an image of the sequence is not listed or
// has no date and time in its name, or a time is before the previous image's.
bool resolveTimes(Experiment& experiment, const std::vector<std::string>& files,
                  std::string* error);

// The start-up lines: what is known of time, layout and scale.
std::string describe(const Experiment& experiment);

}  // namespace stemscan
