// The time an SNPP client asks a page to wait for (HOLDuntil): YYMMDDHHMMSS,
// YYMMDDHHMM or YYYYMMDDHHMMSS, then optionally a +/-HHMM offset from UTC.
// A time without an offset is read in the gateway's hold zone (an IANA zone
// name such as "Europe/Berlin", or "UTC"). Pure apart from the zone look-up,
// which reads the system's zone files through the C library.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zentrel::gateway {

// The Unix time meant by HOLDuntil's argument, or nullopt when it is not one
// of the forms above or names no real date.
std::optional<double> ParseHoldTime(std::string_view argument, const std::string& zone);

// True when `zone` is "UTC" or a zone the system knows.
bool KnownZone(const std::string& zone);

}  // namespace zentrel::gateway
