#include "figure/figure_canvas.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>

namespace stemscan {
namespace {

cairo_status_t appendTo(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

void bigEndian(std::string* out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>(value >> shift));
}

std::string pngChunk(const std::string& type, const std::string& data) {
  std::string chunk;
  bigEndian(&chunk, static_cast<std::uint32_t>(data.size()));
  const std::string body = type + data;
  chunk += body;
  const auto crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(body.data()),
                         static_cast<uInt>(body.size()));
  bigEndian(&chunk, static_cast<std::uint32_t>(crc));
  return chunk;
}

// Cairo writes neither the resolution nor a text chunk: both go in after the header chunk
// (8 bytes of signature, then IHDR: 4 length, 4 type, 13 data, 4 CRC).
std::string withPngChunks(const std::string& png, double dpi, const std::string& mark) {
  constexpr std::size_t kAfterHeader = 8 + 25;
  if (png.size() < kAfterHeader) return png;
  std::string physical;
  const auto perMetre = static_cast<std::uint32_t>(std::lround(dpi / 0.0254));
  bigEndian(&physical, perMetre);
  bigEndian(&physical, perMetre);
  physical.push_back(1);  // the unit is the metre
  return png.substr(0, kAfterHeader) + figureMarkText(FigureFormat::kPng, mark) +
         pngChunk("pHYs", physical) + png.substr(kAfterHeader);
}

}  // namespace

int pngWidth(const FigurePage& page) {
  return static_cast<int>(std::lround(page.width_pt * page.png_dpi / 72.0));
}
int pngHeight(const FigurePage& page) {
  return static_cast<int>(std::lround(page.height_pt * page.png_dpi / 72.0));
}

std::string figurePrefix(FigureFormat format, const std::string& mark) {
  switch (format) {
    case FigureFormat::kSvg:
      return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + figureMarkText(format, mark);
    case FigureFormat::kPdf:
      return "%PDF-";
    case FigureFormat::kPng:
      break;
  }
  return "\x89PNG\r\n\x1a\n";
}

std::string figureMarkText(FigureFormat format, const std::string& mark) {
  switch (format) {
    case FigureFormat::kSvg:
      return "<!-- " + mark + " -->";
    case FigureFormat::kPdf:
      return "/Creator (" + mark + ")";
    case FigureFormat::kPng:
      break;
  }
  return pngChunk("tEXt", std::string("Software") + '\0' + mark);
}

std::string renderFigure(const FigurePage& page, FigureFormat format, const std::string& mark,
                         const std::function<void(cairo_t*)>& paint) {
  std::string bytes;
  cairo_surface_t* surface = nullptr;
  double scale = 1.0;
  switch (format) {
    case FigureFormat::kSvg:
      surface =
          cairo_svg_surface_create_for_stream(appendTo, &bytes, page.width_pt, page.height_pt);
      break;
    case FigureFormat::kPdf:
      surface =
          cairo_pdf_surface_create_for_stream(appendTo, &bytes, page.width_pt, page.height_pt);
      cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, mark.c_str());
      break;
    case FigureFormat::kPng:
      surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, pngWidth(page), pngHeight(page));
      scale = page.png_dpi / 72.0;
      break;
  }
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  paint(cr);
  cairo_show_page(cr);
  const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  if (format == FigureFormat::kPng && drawn) {
    cairo_surface_write_to_png_stream(surface, appendTo, &bytes);
  }
  cairo_surface_finish(surface);
  const bool finished = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!drawn || !finished) return "";
  switch (format) {
    case FigureFormat::kSvg: {
      // The mark goes after the XML declaration, the file's first line.
      const std::size_t line = bytes.find('\n');
      if (line == std::string::npos) return "";
      return figurePrefix(format, mark) + "\n" + bytes.substr(line + 1);
    }
    case FigureFormat::kPdf:
      return bytes;
    case FigureFormat::kPng:
      break;
  }
  return withPngChunks(bytes, page.png_dpi, mark);
}

}  // namespace stemscan
