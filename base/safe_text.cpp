// The guard looks past any apostrophes already there, so a cell that really
// begins with "'=" survives an export and an import unchanged. C1 controls
// are found as their UTF-8 form (C2 80..C2 9F); other bytes pass as they are.
#include "base/safe_text.h"

#include <cstdio>

namespace zentrel {
namespace {

bool IsFormulaStart(char c) {
  return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

bool NeedsGuard(std::string_view cell) {
  const auto first = cell.find_first_not_of('\'');
  return first != std::string_view::npos && IsFormulaStart(cell[first]);
}

}  // namespace

std::string GuardCell(std::string_view cell) {
  return NeedsGuard(cell) ? "'" + std::string(cell) : std::string(cell);
}

std::string_view UnguardCell(std::string_view cell) {
  if (cell.starts_with('\'') && NeedsGuard(cell)) cell.remove_prefix(1);
  return cell;
}

std::string TerminalSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c == '\r' || c == '\n') {
      out += ' ';
    } else if (c == 0x1B) {
      out += "\\e";
    } else if (c < 0x20 || c == 0x7F) {
      out += '^';
      out += static_cast<char>(c ^ 0x40);
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04X", next);
      out += code;
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace zentrel
