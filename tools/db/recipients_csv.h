// Recipients in and out of a database file as CSV with the header line
// "pin,fname,lname,pagephone". Import is all or nothing.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace zentrel::dbtool {

// Adds every recipient of `csv` to the file in one transaction and returns
// how many. A fault anywhere (header, column count, quoting, a control
// character in pin or pagephone, a PIN already in the file or the table
// unless `allow_duplicates`, the store) throws ToolError or CDaoException
// and adds none.
std::size_t ImportRecipients(const std::string& db_path, std::string_view csv,
                             bool allow_duplicates = false);

// Writes the header and every recipient, in the store's order.
void ExportRecipients(const std::string& db_path, std::ostream& out);

}  // namespace zentrel::dbtool
