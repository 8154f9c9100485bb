// What an import refuses before it writes a row: what a send would refuse
// (an empty PIN or one longer than its field, an empty number, one longer
// than a line dials or one a modem can't dial as given), unless unpageable rows are allowed, when
// each is named in a note; a control character in a PIN or a phone number, always (a CR there would
// split the page's block or send the modem a second command); and a PIN that is already in the file
// or in the table (the look-up finds only the first, so the second person could never be paged)
// unless duplicates are allowed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "csv.h"

namespace zentrel::dbtool {

// The PINs already in the table, each with its recipient's id.
using TablePins = std::unordered_map<std::string, std::int64_t>;

struct ImportRules {
  bool allow_duplicates = false;
  bool allow_unpageable = false;
};

// Why a page to this PIN through this number would be refused; "" if not.
std::string UnpageableReason(std::string_view pin, std::string_view phone);

// Throws ToolError("line N: ...") for the first record (after the header)
// that is refused. `db_name` names the table's file in the message. A row
// let through by allow_unpageable gets a note "line N: ..." in `notes`.
void CheckImport(const std::vector<CsvRecord>& records, const TablePins& table,
                 const std::string& db_name, const ImportRules& rules,
                 std::vector<std::string>& notes);

}  // namespace zentrel::dbtool
