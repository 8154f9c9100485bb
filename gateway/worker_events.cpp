// Reads the worker's events with nlohmann::json (no exceptions): a field of
// the wrong type makes the event bad, and the daemon ends that call.
#include "gateway/worker_events.h"

#include <nlohmann/json.hpp>

namespace zentrel::gateway {

namespace {

using nlohmann::json;

std::string Text(const json& event, const char* field) {
  const auto found = event.find(field);
  return found != event.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::int64_t Whole(const json& event, const char* field) {
  const auto found = event.find(field);
  return found != event.end() && found->is_number_integer() ? found->get<std::int64_t>() : 0;
}

}  // namespace

WorkerEvent ParseWorkerEvent(std::string_view line) {
  const json event = json::parse(line.begin(), line.end(), nullptr, false);
  if (event.is_discarded() || !event.is_object()) return BadEvent{"not a JSON object"};
  const std::string kind = Text(event, "event");
  if (kind == "connected") return ConnectedEvent{Text(event, "line")};
  if (kind == "end") {
    return EndEvent{Text(event, "outcome"), Text(event, "reason"), Text(event, "words"),
                    Whole(event, "duration_ms")};
  }
  if (kind != "sending" && kind != "page") return BadEvent{"an unknown event"};
  const std::int64_t id = Whole(event, "id");
  if (id <= 0) return BadEvent{"an event without a page id"};
  if (kind == "sending") return SendingEvent{id};
  const std::string outcome = Text(event, "outcome");
  if (outcome != "accepted" && outcome != "refused" && outcome != "not sent") {
    return BadEvent{"a page event without a known outcome"};
  }
  return PageEvent{id, outcome, Text(event, "reason"), Text(event, "words"),
                   Whole(event, "duration_ms")};
}

std::string BatchLine(const Batch& batch) {
  json pages = json::array();
  for (const queue::Page& page : batch.pages) {
    pages.push_back({{"id", page.id},
                     {"pin", page.pin},
                     {"text", page.text},
                     {"may_be_duplicate", page.may_be_duplicate}});
  }
  json out = {{"line", batch.line},           {"lines_file", batch.lines_file},
              {"phone", batch.phone},         {"split", batch.split},
              {"timeout_s", batch.timeout_s}, {"pages", std::move(pages)}};
  if (batch.max_chars > 0) out["max_chars"] = batch.max_chars;
  return out.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace zentrel::gateway
