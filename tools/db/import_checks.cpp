// One pass over the records with a map of the PINs seen so far in the file;
// the table's PINs were read once before, so a large import stays linear.
#include "import_checks.h"

#include "paging/page_check.h"
#include "tool_error.h"

namespace zentrel::dbtool {
namespace {

[[noreturn]] void Refuse(int line, const std::string& reason, const std::string& hint = "") {
  throw ToolError("line " + std::to_string(line) + ": " + reason + "; nothing was imported" + hint);
}

void CheckControls(const CsvRecord& record) {
  const std::pair<std::size_t, const char*> checked[] = {{0, "pin"}, {3, "pagephone"}};
  for (const auto& [column, name] : checked) {
    const std::string found = FirstControlCharacter(record.fields[column]);
    if (!found.empty()) Refuse(record.line, std::string(name) + " holds " + found);
  }
}

}  // namespace

void CheckImport(const std::vector<CsvRecord>& records, const TablePins& table,
                 const std::string& db_name, bool allow_duplicates) {
  std::unordered_map<std::string, int> seen;  // PIN -> its first line in the file
  for (std::size_t r = 1; r < records.size(); ++r) {
    const CsvRecord& record = records[r];
    CheckControls(record);
    if (allow_duplicates) continue;
    const std::string& pin = record.fields[0];
    const std::string again = " (--allow-duplicates imports it all the same)";
    if (const auto it = table.find(pin); it != table.end()) {
      Refuse(record.line, "the PIN \"" + pin + "\" is already in " + db_name + " (recipient id " +
                              std::to_string(it->second) + ")", again);
    }
    if (const auto [it, added] = seen.emplace(pin, record.line); !added) {
      Refuse(record.line, "the PIN \"" + pin + "\" is already on line " +
                              std::to_string(it->second), again);
    }
  }
}

}  // namespace zentrel::dbtool
