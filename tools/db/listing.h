// A readable listing of a database file: every recipient, then every stored
// message, each with its id.
#pragma once

#include <ostream>
#include <string>

namespace zentrel::dbtool {

void ListDatabase(const std::string& db_path, std::ostream& out);

}  // namespace zentrel::dbtool
