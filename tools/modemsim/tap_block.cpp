// Checksum, block fields and log spelling of the terminal's protocol bytes.
#include "tap_block.h"

#include <cstdio>

#include "tap/checksum.h"
#include "tap/control_bytes.h"

namespace zentrel::modemsim {

std::string BlockChecksum(std::string_view framed) { return tap::BlockChecksum(framed); }

std::string DecodeTransparency(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == tap::kSub && i + 1 < field.size()) {
      out += static_cast<char>(field[++i] - 0x40);
    } else {
      out += field[i];
    }
  }
  return out;
}

BlockFields SplitBlock(std::string_view framed) {
  BlockFields fields;
  if (framed.size() < 2) return fields;
  std::string_view body = framed.substr(1, framed.size() - 2);  // no STX, ETX
  const auto first = body.find(kCr);
  if (first == std::string_view::npos) {
    fields.pin = body;
    return fields;
  }
  fields.pin = body.substr(0, first);
  std::string_view rest = body.substr(first + 1);
  if (!rest.empty() && rest.back() == kCr) rest.remove_suffix(1);
  fields.message = rest;
  return fields;
}

namespace {}  // namespace

std::string Readable(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (const std::string token = tap::ControlToken(byte); !token.empty()) {
      out += token;
    } else if (byte >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "<x%02X>", byte);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
  }
  return out;
}

}  // namespace zentrel::modemsim
