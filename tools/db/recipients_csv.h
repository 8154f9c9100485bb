// Recipients in and out of a database file as CSV with the header line
// "pin,fname,lname,pagephone". Import is all or nothing.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace zentrel::dbtool {

// Adds every recipient of `csv` to the file in one transaction and returns
// how many. A fault anywhere (header, column count, quoting, the store)
// throws ToolError or CDaoException and adds none.
std::size_t ImportRecipients(const std::string& db_path, std::string_view csv);

// Writes the header and every recipient, in the store's order.
void ExportRecipients(const std::string& db_path, std::ostream& out);

}  // namespace zentrel::dbtool
