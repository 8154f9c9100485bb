// The worker's side of a call, as the daemon reads it: each line of its
// standard output is one event (connected, sending, page, end), and the
// batch the daemon writes to its standard input first. Pure JSON in and out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "queue/page_record.h"

namespace zentrel::gateway {

struct ConnectedEvent {
  std::string line;
};
struct SendingEvent {
  queue::PageId id = 0;
};
struct PageEvent {
  queue::PageId id = 0;
  std::string outcome;  // "accepted", "refused", "not sent"
  std::string reason;
  std::string words;
  std::int64_t duration_ms = 0;
};
struct EndEvent {
  std::string outcome;  // "completed", "not sent"
  std::string reason;
  std::string words;
  std::int64_t duration_ms = 0;
};
struct BadEvent {
  std::string why;
};

using WorkerEvent = std::variant<ConnectedEvent, SendingEvent, PageEvent, EndEvent, BadEvent>;

WorkerEvent ParseWorkerEvent(std::string_view line);

struct Batch {
  int line = 0;  // the line's index in the lines file
  std::string lines_file;
  std::string phone;
  bool split = false;
  int max_chars = 0;  // 0: left to the worker
  int timeout_s = 120;
  std::vector<queue::Page> pages;
};

// The batch as the worker's first line of input, newline included.
std::string BatchLine(const Batch& batch);

}  // namespace zentrel::gateway
