// The time a photograph was taken, from its EXIF DateTimeOriginal (read with Exiv2).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace stemscan {

// Seconds since 1970-01-01 00:00:00 of the camera's clock (no time zone), as secondsInName
// gives them; nothing where the file has no readable EXIF date and time.
std::optional<std::int64_t> exifSeconds(const std::string& path);

}  // namespace stemscan
