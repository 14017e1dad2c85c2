// The files of an image sequence as they come off a camera: numbered by a counter or a time
// stamp, with steps of any size, gaps where a photograph was dropped, and numbers of any width.
#pragma once

#include <string>
#include <vector>

namespace stemscan {

struct SequenceFile {
  std::string path;
  unsigned long long number = 0;
};

// The files in `folder` (as written before the file name: "" for the working folder, else
// ending in '/') named `prefix`, digits, `extension`, whose number is larger than
// `firstNumber`, in increasing numeric order (equal numbers by name). Other names are ignored.
std::vector<SequenceFile> listLaterFiles(const std::string& folder, const std::string& prefix,
                                         const std::string& extension,
                                         unsigned long long firstNumber);

}  // namespace stemscan
