#include "grabber/sequence_listing.h"

#include <algorithm>
#include <filesystem>

namespace stemscan {
namespace {

bool allDigits(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Of two names of one number, the one a sequence of `width`-digit names keeps.
bool preferred(const SequenceFile& a, const SequenceFile& b, std::size_t width) {
  const bool aFits = a.digits.size() == width;
  const bool bFits = b.digits.size() == width;
  if (aFits != bFits) return aFits;
  if (a.digits.size() != b.digits.size()) return a.digits.size() < b.digits.size();
  return a.path < b.path;
}

}  // namespace

std::string numberText(const std::string& digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? std::string("0") : digits.substr(first);
}

int compareNumbers(const std::string& a, const std::string& b) {
  const std::string x = numberText(a);
  const std::string y = numberText(b);
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  return x.compare(y);
}

std::vector<SequenceFile> listLaterFiles(const std::string& folder, const std::string& prefix,
                                         const std::string& extension,
                                         const std::string& firstDigits, std::ostream& warnings) {
  namespace fs = std::filesystem;
  std::vector<SequenceFile> files;
  std::error_code error;
  fs::directory_iterator entries(folder.empty() ? fs::path(".") : fs::path(folder), error);
  if (error) return files;
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (name.size() <= prefix.size() + extension.size()) continue;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    if (name.compare(name.size() - extension.size(), extension.size(), extension) != 0) continue;
    const std::string digits =
        name.substr(prefix.size(), name.size() - prefix.size() - extension.size());
    if (!allDigits(digits) || compareNumbers(digits, firstDigits) <= 0) continue;
    if (!entry.is_regular_file(error)) continue;
    files.push_back({folder + name, digits});
  }
  const std::size_t width = firstDigits.size();
  std::sort(files.begin(), files.end(), [width](const SequenceFile& a, const SequenceFile& b) {
    const int order = compareNumbers(a.digits, b.digits);
    return order != 0 ? order < 0 : preferred(a, b, width);
  });
  // Each number once: the first of a run of equal numbers is the one kept.
  std::vector<SequenceFile> kept;
  for (const SequenceFile& file : files) {
    if (!kept.empty() && compareNumbers(kept.back().digits, file.digits) == 0) {
      warnings << "warning: " << file.path << " has the number of " << kept.back().path
               << " (an overlay image of an earlier run?); left out of the sequence" << std::endl;
      continue;
    }
    kept.push_back(file);
  }
  return kept;
}

}  // namespace stemscan
