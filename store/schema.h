// The two tables of the store, their columns in order, how each gets its new
// ids, and the query texts that select them. Also the check, at open, that a
// file has both tables with these columns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/dao.h"

namespace zentrel::store {

struct TableDef {
  std::string name;                  // "VPdata", "stored"
  std::vector<std::string> columns;  // column 0 is "id"
  bool id_at_add;                    // true: id given at begin add, false: at save
  std::int64_t max_id;               // largest id the store gives
};

const TableDef& RecipientTable();  // VPdata
const TableDef& MessageTable();    // stored

// "[VPdata]", "[stored]", "Select * from [VPdata]", "Select * from [stored]"
// (keywords in any case). Anything else throws.
const TableDef& ParseQuery(const std::string& text);

// Position of `column` (any case) in the table, or -1.
int ColumnPosition(const TableDef& table, const std::string& column);

// Throws when the open connection lacks a table or one of its columns.
void CheckTables(const CDaoDatabase& db);

}  // namespace zentrel::store
