#include "experiment/clock_names.h"

#include <cstdio>
#include <vector>

namespace stemscan {
namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian calendar).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

std::optional<std::int64_t> secondsOf(int y, int mo, int d, int h, int mi, int s) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1900 || y > 2999 || mo < 1 || mo > 12 || d < 1) return std::nullopt;
  if (d > kDays[mo - 1] + (mo == 2 && leap(y) ? 1 : 0)) return std::nullopt;
  if (h > 23 || mi > 59 || s > 60) return std::nullopt;
  return daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 +
         mi * 60 + s;
}

int value(const std::string& digits, std::size_t from, std::size_t length) {
  return std::stoi(digits.substr(from, length));
}

}  // namespace

std::optional<std::int64_t> secondsInName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  std::vector<std::string> groups;
  for (std::size_t k = 0; k < name.size();) {
    if (name[k] < '0' || name[k] > '9') {
      ++k;
      continue;
    }
    std::size_t end = k;
    while (end < name.size() && name[end] >= '0' && name[end] <= '9') ++end;
    groups.push_back(name.substr(k, end - k));
    k = end;
  }
  for (std::size_t g = 0; g + 6 <= groups.size(); ++g) {
    bool shaped = groups[g].size() == 4;
    for (std::size_t k = 1; k < 6; ++k) shaped = shaped && groups[g + k].size() == 2;
    if (!shaped) continue;
    if (auto s = secondsOf(std::stoi(groups[g]), std::stoi(groups[g + 1]), std::stoi(groups[g + 2]),
                           std::stoi(groups[g + 3]), std::stoi(groups[g + 4]),
                           std::stoi(groups[g + 5]))) {
      return s;
    }
  }
  for (std::size_t g = 0; g < groups.size(); ++g) {
    std::string stamp;
    if (groups[g].size() == 14) {
      stamp = groups[g];
    } else if (groups[g].size() == 8 && g + 1 < groups.size() && groups[g + 1].size() == 6) {
      stamp = groups[g] + groups[g + 1];
    } else {
      continue;
    }
    if (auto s = secondsOf(value(stamp, 0, 4), value(stamp, 4, 2), value(stamp, 6, 2),
                           value(stamp, 8, 2), value(stamp, 10, 2), value(stamp, 12, 2))) {
      return s;
    }
  }
  return std::nullopt;
}

std::string isoDateTime(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Civil date from days since 1970-01-01.
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
  char text[96];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld",
                static_cast<long long>(y), m, d, static_cast<long long>(rest / 3600),
                static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return text;
}

}  // namespace stemscan
