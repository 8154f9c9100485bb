// Feeds arbitrary text to the recipient files' CSV reader, with 1 to 6
// columns. Besides the sanitizers it checks what must hold for any input:
// a refusal names its line, every record has the columns asked for and
// starts on a later line than the one before, and records written back out
// read back unchanged (once the spreadsheet guard is taken off).
#include <cstdint>
#include <string>
#include <string_view>

#include "base/safe_text.h"
#include "csv.h"
#include "tool_error.h"

namespace {

using namespace zentrel::dbtool;

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

void CheckRoundTrip(const std::vector<CsvRecord>& records, std::size_t columns) {
  std::string written;
  for (const CsvRecord& record : records) written += FormatCsvRecord(record.fields);
  const std::vector<CsvRecord> back = ParseCsv(written, columns);
  Check(back.size() == records.size());
  for (std::size_t i = 0; i < back.size(); ++i) {
    for (std::size_t f = 0; f < columns; ++f) {
      Check(zentrel::UnguardCell(back[i].fields[f]) == records[i].fields[f]);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t columns = 1 + data[0] % 6;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<CsvRecord> records;
  try {
    records = ParseCsv(text, columns);
  } catch (const ToolError& e) {
    Check(std::string_view(e.what()).starts_with("line "));
    return 0;
  }
  int previous_line = 0;
  for (const CsvRecord& record : records) {
    Check(record.fields.size() == columns);
    Check(record.line > previous_line);
    previous_line = record.line;
  }
  // One empty field alone would be written as an empty line, which the
  // reader skips; with two columns or more every record has a comma.
  if (columns >= 2) CheckRoundTrip(records, columns);
  return 0;
}
