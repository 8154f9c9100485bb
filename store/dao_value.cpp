// The text form of a column value: what the program shows for an integer
// (decimal) or an absent value (nothing).
#include "store/dao.h"

namespace zentrel {

std::string DaoValueText(const DaoValue& v) {
  if (const auto* number = std::get_if<std::int64_t>(&v)) return std::to_string(*number);
  if (const auto* text = std::get_if<std::string>(&v)) return *text;
  return {};
}

}  // namespace zentrel
