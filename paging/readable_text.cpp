// The token table and the walk over a received block; see readable_text.h.
// The walk covers at least index 0, which is how an empty text (its first
// byte NUL) comes out as "<NUL>".
#include "paging/readable_text.h"

namespace zentrel {

std::string_view ControlToken(unsigned char byte) {
  switch (byte) {
    case 0x00: return "<NUL>";
    case 0x02: return "<STX>";
    case 0x03: return "<ETX>";
    case 0x04: return "<EOT>";
    case 0x06: return "<ACK>";
    case 0x0A: return "<LF>";
    case 0x0D: return "<CR>";
    case 0x15: return "<NAK>";
    case 0x17: return "<ETB>";
    case 0x1B: return "<ESC>";
    case 0x1E: return "<RS>";
    case 0x1F: return "<US>";
    default: return {};
  }
}

std::string ReadableText(std::string_view received) {
  const std::size_t end = received.find('\0');
  const std::string_view text = received.substr(0, end);
  if (text.empty()) return std::string(ControlToken(0x00));

  std::string readable;
  readable.reserve(text.size() * 2);
  for (const char c : text) {
    const std::string_view token = ControlToken(static_cast<unsigned char>(c));
    if (token.empty()) {
      readable.push_back(c);
    } else {
      readable.append(token);
    }
  }
  return readable;
}

}  // namespace zentrel
