// The four result tables and the overlay images.
//
// A table on disk is always one complete writing: each rewrite goes to a temporary file
// beside the table, which then replaces it.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <sstream>

#include "plate_analyzer/plate_analyzer.h"

namespace stemscan {
namespace {

const char* const kSuffixes[] = {"_len.txt", "_or.txt", "_seg.txt", "_tip.txt"};

bool writeWhole(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    out.flush();
    if (!out) {
      out.close();
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::optional<OverlayName> splitOverlayName(const std::string& value) {
  const std::size_t slash = value.find_last_of('/');
  const std::size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
  std::vector<std::string> pieces;
  std::istringstream file(value.substr(fileStart));
  for (std::string piece; std::getline(file, piece, '.');) {
    if (!piece.empty()) pieces.push_back(piece);
  }
  if (pieces.size() < 2) return std::nullopt;
  return OverlayName{value.substr(0, fileStart) + pieces[0], pieces[1]};
}

std::string overlayFileName(const std::string& prefix, unsigned t, const std::string& extension) {
  char number[16];
  std::snprintf(number, sizeof number, "%03u", t);
  return prefix + number + "." + extension;
}

bool PlateAnalyzer::openResultFiles(const std::string& outputName) {
  if (trace) return true;
  // Created in the order _or, _len, _seg, _tip; kept in the order they are written.
  const int creationOrder[] = {1, 0, 2, 3};
  result_names_.assign(4, "");
  for (int k : creationOrder) {
    result_names_[k] = outputName + kSuffixes[k];
    std::ofstream out(result_names_[k], std::ios::trunc);
    if (!out) {
      std::cout << "cannot open file " << result_names_[k] << std::endl;
      result_names_.clear();
      return false;
    }
  }
  files_open_ = true;
  return true;
}

void PlateAnalyzer::writeResultFiles() {
  if (trace || !files_open_) return;
  for (int k = 0; k < 4; ++k) {
    std::ostringstream table;
    switch (k) {
      case 0:
        store.writeLengths(table);
        break;
      case 1:
        store.writeOrientations(table, static_cast<float>(tuning.orientation_length));
        break;
      case 2:
        store.writeSegments(table);
        break;
      default:
        store.writeTips(table);
    }
    if (!writeWhole(result_names_[k], table.str())) {
      std::cerr << "cannot write file " << result_names_[k] << std::endl;
    }
  }
}

bool PlateAnalyzer::parseOverlayName(const std::string& value) {
  const std::optional<OverlayName> name = splitOverlayName(value);
  if (!name) {
    std::cerr << "cannot find extension in filename " << value << std::endl;
    return false;
  }
  image_prefix = name->prefix;
  image_ext = name->extension;
  save_images = true;
  return true;
}

void PlateAnalyzer::saveOverlay(unsigned t) {
  const std::string name = overlayFileName(image_prefix, t, image_ext);
  bool written = false;
  try {
    written = cv::imwrite(name, displayView(display));
  } catch (const cv::Exception&) {
    written = false;
  }
  if (!written) std::cerr << "cannot write image " << name << std::endl;
}

}  // namespace stemscan

namespace stemscan {

void PlateAnalyzer::printSummary() const {
  if (trace || !files_open_) return;
  std::cout << "tables written: " << result_names_[0] << ", " << result_names_[1] << ", "
            << result_names_[2] << ", " << result_names_[3] << std::endl;
  store.writeSummary(std::cout);
}

}  // namespace stemscan
