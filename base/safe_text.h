// A CSV cell leaving a program for a reader who did not write it: one that a
// spreadsheet would run as a formula (it begins with =, +, -, @, a tab or a
// CR) gets a leading apostrophe, which spreadsheets read as "this is text".
// (Text for a terminal goes through base/terminal_text.h.)
#pragma once

#include <string>
#include <string_view>

namespace zentrel {

// `cell` with a leading ' when it begins with a formula character, or with
// apostrophes and then one (so that UnguardCell gives back what was given).
std::string GuardCell(std::string_view cell);

// The reverse, for a cell read back: one leading ' taken off when the cell
// is apostrophes and then a formula character.
std::string_view UnguardCell(std::string_view cell);

}  // namespace zentrel
