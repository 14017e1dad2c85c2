// stemScan --merge: the plates of a list merged into an experiment.
#include <iostream>

#include "main/command_line.h"
#include "merge/experiment_merge.h"

namespace stemscan {

int mergeMain(const std::vector<std::string>& args) {
  MergeSettings settings;
  std::vector<std::string> words(args.begin(), args.end());
  if (words[0].rfind("--merge=", 0) == 0) {
    words.insert(words.begin() + 1, words[0].substr(8));
    words[0] = "--merge";
  }
  for (std::size_t k = 1; k < words.size(); ++k) {
    if (words[k].rfind("--control=", 0) == 0 && words[k].size() > 10 && !settings.control) {
      settings.control = words[k].substr(10);
    } else if (settings.listPath.empty() && words[k].rfind("--", 0) != 0) {
      settings.listPath = words[k];
    } else {
      std::cerr << "usage: stemScan --merge PLATES.csv [--control=LABEL]" << std::endl;
      return kExitUsage;
    }
  }
  if (settings.listPath.empty()) {
    std::cerr << "usage: stemScan --merge PLATES.csv [--control=LABEL]" << std::endl;
    return kExitUsage;
  }
  return mergeExperiment(settings, std::cout, std::cerr);
}

}  // namespace stemscan
