// The two filter conditions the program sets: "pin = '<PIN>'" and
// "id = <decimal>". They are parsed here and their values bound as
// parameters later, so a PIN with quotes, % or -- is looked up literally.
#pragma once

#include <cstdint>
#include <string>

namespace zentrel::store {

struct Filter {
  enum class Kind { kNone, kPin, kId };
  Kind kind = Kind::kNone;
  std::string pin;      // kPin: the whole text between the quotes
  std::int64_t id = 0;  // kId
};

// "" is no filter. Anything but the two forms throws CDaoException.
Filter ParseFilter(const std::string& text);

}  // namespace zentrel::store
