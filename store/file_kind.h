// Says what a file is when it is not an SQLite database, so that opening an
// old Jet .mdb, a text file or a directory fails with a message naming it
// instead of the engine's bare "file is not a database".
#pragma once

#include <optional>
#include <string>

namespace zentrel::store {

// Empty when the file is missing or begins like an SQLite database;
// otherwise a phrase such as "a Jet database file (the old .mdb format)".
std::optional<std::string> DescribeForeignFile(const std::string& path);

}  // namespace zentrel::store
