// Checksum, block fields and log spelling of the terminal's protocol bytes.
#include "tap_block.h"

#include <array>
#include <cstdio>

namespace zentrel::modemsim {

std::string BlockChecksum(std::string_view framed) {
  int sum = 0;
  for (char c : framed) sum += static_cast<signed char>(c);
  // C++ division truncates toward zero and % takes the dividend's sign, which
  // is how a negative sum (bytes 80..FF) must come out.
  return {static_cast<char>((((sum / 256) % 16) + 0x30) & 0x7F),
          static_cast<char>((((sum / 16) % 16) + 0x30) & 0x7F),
          static_cast<char>(((sum % 16) + 0x30) & 0x7F)};
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

namespace {

const char* Token(unsigned char byte) {
  static const std::array<const char*, 32> kTokens{
      "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>",
      "<BS>",  "<HT>",  "<LF>",  "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",
      "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>", "<SYN>", "<ETB>",
      "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>"};
  return byte < kTokens.size() ? kTokens[byte] : nullptr;
}

}  // namespace

std::string Readable(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (const char* token = Token(byte)) {
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
