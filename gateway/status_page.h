// GET /'s page: the gateway at a glance, for a person on call with a phone.
// Server-rendered HTML with its style inline and nothing fetched from
// elsewhere: each line (of every gateway sharing the queue) and what it is
// doing, the pages waiting, the last 50 pages with their outcome; it reloads
// itself every `refresh_s` seconds.
// Pure: every text from the queue is escaped on the way in.
#pragma once

#include <string>
#include <vector>

#include "gateway/line_calls.h"
#include "queue/page_queue.h"

namespace zentrel::gateway {

struct StatusView {
  double now = 0;
  std::vector<LineState> lines;
  std::vector<queue::Page> waiting;  // queued or on the line, oldest first
  std::vector<queue::Page> newest;   // the last 50, newest first
  std::string version;
  int refresh_s = 15;
};

std::string StatusPageHtml(const StatusView& view);

}  // namespace zentrel::gateway
