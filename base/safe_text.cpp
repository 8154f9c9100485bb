// The guard looks past any apostrophes already there, so a cell that really
// begins with "'=" survives an export and an import unchanged.
#include "base/safe_text.h"

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

}  // namespace zentrel
