// Times read from file names that carry the camera's clock: a date and a time of day as digit
// groups (2010_02_19_16_39_06-0091.jpg, IMG_20100219_163906.jpg, 20100219163906.png).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace stemscan {

// The date and time in a file name (its folder and extension aside), as seconds since
// 1970-01-01 00:00:00 of the same clock (no time zone); nothing where it holds none. Read, in
// this order: six groups year (4 digits), month, day, hour, minute, second (2 digits each); one
// group of 14 digits YYYYMMDDhhmmss; a group of 8 digits YYYYMMDD followed by one of 6 hhmmss.
std::optional<std::int64_t> secondsInName(const std::string& path);

// ISO 8601 (2010-02-19T16:39:06) of such seconds.
std::string isoDateTime(std::int64_t seconds);

}  // namespace stemscan
