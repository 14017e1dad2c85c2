// The four result tables and the overlay images.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>

#include "plate_analyzer/plate_analyzer.h"
#include "result_store/file_owner.h"

namespace stemscan {

std::optional<OverlayName> splitOverlayName(const std::string& value) {
  const std::size_t slash = value.find_last_of('/');
  const std::size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = value.find_last_of('.');
  if (dot == std::string::npos || dot <= fileStart || dot + 1 == value.size()) return std::nullopt;
  return OverlayName{value.substr(0, dot), value.substr(dot + 1)};
}

std::string overlayFileName(const std::string& prefix, unsigned t, const std::string& extension) {
  char number[16];
  std::snprintf(number, sizeof number, "%03u", t);
  return prefix + number + "." + extension;
}

void PlateAnalyzer::writeResultFiles() {
  pipeline_.writeResultFiles(static_cast<float>(tuning.orientation_length));
}

void PlateAnalyzer::updateResultFiles() {
  pipeline_.updateResultFiles(static_cast<float>(tuning.orientation_length));
}

bool PlateAnalyzer::overlaysSpareInputs(const std::string& outputName) const {
  if (!save_images || !pipeline_.isOpen()) return true;
  const ImgGrabber& grabber = pipeline_.sequence();
  namespace fs = std::filesystem;
  std::vector<std::string> inputs;
  for (unsigned n = grabber.getFirst(); n < grabber.getFirst() + grabber.getCount(); ++n) {
    inputs.push_back(grabber.fileName(n));
  }
  if (!pipeline_.tracing()) {
    for (const std::string& name : ResultTables::tableNames(outputName)) inputs.push_back(name);
  }
  // Overlays named like the sequence's images would join it in a later run (which leaves out
  // a number written twice, but only then).
  const fs::path sequence(grabber.prefix + "0" + grabber.extension);
  const fs::path overlays(image_prefix + "0." + image_ext);
  auto folder = [](const fs::path& path) {
    return path.parent_path().empty() ? std::string(".") : path.parent_path().string();
  };
  if (sequence.filename() == overlays.filename() && samePath(folder(sequence), folder(overlays))) {
    std::cerr << "warning: the overlay images " << overlayFileName(image_prefix, 0, image_ext)
              << ", ... are named like the images of the sequence: a later run on it leaves them "
                 "out where their numbers repeat an image's; a folder of their own keeps them apart"
              << std::endl;
  }
  std::error_code error;
  std::set<fs::path> taken;
  for (const std::string& input : inputs) taken.insert(fs::weakly_canonical(input, error));
  for (unsigned t = 0; t < grabber.getCount(); ++t) {
    const std::string overlay = overlayFileName(image_prefix, t, image_ext);
    if (taken.count(fs::weakly_canonical(overlay, error)) == 0) continue;
    std::cerr << "imagefile=" << image_prefix << "." << image_ext << " would replace " << overlay
              << " (an input image or a table) with an overlay image: choose another folder or "
                 "name for the overlay images"
              << std::endl;
    return false;
  }
  return true;
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
  // An overlay always shows the whole frame: while zoomed, the screen holds only a part of it.
  cv::Mat whole = display;
  if (display_region_set_) {
    whole = display_clean.clone();
    for (int i = 0; i < nb_snakes; ++i) {
      if (i != selected && !snakes()[i].isInUse()) continue;
      snakes()[i].draw(whole, contourColour(i));
      snakes()[i].drawTrackers(whole);
    }
  }
  if (!overlay_writer_) overlay_writer_ = std::make_unique<ImageWriter>();
  overlay_writer_->write(name, whole);
}

void PlateAnalyzer::flushOverlays() {
  if (overlay_writer_) overlay_writer_->finish();
}

}  // namespace stemscan
