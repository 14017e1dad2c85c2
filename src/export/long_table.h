// The long tables: one line per hypocotyl per image with units, time and label (<out>.csv),
// and every point of every measured contour (<out>_contours.csv).
#pragma once

#include <string>

#include "export/export_sources.h"

namespace stemscan {

std::string longTableHeader();
// The lines of images from, from + 1, ... before `to` (or the last one).
std::string longTableLines(const ExportSources& sources, unsigned from, unsigned to);

std::string contoursHeader();
std::string contourLines(const ExportSources& sources, unsigned from, unsigned to);

}  // namespace stemscan
