// GET /metrics's body in Prometheus's text format (version 0.0.4): pages by
// state, tries by outcome and reason, the queue's depth and its oldest
// page's age, each line's (of every gateway sharing the queue, labelled with
// its gateway) calls, busy seconds, whether it is in a call and is seen,
// the calls' durations as a histogram, and the build. Pure: the numbers come
// in, the text goes out.
#pragma once

#include <string>
#include <vector>

#include "gateway/line_calls.h"
#include "queue/page_queue.h"

namespace zentrel::gateway {

struct MetricsView {
  double now = 0;
  queue::QueueStats stats;
  std::vector<LineState> lines;
  CallDurations durations;
  std::string version;
};

std::string MetricsText(const MetricsView& view);

}  // namespace zentrel::gateway
