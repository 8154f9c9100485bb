// Formats of the page log; CSV quotes a field holding a comma, a quote or a
// line break, doubling its quotes; JSON goes through nlohmann/json.
#include "tools/log/log_format.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <regex>

namespace zentrel {
namespace {

std::vector<std::string> Fields(const PageRecord& r) {
  return {std::to_string(r.id), r.started, r.attempt.program, r.attempt.user,
          r.attempt.pin, r.attempt.names, r.attempt.line, r.attempt.message,
          OutcomeName(r.outcome), r.reason, r.terminal,
          r.duration_ms ? std::to_string(*r.duration_ms) : ""};
}

const std::vector<std::string> kColumns{"id", "started", "program", "user", "pin", "names",
                                        "line", "message", "outcome", "reason", "terminal",
                                        "duration_ms"};

std::string CsvField(const std::string& field) {
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

// Line breaks shown as a space so that one record stays on one line.
std::string OneLine(std::string text) {
  for (char& c : text) c = (c == '\r' || c == '\n') ? ' ' : c;
  return text;
}

std::string FormatUtc(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
  return text;
}

}  // namespace

std::string AsTable(const std::vector<PageRecord>& records) {
  std::string out;
  for (const PageRecord& r : records) {
    const std::string said = r.terminal.empty() ? r.reason : r.terminal;
    out += r.started + "  " + OutcomeName(r.outcome) + "  " + r.attempt.pin + " (" +
           r.attempt.names + ") via " + r.attempt.line + "  \"" + OneLine(r.attempt.message) +
           "\"" + (said.empty() ? "" : "  " + OneLine(said)) + "  [" + r.attempt.program + ", " +
           r.attempt.user + "]\n";
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
  static const std::regex kDate(R"(\d{4}-\d\d-\d\d([ T]\d\d:\d\d(:\d\d(\.\d+)?)?Z?)?)");
  std::smatch m;
  if (std::regex_match(text, m, kAge)) {
    const long unit = m[2] == "m" ? 60 : m[2] == "h" ? 3600 : 86400;
    return FormatUtc(now - std::stol(m[1]) * unit);
  }
  if (!std::regex_match(text, kDate)) return std::nullopt;
  std::string since = text;
  if (since.size() > 10) since[10] = 'T';
  if (!since.empty() && since.back() == 'Z') since.pop_back();
  return since;
}

}  // namespace zentrel
