#include "grabber/sequence_listing.h"

#include <algorithm>
#include <filesystem>

namespace stemscan {
namespace {

// The widest number read from a file name: larger ones would not fit.
constexpr std::size_t kMaxNumberDigits = 18;

bool allDigits(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<SequenceFile> listLaterFiles(const std::string& folder, const std::string& prefix,
                                         const std::string& extension,
                                         unsigned long long firstNumber) {
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
    if (!allDigits(digits) || digits.size() > kMaxNumberDigits) continue;
    const unsigned long long number = std::stoull(digits);
    if (number <= firstNumber || !entry.is_regular_file(error)) continue;
    files.push_back({folder + name, number});
  }
  std::sort(files.begin(), files.end(), [](const SequenceFile& a, const SequenceFile& b) {
    return a.number != b.number ? a.number < b.number : a.path < b.path;
  });
  return files;
}

}  // namespace stemscan
