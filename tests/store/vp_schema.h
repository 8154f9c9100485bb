// The recipients' database (vp.mdb) as the tests make it: the two tables the
// program reads and the index on PIN that zentrel-db adds, written once here
// so every test that makes the file by hand makes the same one.
#pragma once

#include <string>

namespace zentrel::testing {

// The recipients (VPdata) and the stored messages, as the program expects them.
inline constexpr const char* kVpTables =
    "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT, fname TEXT, lname TEXT, pagephone TEXT);"
    "CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);";
// The tables with the index on PIN.
inline const std::string kVpSchema =
    std::string(kVpTables) + "CREATE INDEX VPdata_pin ON VPdata(pin);";

}  // namespace zentrel::testing
