// HOLDuntil's times. Dates become days by the civil-calendar arithmetic, so
// UTC and explicit offsets need no zone at all; a named zone is applied by
// mktime under TZ set for the call and put back after (the daemon has one
// thread, and nothing else reads TZ meanwhile).
#include "gateway/snpp_hold.h"

#include <time.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

namespace zentrel::gateway {

namespace {

struct Civil {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

int Number(std::string_view digits) {
  int n = 0;
  for (char c : digits) n = n * 10 + (c - '0');
  return n;
}

bool AllDigits(std::string_view s) {
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return !s.empty();
}

std::optional<Civil> ReadCivil(std::string_view d) {
  if (!AllDigits(d)) return std::nullopt;
  Civil c;
  if (d.size() == 14) {
    c.year = Number(d.substr(0, 4));
    d.remove_prefix(4);
  } else if (d.size() == 12 || d.size() == 10) {
    c.year = 2000 + Number(d.substr(0, 2));
    d.remove_prefix(2);
  } else {
    return std::nullopt;
  }
  c.month = Number(d.substr(0, 2));
  c.day = Number(d.substr(2, 2));
  c.hour = Number(d.substr(4, 2));
  c.minute = Number(d.substr(6, 2));
  c.second = d.size() == 10 ? Number(d.substr(8, 2)) : 0;
  if (c.month < 1 || c.month > 12 || c.day < 1 || c.day > DaysInMonth(c.year, c.month) ||
      c.hour > 23 || c.minute > 59 || c.second > 59) {
    return std::nullopt;
  }
  return c;
}

// "+HHMM", "-HHMM", "+HH" or "-HH" as seconds east of UTC.
std::optional<int> ReadOffset(std::string_view s) {
  if (s.size() != 3 && s.size() != 5) return std::nullopt;
  if (s[0] != '+' && s[0] != '-') return std::nullopt;
  const std::string_view digits = s.substr(1);
  if (!AllDigits(digits)) return std::nullopt;
  const int hours = Number(digits.substr(0, 2));
  const int minutes = digits.size() == 4 ? Number(digits.substr(2, 2)) : 0;
  if (hours > 14 || minutes > 59) return std::nullopt;
  const int seconds = hours * 3600 + minutes * 60;
  return s[0] == '-' ? -seconds : seconds;
}

double AsUtc(const Civil& c) {
  return static_cast<double>(DaysFromCivil(c.year, c.month, c.day) * 86400 + c.hour * 3600 +
                             c.minute * 60 + c.second);
}

std::optional<double> InZone(const Civil& c, const std::string& zone) {
  if (zone == "UTC") return AsUtc(c);
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", zone.c_str(), 1);
  tzset();
  tm t{};
  t.tm_year = c.year - 1900;
  t.tm_mon = c.month - 1;
  t.tm_mday = c.day;
  t.tm_hour = c.hour;
  t.tm_min = c.minute;
  t.tm_sec = c.second;
  t.tm_isdst = -1;
  const time_t when = mktime(&t);
  if (old) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  if (when == static_cast<time_t>(-1)) return std::nullopt;
  return static_cast<double>(when);
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

bool KnownZone(const std::string& zone) {
  if (zone == "UTC") return true;
  if (zone.empty() || zone.front() == '/' || zone.find("..") != std::string::npos) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file("/usr/share/zoneinfo/" + zone, ec);
}

std::optional<double> ParseHoldTime(std::string_view argument, const std::string& zone) {
  argument = Trim(argument);
  std::size_t end = 0;
  while (end < argument.size() && std::isdigit(static_cast<unsigned char>(argument[end]))) ++end;
  const auto civil = ReadCivil(argument.substr(0, end));
  if (!civil) return std::nullopt;
  const std::string_view rest = Trim(argument.substr(end));
  if (rest.empty()) return InZone(*civil, zone);
  const auto offset = ReadOffset(rest);
  if (!offset) return std::nullopt;
  return AsUtc(*civil) - *offset;
}

}  // namespace zentrel::gateway
