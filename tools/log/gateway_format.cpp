// Kept apart from log_format.cpp (the page log's own formats) so the two can
// change independently; CSV quoting follows the same rule (a field holding a
// comma, quote or line break is quoted, quotes doubled).
#include "tools/log/gateway_format.h"

#include <nlohmann/json.hpp>

#include "base/safe_text.h"
#include "base/terminal_text.h"
#include "tools/log/log_format.h"

namespace zentrel {
namespace {

std::string State(const GatewayPageRow& p) {
  std::string state = p.state;
  if (p.state == "on the line" && !p.holder.empty()) state += " at " + p.holder;
  if (p.held) state += " (held)";
  if (p.merged_into) state += " (merged into " + std::to_string(*p.merged_into) + ")";
  return state;
}

std::string AttemptText(const GatewayAttempt& a) {
  std::string text = a.at + " " + a.line + ": " + a.outcome;
  if (!a.reason.empty()) text += " (" + a.reason + ")";
  if (!a.words.empty()) text += " \"" + a.words + "\"";
  return text + " " + std::to_string(a.duration_ms) + " ms";
}

}  // namespace

std::string GatewayTable(const std::vector<GatewayPageRow>& pages) {
  std::string out;
  for (const GatewayPageRow& p : pages) {
    std::string line =
        p.queued_at + "  " + State(p) + "  " + p.pin + " (" + p.names + ")  \"" + p.text + "\"";
    if (!p.last_reason.empty() && p.state != "accepted") line += "  " + p.last_reason;
    if (p.may_be_duplicate) line += "  may be a duplicate";
    line += "  [gateway page " + std::to_string(p.id) + ", " + p.via + ", " + p.by + "]";
    out += TerminalSafe(line) + "\n";
    for (const GatewayAttempt& a : p.attempts) out += "    " + TerminalSafe(AttemptText(a)) + "\n";
  }
  return out;
}

std::string GatewayCsv(const std::vector<GatewayPageRow>& pages) {
  std::string out =
      CsvRow({"id", "queued", "state", "held", "pin", "names", "number", "message", "last_reason",
              "may_be_duplicate", "merged_into", "via", "by", "attempts"});
  for (const GatewayPageRow& p : pages) {
    std::string attempts;
    for (const GatewayAttempt& a : p.attempts)
      attempts += (attempts.empty() ? "" : "\n") + AttemptText(a);
    out += CsvRow({std::to_string(p.id), p.queued_at, p.state, p.held ? "1" : "0", p.pin, p.names,
                   p.phone, p.text, p.last_reason, p.may_be_duplicate ? "1" : "0",
                   p.merged_into ? std::to_string(*p.merged_into) : "", p.via, p.by, attempts});
  }
  return out;
}

std::string GatewayJson(const std::vector<GatewayPageRow>& pages) {
  nlohmann::json all = nlohmann::json::array();
  for (const GatewayPageRow& p : pages) {
    nlohmann::json attempts = nlohmann::json::array();
    for (const GatewayAttempt& a : p.attempts) {
      attempts.push_back({{"at", a.at},
                          {"line", a.line},
                          {"outcome", a.outcome},
                          {"reason", a.reason},
                          {"words", a.words},
                          {"duration_ms", a.duration_ms}});
    }
    nlohmann::json page = {
        {"id", p.id},
        {"queued", p.queued_at},
        {"state", p.state},
        {"held", p.held},
        {"pin", p.pin},
        {"names", p.names},
        {"number", p.phone},
        {"message", p.text},
        {"last_reason", p.last_reason},
        {"may_be_duplicate", p.may_be_duplicate},
        {"merged_into", p.merged_into ? nlohmann::json(*p.merged_into) : nullptr},
        {"via", p.via},
        {"by", p.by},
        {"attempts", attempts}};
    if (!p.holder.empty()) page["holder"] = p.holder;  // a shared queue's gateway
    all.push_back(std::move(page));
  }
  return all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace zentrel
