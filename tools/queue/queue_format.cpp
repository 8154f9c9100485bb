// Fields are read leniently (a missing or mistyped field shows as "-"), since
// unknown and absent fields are allowed in the protocol; columns are padded
// to the widest cell so the table lines up for any id or PIN length.
#include "tools/queue/queue_format.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

#include "base/terminal_text.h"

namespace zentrel {
namespace {

using nlohmann::json;

std::string Text(const json& page, const char* key) {
  const auto it = page.find(key);
  if (it == page.end() || it->is_null()) return "-";
  if (it->is_string()) return TerminalSafe(it->get<std::string>());
  if (it->is_number_integer()) return std::to_string(it->get<long long>());
  return TerminalSafe(it->dump(-1, ' ', false, json::error_handler_t::replace));
}

double Number(const json& page, const char* key, double fallback) {
  const auto it = page.find(key);
  return it != page.end() && it->is_number() ? it->get<double>() : fallback;
}

bool Flag(const json& page, const char* key) {
  const auto it = page.find(key);
  return it != page.end() && it->is_boolean() && it->get<bool>();
}

bool IsFinal(const std::string& state) { return state != "queued" && state != "on the line"; }

// A page on the line of a gateway sharing the queue names that gateway.
std::string State(const json& page) {
  const std::string state = Text(page, "state");
  const std::string holder = Text(page, "holder");
  const bool held = Flag(page, "held") && !IsFinal(state);
  const bool shared = state == "on the line" && holder != "-" && !holder.empty();
  return state + (shared ? " at " + holder : "") + (held ? " (held)" : "");
}

std::string Age(const json& page, double now) {
  const double at = Number(page, "queued_at", NAN);
  return std::isnan(at) ? "-" : ShortSpan(now - at);
}

std::string NextTry(const json& page, double now) {
  const std::string state = Text(page, "state");
  if (state != "queued") return "-";
  if (Flag(page, "held")) return "held";
  const double next = std::max(Number(page, "next_try", now), Number(page, "not_before", now));
  return next <= now ? "now" : "in " + ShortSpan(next - now);
}

std::size_t Attempts(const json& page) {
  const auto it = page.find("attempts");
  return it != page.end() && it->is_array() ? it->size() : 0;
}

// Seconds since the epoch as "2026-12-07 08:30:05 UTC".
std::string When(double seconds) {
  if (std::isnan(seconds) || seconds < 0 || seconds > 1e11) return "-";
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buffer[40];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &tm);
  return buffer;
}

std::string Table(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> width(rows.front().size(), 0);
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line += std::string(width[c] - row[c].size() + 2, ' ');
    }
    out += line + "\n";
  }
  return out;
}

std::string AttemptLine(const json& attempt) {
  std::string line = "  " + When(Number(attempt, "at", NAN)) + "  " + Text(attempt, "line") + ": " +
                     Text(attempt, "outcome");
  const std::string reason = Text(attempt, "reason");
  if (reason != "-" && !reason.empty()) line += " (" + reason + ")";
  const std::string words = Text(attempt, "words");
  if (words != "-" && !words.empty()) line += ", the terminal said \"" + words + "\"";
  const double ms = Number(attempt, "duration_ms", NAN);
  if (!std::isnan(ms)) line += ", " + std::to_string(static_cast<long long>(ms)) + " ms";
  return line + "\n";
}

}  // namespace

std::string ShortSpan(double seconds) {
  const long long s = std::isnan(seconds) || seconds < 0 ? 0 : static_cast<long long>(seconds);
  if (s < 60) return std::to_string(s) + "s";
  if (s < 3600) return std::to_string(s / 60) + "m";
  if (s < 86400) return std::to_string(s / 3600) + "h";
  return std::to_string(s / 86400) + "d";
}

std::string QueueTable(const json& pages, double now) {
  if (!pages.is_array() || pages.empty()) return "No pages in the queue.\n";
  std::vector<std::vector<std::string>> rows = {
      {"ID", "STATE", "PIN", "AGE", "TRIES", "NEXT TRY", "LAST REASON"}};
  for (const json& page : pages) {
    if (!page.is_object()) continue;
    const std::string reason = Text(page, "last_reason");
    rows.push_back({Text(page, "id"), State(page), Text(page, "pin"), Age(page, now),
                    std::to_string(Attempts(page)), NextTry(page, now),
                    reason.empty() ? "-" : reason});
  }
  return Table(rows);
}

std::string PageDetails(const json& page, double now) {
  std::string out;
  const auto field = [&](const std::string& name, const std::string& value) {
    out += name + ": " + value + "\n";
  };
  field("Page", Text(page, "id"));
  field("State", State(page));
  field("PIN", Text(page, "pin") + " (" + Text(page, "fname") + " " + Text(page, "lname") + ")");
  field("Number", Text(page, "phone"));
  field("Text", Text(page, "text"));
  field("Queued", When(Number(page, "queued_at", NAN)) + " (" + Age(page, now) + " ago) by " +
                      Text(page, "by") + " via " + Text(page, "via"));
  field("Not before", When(Number(page, "not_before", NAN)));
  field("Expires", When(Number(page, "expires_at", NAN)));
  field("Next try", NextTry(page, now));
  field("Last reason", Text(page, "last_reason"));
  if (Flag(page, "may_be_duplicate"))
    field("Note", "may be a duplicate (sent again after a crash)");
  if (const auto merged = page.find("merged_ids");
      merged != page.end() && merged->is_array() && !merged->empty()) {
    field("Merged", Text(page, "merged_ids"));
  }
  const auto attempts = page.find("attempts");
  field("Attempts", std::to_string(Attempts(page)));
  if (attempts != page.end() && attempts->is_array()) {
    for (const json& a : *attempts) {
      if (a.is_object()) out += AttemptLine(a);
    }
  }
  return out;
}

}  // namespace zentrel
