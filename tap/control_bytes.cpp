// The names of the 32 control bytes, indexed by value.
#include "tap/control_bytes.h"

#include <array>

namespace zentrel::tap {
namespace {

constexpr std::array<std::string_view, 32> kNames{
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

}  // namespace

std::string_view ControlName(unsigned char byte) {
  return byte < kNames.size() ? kNames[byte] : std::string_view();
}

std::string ControlToken(unsigned char byte) {
  const std::string_view name = ControlName(byte);
  return name.empty() ? std::string() : "<" + std::string(name) + ">";
}

}  // namespace zentrel::tap
