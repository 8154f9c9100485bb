// One call that carries a batch of pages on one given line through the full
// TAP session: what the gateway's worker runs. Pages are checked, split or
// cut to the page's limit, and sent in order; the caller hears each page
// start and end (and may stop the batch there, before another byte goes),
// and gets the call's outcome as a kind. No page log: the caller keeps the
// record. The line's turn is taken as every sender takes it.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "delivery/outcome.h"

namespace zentrel {

struct BatchPage {
  std::int64_t id = 0;
  std::string pin;
  std::string text;  // line breaks as CR LF
};

struct BatchCall {
  int line = 0;  // 0-based line of lines_file: exactly this one
  std::string lines_file;
  std::string phone;   // dialled on a modem line, unused on the others
  bool split = false;  // a long text as numbered pages, else cut
  std::size_t max_chars = 199;
  int timeout_seconds = 120;
  int wait_seconds = 300;  // for the line's turn
  std::vector<BatchPage> pages;
};

class IBatchEvents {
 public:
  virtual ~IBatchEvents() = default;
  virtual void Connected(const std::string& line_name) = 0;
  // Before the page's first block; false sends no further page.
  virtual bool Sending(std::size_t page) = 0;
  // The page's outcome (after its last part); the caller may block here.
  virtual void PageEnded(std::size_t page, const Outcome& outcome,
                         std::chrono::milliseconds took) = 0;
  // True once no further page should start (the caller's reader went away).
  virtual bool Stopped() const = 0;
};

struct BatchEnd {
  bool completed = false;  // every page has its outcome
  Outcome outcome;         // when not: why (its reason applies to pages without an outcome)
};

// Why the batch cannot be sent at all: a PIN, or the number on a modem
// line, that a send would refuse (kRefusedNumber), no such line
// (kLineUnusable); kNone when it can.
Outcome BatchRefusal(const BatchCall& batch);

BatchEnd RunBatchCall(const BatchCall& batch, IBatchEvents& events, std::FILE* err);

}  // namespace zentrel
