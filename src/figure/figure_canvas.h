// One drawing, three files: a figure painted once through cairo onto a vector page (SVG, PDF)
// or a 300 dpi picture (PNG). Each file carries a mark by which a later run knows it as
// StemScan's own: a comment after the SVG's first line, the PDF's creator, a PNG text chunk.
#pragma once

#include <cairo.h>

#include <functional>
#include <string>

namespace stemscan {

enum class FigureFormat { kSvg, kPdf, kPng };

struct FigurePage {
  double width_pt = 720.0;  // 10 inches
  double height_pt = 324.0;
  double png_dpi = 300.0;
};

// The PNG's size in pixels for `page`.
int pngWidth(const FigurePage& page);
int pngHeight(const FigurePage& page);

// The file's bytes: `paint` draws in points, from the top left corner, on a white page.
std::string renderFigure(const FigurePage& page, FigureFormat format, const std::string& mark,
                         const std::function<void(cairo_t*)>& paint);

// How a file of `format` that bears `mark` begins, and the mark as it stands in the file.
std::string figurePrefix(FigureFormat format, const std::string& mark);
std::string figureMarkText(FigureFormat format, const std::string& mark);

}  // namespace stemscan
