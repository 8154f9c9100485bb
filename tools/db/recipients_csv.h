// Recipients in and out of a database file as CSV with the header line
// "pin,fname,lname,pagephone". Import is all or nothing.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "import_checks.h"

namespace zentrel::dbtool {

// Adds every recipient of `csv` to the file in one transaction and returns
// how many. A fault anywhere (header, column count, quoting, a row a send
// would refuse unless `rules` allow it, a PIN already in the file or the
// table unless `rules` allow it, the store) throws ToolError or
// CDaoException and adds none. A cell guarded against spreadsheets by an
// export (a leading ') is read back as it was. Rows let through by the
// rules are named in `notes`.
std::size_t ImportRecipients(const std::string& db_path, std::string_view csv,
                             const ImportRules& rules = {},
                             std::vector<std::string>* notes = nullptr);

// Writes the header and every recipient, in the store's order.
void ExportRecipients(const std::string& db_path, std::ostream& out);

}  // namespace zentrel::dbtool
