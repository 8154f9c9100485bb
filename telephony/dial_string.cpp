// The dial-string check; see dial_string.h.
#include "telephony/dial_string.h"

#include <cstdio>

namespace zentrel {
namespace {

std::string Describe(unsigned char c) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", c);
  if (c == '\r') return "a carriage return (CR)";
  if (c == '\n') return "a line feed (LF)";
  if (c == ';') return "a ';'";
  if (c >= 0x80) return std::string("the non-ASCII byte ") + hex;
  return std::string("the control character ") + hex;
}

}  // namespace

std::string DialStringProblem(std::string_view number) {
  if (number.size() > kMaxDialString)
    return "the number is " + std::to_string(number.size()) +
           " characters long; a modem dials at most " + std::to_string(kMaxDialString);
  for (std::size_t i = 0; i < number.size(); ++i) {
    const auto c = static_cast<unsigned char>(number[i]);
    if (c < 0x20 || c == 0x7F || c >= 0x80 || c == ';')
      return "the number holds " + Describe(c) + " at position " + std::to_string(i + 1) +
             "; nothing was dialled";
  }
  return {};
}

}  // namespace zentrel
