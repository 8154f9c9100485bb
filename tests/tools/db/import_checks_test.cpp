// The import's refusals from one table: a row is refused exactly when a send
// to its PIN through its number would be (the send's one check), plus what
// a modem cannot dial; with --allow-unpageable the row goes in with a note
// naming its line and why, but a control character never does.
#include "import_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "paging/page_check.h"
#include "tool_error.h"

namespace zentrel::dbtool {
namespace {

TEST(ImportChecks, ARowIsRefusedExactlyWhenASendWouldBe) {
  const std::string n31(31, '5'), n32(32, '5'), n41(41, '5');
  const struct {
    const char* name;
    const char* pin;
    std::string phone;
    std::string why;  // "" when it may go
  } rows[] = {
      {"plain", "1001", "5551234", ""},
      {"PIN of 7", "1234567", "9,555-1234", ""},
      {"number of 31", "1001", n31, ""},
      {"empty PIN", "", "5551234", "the PIN is empty"},
      {"PIN of 8", "12345678", "5551234",
       "the PIN \"12345678\" has more than 7 characters; the page would reach PIN \"1234567\" "
       "instead"},
      {"empty number", "1001", "", "pagephone cannot be dialled: the phone number is empty"},
      {"number of 32", "1001", n32,
       "pagephone cannot be dialled: the phone number \"" + n32 +
           "\" has 32 characters, more than the 31 a line can dial"},
      {"number of 41", "1001", n41,
       "pagephone cannot be dialled: the phone number \"" + n41 +
           "\" has 41 characters, more than the 31 a line can dial"},
      {"a second modem command", "1001", "555;ATH",
       "pagephone cannot be dialled: the number holds a ';' at position 4"},
      {"not ASCII", "1001", "555\xC3\xA9",
       "pagephone cannot be dialled: the phone number holds \"\xC3\xA9\" (character 4), which no "
       "line can dial"},
      {"a space in the PIN", "10 1", "555", "the PIN holds a space (character 3)"},
      {"CR in the PIN", "10\r1", "555", "the PIN holds the control character <CR> (character 3)"},
  };
  for (const auto& row : rows) {
    const std::string why = UnpageableReason(row.pin, row.phone);
    EXPECT_EQ(why, row.why) << row.name;
    // What a send refuses, the import refuses (the modem's own limits beside).
    if (!RecipientRefusal(row.pin, row.phone).empty()) {
      EXPECT_NE(why, "") << row.name;
    }
  }
}

TEST(ImportChecks, UnpageableRowsAreNotedWhenAllowedButControlsNever) {
  const std::vector<CsvRecord> records = {
      {1, {"pin", "fname", "lname", "pagephone"}},
      {2, {"", "no", "pin", "5"}},
      {3, {"2002", "no", "number", ""}},
  };
  std::vector<std::string> notes;
  EXPECT_THROW(CheckImport(records, {}, "vp.mdb", {}, notes), ToolError);
  CheckImport(records, {}, "vp.mdb", {.allow_unpageable = true}, notes);
  EXPECT_EQ(notes, (std::vector<std::string>{
                       "line 2: the PIN is empty; imported all the same (--allow-unpageable)",
                       "line 3: pagephone cannot be dialled: the phone number is empty; imported "
                       "all the same (--allow-unpageable)"}));
  const std::vector<CsvRecord> control = {records[0], {2, {"1001", "a", "b", "555\rATH"}}};
  try {
    CheckImport(control, {}, "vp.mdb", {.allow_unpageable = true}, notes);
    ADD_FAILURE() << "a CR in the number was let through";
  } catch (const ToolError& e) {
    EXPECT_EQ(
        std::string(e.what()),
        "line 2: pagephone holds the control character <CR> (character 4); nothing was imported");
  }
}

}  // namespace
}  // namespace zentrel::dbtool
