// Table definitions, query parsing and the open-time table check. The store
// never creates or alters tables: a missing table or column is reported with
// the name of the tool that makes a proper file.
#include "store/schema.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "store/engine_error.h"
#include "store/statement.h"

namespace zentrel::store {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<std::string> ColumnsOf(const CDaoDatabase& db, const std::string& table) {
  Statement info(db, "PRAGMA table_info(\"" + table + "\")");
  std::vector<std::string> names;
  while (info.Step("Reading the tables of " + db.Name() + " failed")) {
    const auto* text = sqlite3_column_text(info.Raw(), 1);
    names.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "");
  }
  return names;
}

}  // namespace

const TableDef& RecipientTable() {
  static const TableDef table{
      "VPdata", {"id", "pin", "fname", "lname", "pagephone"}, false, 2147483647};
  return table;
}

const TableDef& MessageTable() {
  static const TableDef table{"stored", {"id", "Message"}, true, 32767};
  return table;
}

const TableDef& ParseQuery(const std::string& text) {
  static const std::string kSelect = "select * from ";
  std::string rest = text;
  if (rest.size() > kSelect.size() && SameName(rest.substr(0, kSelect.size()), kSelect)) {
    rest = rest.substr(kSelect.size());
  }
  for (const TableDef* table : {&RecipientTable(), &MessageTable()}) {
    if (SameName(rest, "[" + table->name + "]")) return *table;
  }
  ThrowStoreError("Unsupported query \"" + text +
                  "\": the store runs only \"[VPdata]\" and \"Select * from [stored]\"");
}

int ColumnPosition(const TableDef& table, const std::string& column) {
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (SameName(table.columns[i], column)) return static_cast<int>(i);
  }
  return -1;
}

void CheckTables(const CDaoDatabase& db) {
  for (const TableDef* table : {&RecipientTable(), &MessageTable()}) {
    const auto found = ColumnsOf(db, table->name);
    if (found.empty()) {
      ThrowStoreError(db.Name() + " has no table " + table->name +
                      " (make a database file with: zentrel-db init " + db.Name() + ")");
    }
    for (const auto& column : table->columns) {
      const bool present = std::any_of(found.begin(), found.end(),
                                       [&](const std::string& f) { return SameName(f, column); });
      if (!present) {
        ThrowStoreError("Table " + table->name + " of " + db.Name() + " has no column " + column);
      }
    }
  }
}

}  // namespace zentrel::store
