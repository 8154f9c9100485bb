// The gateway's pages as zentrel-log lists them: read from the queue's
// SQLite file (zentrel-gateway's, by default $XDG_STATE_HOME/zentrel/
// queue.db), opened read-only so that listing never takes a write lock from
// the daemon or changes the file, or from the PostgreSQL database gateways
// share (a postgresql:// address). Each page comes with every attempt.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "journal/page_log.h"

namespace zentrel {

struct QueueFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct GatewayAttempt {
  std::string at;  // UTC, ISO 8601 with milliseconds, as the page log writes times
  std::string line;
  std::string outcome;  // "accepted", "refused", "not sent"
  std::string reason;
  std::string words;  // the terminal's own
  std::int64_t duration_ms = 0;
};

struct GatewayPageRow {
  std::int64_t id = 0;
  std::string queued_at;  // UTC, ISO 8601 with milliseconds
  std::string pin, names, phone, text;
  std::string by, via;  // "uid 1000", "zentrel-send"
  std::string state;    // "queued", "on the line", "accepted", ...
  bool held = false;
  bool may_be_duplicate = false;
  std::string last_reason;
  std::optional<std::int64_t> merged_into;
  std::string holder;  // in a shared queue, the gateway whose call has it
  std::vector<GatewayAttempt> attempts;
};

// The pages queued at or after filter.since, to filter.pin, and with
// filter.failed_only those that ended refused, expired or cancelled; oldest
// first. Throws QueueFileError when the file cannot be read as a queue.
// `path` may be a postgresql:// address, read by ReadSharedGatewayPages.
std::vector<GatewayPageRow> ReadGatewayPages(const std::string& path, const PageFilter& filter);
std::vector<GatewayPageRow> ReadSharedGatewayPages(const std::string& address,
                                                   const PageFilter& filter);

}  // namespace zentrel
