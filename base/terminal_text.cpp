// Walks the text byte by byte: printable ASCII is kept, C0 controls and DEL
// become \n, \r, \t or \xHH, a well-formed UTF-8 sequence is kept unless it
// encodes a C1 control or a direction override (shown as \uHHHH), and any
// other byte is shown as \xHH.
#include "base/terminal_text.h"

#include <cstdio>

namespace zentrel {
namespace {

std::string Hex(const char* format, unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string AsciiEscape(unsigned char c) {
  switch (c) {
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    case '\\': return "\\\\";
    default: return Hex("\\x%02x", c);
  }
}

// Length of the well-formed UTF-8 sequence at `i` (2..4), or 0.
std::size_t Utf8Length(std::string_view t, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(t[i + k]); };
  const unsigned char lead = b(0);
  const std::size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (n == 0 || lead > 0xF4 || i + n > t.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
  }
  if (lead == 0xE0 && b(1) < 0xA0) return 0;   // overlong
  if (lead == 0xED && b(1) >= 0xA0) return 0;  // surrogate
  if (lead == 0xF0 && b(1) < 0x90) return 0;   // overlong
  if (lead == 0xF4 && b(1) >= 0x90) return 0;  // beyond U+10FFFF
  return n;
}

// A C1 control (C2 80..C2 9F) or a direction override or isolate (U+202A..
// U+202E, U+2066..U+2069), which would reorder what follows it on the screen.
bool IsHiddenControl(std::string_view seq) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(seq[k]); };
  if (seq.size() == 2) return b(0) == 0xC2 && b(1) < 0xA0;
  if (seq.size() != 3 || b(0) != 0xE2) return false;
  return (b(1) == 0x80 && b(2) >= 0xAA && b(2) <= 0xAE) ||
         (b(1) == 0x81 && b(2) >= 0xA6 && b(2) <= 0xA9);
}

unsigned CodePoint(std::string_view seq) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(seq[k]) & 0x3Fu; };
  if (seq.size() == 2) return ((seq[0] & 0x1Fu) << 6) | b(1);
  return ((seq[0] & 0x0Fu) << 12) | (b(1) << 6) | b(2);
}

}  // namespace

std::string TerminalSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x80) {
      out += AsciiEscape(c);
      ++i;
    } else if (const std::size_t n = Utf8Length(text, i); n == 0) {
      out += Hex("\\x%02x", c);
      ++i;
    } else if (IsHiddenControl(text.substr(i, n))) {
      out += Hex("\\u%04x", CodePoint(text.substr(i, n)));
      i += n;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

}  // namespace zentrel
