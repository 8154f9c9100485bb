// Parses a filter text. "pin = '" opens the PIN and the last character must
// be the closing quote; everything between is the PIN, quotes included.
// "id = " is followed by an optional minus sign and decimal digits that fit
// in 64 bits. No other text is accepted, and none ever becomes SQL.
#include "store/filter.h"

#include <cctype>
#include <charconv>

#include "store/engine_error.h"

namespace zentrel::store {

namespace {

constexpr std::string_view kPinPrefix = "pin = '";
constexpr std::string_view kIdPrefix = "id = ";

[[noreturn]] void Unsupported(const std::string& text) {
  ThrowStoreError("Unsupported filter \"" + text +
                  "\": the store accepts only pin = '<PIN>' and id = <number>");
}

}  // namespace

Filter ParseFilter(const std::string& text) {
  Filter filter;
  const std::string_view view = text;
  if (view.empty()) return filter;
  if (view.starts_with(kPinPrefix) && view.size() > kPinPrefix.size() && view.back() == '\'') {
    filter.kind = Filter::Kind::kPin;
    filter.pin = view.substr(kPinPrefix.size(), view.size() - kPinPrefix.size() - 1);
    return filter;
  }
  if (view.starts_with(kIdPrefix)) {
    const std::string_view number = view.substr(kIdPrefix.size());
    const char* end = number.data() + number.size();
    const bool digit_first =
        !number.empty() && (std::isdigit(static_cast<unsigned char>(number[0])) ||
                            (number[0] == '-' && number.size() > 1));
    const auto [ptr, ec] = std::from_chars(number.data(), end, filter.id);
    if (digit_first && ec == std::errc() && ptr == end) {
      filter.kind = Filter::Kind::kId;
      return filter;
    }
  }
  Unsupported(text);
}

}  // namespace zentrel::store
