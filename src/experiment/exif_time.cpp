#include "experiment/exif_time.h"

#include <exiv2/exiv2.hpp>

#include "experiment/clock_names.h"

namespace stemscan {

std::optional<std::int64_t> exifSeconds(const std::string& path) {
  try {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
    if (!image.get()) return std::nullopt;
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Image.DateTime"}) {
      const auto it = exif.findKey(Exiv2::ExifKey(key));
      if (it == exif.end()) continue;
      // "YYYY:MM:DD HH:MM:SS": six digit groups, as a camera's file name has them.
      if (const auto seconds = secondsInName(it->toString() + ".x")) return seconds;
    }
  } catch (const Exiv2::AnyError&) {
  }
  return std::nullopt;
}

}  // namespace stemscan
