// A small CSV reader and writer for the recipient files: comma-separated
// fields, a field in double quotes may hold commas, line breaks and doubled
// quotes (""). Reading is all or nothing: the first fault throws ToolError
// naming its line, so a bad file is never half imported.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zentrel::dbtool {

struct CsvRecord {
  int line;  // the line the record starts on, from 1
  std::vector<std::string> fields;
};

// Parses the whole text. Empty lines are skipped; "\r\n" ends a line too.
// Every record must have `columns` fields. Throws ToolError("line N: ...").
std::vector<CsvRecord> ParseCsv(std::string_view text, std::size_t columns);

// One record as a line ending in "\n", quoting fields where needed; a field
// that would start a spreadsheet formula begins with ' (ParseCsv's callers
// take it off again with UnguardCell).
std::string FormatCsvRecord(const std::vector<std::string>& fields);

}  // namespace zentrel::dbtool
