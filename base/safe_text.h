// Text that leaves a program for a reader who did not write it: a CSV cell
// that a spreadsheet would run as a formula (it begins with =, +, -, @, a
// tab or a CR) gets a leading apostrophe, which spreadsheets read as "this
// is text"; and text shown on a terminal has its control characters spelt
// out (\e, ^G, \u009B), so a stored escape sequence can't drive the terminal.
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

// `text` for a terminal: ESC as \e, other C0 controls and DEL in caret
// notation (^G, ^?), C1 controls as \u0080..\u009F; CR and LF as a space so a
// record stays on its line.
std::string TerminalSafe(std::string_view text);

}  // namespace zentrel
