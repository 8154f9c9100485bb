// One pass over the records with a map of the PINs seen so far in the file;
// the table's PINs were read once before, so a large import stays linear.
// A row's pageability is decided by the send's own check (paging/page_check.h
// for the PIN and the number), and by the modem's (telephony/dial_string.h)
// for what a dial command cannot carry, in the words of a file's rows.
#include "import_checks.h"

#include "paging/page_check.h"
#include "telephony/dial_string.h"
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

// What a modem refuses to dial beyond the send's check (a ';', a byte
// that is not ASCII); the dial-string check speaks of a call, here of a row.
std::string DialProblem(std::string_view phone) {
  std::string problem = DialStringProblem(phone);
  const std::string call_words = "; nothing was dialled";
  if (problem.ends_with(call_words)) problem.resize(problem.size() - call_words.size());
  return problem;
}

void CheckPageable(const CsvRecord& record, const ImportRules& rules,
                   std::vector<std::string>& notes) {
  const std::string why = UnpageableReason(record.fields[0], record.fields[3]);
  if (why.empty()) return;
  if (!rules.allow_unpageable) {
    Refuse(record.line, why, " (--allow-unpageable imports it all the same)");
  }
  notes.push_back("line " + std::to_string(record.line) + ": " + why +
                  "; imported all the same (--allow-unpageable)");
}

}  // namespace

std::string UnpageableReason(std::string_view pin, std::string_view phone) {
  if (std::string problem = PinProblem(pin); !problem.empty()) return problem;
  if (const std::string problem = NumberProblem(phone); !problem.empty()) {
    return "pagephone cannot be dialled: " + problem;
  }
  if (const std::string problem = DialProblem(phone); !problem.empty()) {
    return "pagephone cannot be dialled: " + problem;
  }
  return {};
}

void CheckImport(const std::vector<CsvRecord>& records, const TablePins& table,
                 const std::string& db_name, const ImportRules& rules,
                 std::vector<std::string>& notes) {
  std::unordered_map<std::string, int> seen;  // PIN -> its first line in the file
  for (std::size_t r = 1; r < records.size(); ++r) {
    const CsvRecord& record = records[r];
    CheckControls(record);
    CheckPageable(record, rules, notes);
    if (rules.allow_duplicates) continue;
    const std::string& pin = record.fields[0];
    const std::string again = " (--allow-duplicates imports it all the same)";
    if (const auto it = table.find(pin); it != table.end()) {
      Refuse(record.line,
             "the PIN \"" + pin + "\" is already in " + db_name + " (recipient id " +
                 std::to_string(it->second) + ")",
             again);
    }
    if (const auto [it, added] = seen.emplace(pin, record.line); !added) {
      Refuse(record.line,
             "the PIN \"" + pin + "\" is already on line " + std::to_string(it->second), again);
    }
  }
}

}  // namespace zentrel::dbtool
