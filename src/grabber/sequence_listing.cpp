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

// A name without its extension split into its digit groups and the texts between them
// (`texts` has one more element than `groups`).
struct Shape {
  std::vector<std::string> texts;
  std::vector<std::string> groups;
};

Shape shapeOf(const std::string& stem) {
  Shape shape;
  shape.texts.emplace_back();
  for (std::size_t k = 0; k < stem.size();) {
    if (stem[k] < '0' || stem[k] > '9') {
      shape.texts.back() += stem[k++];
      continue;
    }
    std::size_t end = k;
    while (end < stem.size() && stem[end] >= '0' && stem[end] <= '9') ++end;
    shape.groups.push_back(stem.substr(k, end - k));
    shape.texts.emplace_back();
    k = end;
  }
  return shape;
}

int compareGroups(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  for (std::size_t k = 0; k < a.size() && k < b.size(); ++k) {
    if (const int order = compareNumbers(a[k], b[k])) return order;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

std::vector<std::string> digitGroups(const std::string& name) {
  const std::size_t dot = name.find_last_of('.');
  return shapeOf(dot == std::string::npos ? name : name.substr(0, dot)).groups;
}

std::vector<SequenceFile> listLaterSameShape(const std::string& folder,
                                             const std::string& firstName,
                                             const std::string& extension, std::ostream& warnings) {
  namespace fs = std::filesystem;
  auto stemOf = [&extension](const std::string& name) {
    return name.substr(0, name.size() - extension.size());
  };
  const Shape first = shapeOf(stemOf(firstName));
  struct Found {
    SequenceFile file;
    std::vector<std::string> groups;
  };
  std::vector<Found> found;
  std::error_code error;
  fs::directory_iterator entries(folder.empty() ? fs::path(".") : fs::path(folder), error);
  if (error) return {};
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (name.size() <= extension.size()) continue;
    if (name.compare(name.size() - extension.size(), extension.size(), extension) != 0) continue;
    const Shape shape = shapeOf(stemOf(name));
    if (shape.texts != first.texts || compareGroups(shape.groups, first.groups) <= 0) continue;
    if (!entry.is_regular_file(error)) continue;
    found.push_back({{folder + name, shape.groups.back()}, shape.groups});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    const int order = compareGroups(a.groups, b.groups);
    return order != 0 ? order < 0 : a.file.path < b.file.path;
  });
  std::vector<SequenceFile> kept;
  for (std::size_t k = 0; k < found.size(); ++k) {
    if (k > 0 && compareGroups(found[k - 1].groups, found[k].groups) == 0) {
      warnings << "warning: " << found[k].file.path << " has the numbers of "
               << found[k - 1].file.path << "; left out of the sequence" << std::endl;
      continue;
    }
    kept.push_back(found[k].file);
  }
  return kept;
}

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
