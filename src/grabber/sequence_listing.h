// The files of an image sequence as they come off a camera: numbered by a counter or a time
// stamp, with steps of any size, gaps where a photograph was dropped, and numbers of any width
// and length (a 14-digit date and time, a 13-digit millisecond clock).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace stemscan {

struct SequenceFile {
  std::string path;
  std::string digits;  // the number as written in the name, leading zeros and all
};

// Orders numbers written as digit strings by their value, however long; 0 for equal values
// ("7" and "007"), as strcmp does otherwise.
int compareNumbers(const std::string& a, const std::string& b);
// The value of a digit string without its leading zeros ("0" for zero).
std::string numberText(const std::string& digits);

// The files in `folder` (as written before the file name: "" for the working folder, else
// ending in '/') named `prefix`, digits, `extension`, whose number is larger than
// `firstDigits`'s, in increasing numeric order. Of files that share a number ("plate07.png",
// "plate007.png"), the one written with as many digits as `firstDigits` is kept, else the
// shortest: the others (overlay images an earlier run wrote beside the sequence, say) are left
// out and named on `warnings`. Other names are ignored.
std::vector<SequenceFile> listLaterFiles(const std::string& folder, const std::string& prefix,
                                         const std::string& extension,
                                         const std::string& firstDigits, std::ostream& warnings);

// The digit groups of a file name (its extension aside): "2010_02_19_16_39_06-0091" has
// seven.
std::vector<std::string> digitGroups(const std::string& name);

// Camera names: the files in `folder` whose name has the shape of `firstName` (the same text
// between the same number of digit groups, the same extension `extension`) and whose digit
// groups come after its, read as numbers from the first group on, in that order. Date and time
// names so form one sequence, whatever a counter among them does. Of files with the same
// numbers, the first by name is kept and the others named on `warnings`.
std::vector<SequenceFile> listLaterSameShape(const std::string& folder,
                                             const std::string& firstName,
                                             const std::string& extension, std::ostream& warnings);

}  // namespace stemscan
