// What an import refuses before it writes a row: a control character in a
// PIN or a phone number (a CR there would split the page's block or send the
// modem a second command), and a PIN that is already in the file or in the
// table (the look-up finds only the first, so the second person could never
// be paged) unless duplicates are allowed.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "csv.h"

namespace zentrel::dbtool {

// The PINs already in the table, each with its recipient's id.
using TablePins = std::unordered_map<std::string, std::int64_t>;

// Throws ToolError("line N: ...") for the first record (after the header)
// that is refused. `db_name` names the table's file in the message.
void CheckImport(const std::vector<CsvRecord>& records, const TablePins& table,
                 const std::string& db_name, bool allow_duplicates);

}  // namespace zentrel::dbtool
