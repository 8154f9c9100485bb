// The default count of PageQueue::Stats: every page read through Newest, so
// a back-end without a counting query of its own is still measured right.
#include <limits>

#include "queue/page_queue.h"

namespace zentrel::queue {

QueueStats PageQueue::Stats() {
  QueueStats stats;
  for (const Page& page : Newest(std::numeric_limits<std::int32_t>::max())) {
    if (page.merged_into) continue;
    ++stats.pages[StateName(page.state)];
    for (const Attempt& a : page.attempts) ++stats.attempts[{a.outcome, a.reason}];
    if (page.state == PageState::kQueued &&
        (!stats.oldest_queued_at || page.queued_at < *stats.oldest_queued_at)) {
      stats.oldest_queued_at = page.queued_at;
    }
  }
  return stats;
}

}  // namespace zentrel::queue
