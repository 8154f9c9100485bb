// Formats of the page log; CSV quotes a field holding a comma, a quote or a
// line break, doubling its quotes, and guards one a spreadsheet would run as
// a formula; the table spells control characters out; JSON goes through
// nlohmann/json. A --since date is checked against the calendar.
#include "tools/log/log_format.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <regex>

#include "base/safe_text.h"
#include "base/terminal_text.h"

namespace zentrel {
namespace {

std::vector<std::string> Fields(const PageRecord& r) {
  return {std::to_string(r.id),
          r.started,
          r.attempt.program,
          r.attempt.user,
          r.attempt.pin,
          r.attempt.names,
          r.attempt.line,
          r.attempt.message,
          OutcomeName(r.outcome),
          r.reason,
          r.terminal,
          r.duration_ms ? std::to_string(*r.duration_ms) : "",
          r.attempt.typed};
}

// The message as typed comes last, after the columns older readers know.
const std::vector<std::string> kColumns{"id",       "started",     "program", "user",    "pin",
                                        "names",    "line",        "message", "outcome", "reason",
                                        "terminal", "duration_ms", "typed"};

// One record on one line, and nothing a terminal would act on.
std::string OneLine(const std::string& text) { return TerminalSafe(text); }

// A date and time that the calendar has (no 2026-13-45, no 25:00).
bool IsRealTime(const std::smatch& m) {
  using namespace std::chrono;
  const year_month_day day{year{std::stoi(m[1])}, month{static_cast<unsigned>(std::stoi(m[2]))},
                           std::chrono::day{static_cast<unsigned>(std::stoi(m[3]))}};
  if (!day.ok()) return false;
  if (m[4].matched && (std::stoi(m[4]) > 23 || std::stoi(m[5]) > 59)) return false;
  return !m[6].matched || std::stoi(m[6]) <= 59;
}

std::string FormatUtc(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
  return text;
}

}  // namespace

std::string CsvField(const std::string& text) {
  const std::string field = GuardCell(text);
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (const char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string CsvRow(const std::vector<std::string>& fields) {
  std::string row;
  for (std::size_t i = 0; i < fields.size(); ++i) row += (i ? "," : "") + CsvField(fields[i]);
  return row + "\r\n";
}

std::string AsTable(const std::vector<PageRecord>& records) {
  std::string out;
  for (const PageRecord& r : records) {
    const std::string said = r.terminal.empty() ? r.reason : r.terminal;
    const bool retyped = !r.attempt.typed.empty() && r.attempt.typed != r.attempt.message;
    out += OneLine(r.started) + "  " + OutcomeName(r.outcome) + "  " + OneLine(r.attempt.pin) +
           " (" + OneLine(r.attempt.names) + ") via " + OneLine(r.attempt.line) + "  \"" +
           OneLine(r.attempt.message) + "\"" +
           (retyped ? " (typed \"" + OneLine(r.attempt.typed) + "\")" : "") +
           (said.empty() ? "" : "  " + OneLine(said)) + "  [" + OneLine(r.attempt.program) + ", " +
           OneLine(r.attempt.user) + "]\n";
  }
  return out;
}

std::string AsCsv(const std::vector<PageRecord>& records) {
  std::string out = CsvRow(kColumns);
  for (const PageRecord& r : records) out += CsvRow(Fields(r));
  return out;
}

std::string AsJson(const std::vector<PageRecord>& records) {
  nlohmann::json all = nlohmann::json::array();
  for (const PageRecord& r : records) {
    nlohmann::json record;
    const auto fields = Fields(r);
    for (std::size_t i = 0; i < kColumns.size(); ++i) record[kColumns[i]] = fields[i];
    record["id"] = r.id;
    record["duration_ms"] = r.duration_ms ? nlohmann::json(*r.duration_ms) : nullptr;
    all.push_back(record);
  }
  return all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::optional<std::string> SinceTime(const std::string& text, std::time_t now) {
  static const std::regex kAge(R"((\d{1,6})([mhd]))");
  static const std::regex kDate(
      R"((\d{4})-(\d\d)-(\d\d)(?:[ T](\d\d):(\d\d)(?::(\d\d)(\.\d+)?)?Z?)?)");
  std::smatch m;
  if (std::regex_match(text, m, kAge)) {
    const long unit = m[2] == "m" ? 60 : m[2] == "h" ? 3600 : 86400;
    return FormatUtc(now - std::stol(m[1]) * unit);
  }
  if (!std::regex_match(text, m, kDate) || !IsRealTime(m)) return std::nullopt;
  std::string since = text;
  if (since.size() > 10) since[10] = 'T';
  if (!since.empty() && since.back() == 'Z') since.pop_back();
  return since;
}

}  // namespace zentrel
