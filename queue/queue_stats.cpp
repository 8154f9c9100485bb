// The defaults of PageQueue::Stats and Settled: every page read through
// Newest or Find, so a back-end without queries of its own is still right.
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

std::vector<PageId> PageQueue::Settled(const std::vector<PageId>& ids) {
  std::vector<PageId> settled;
  for (PageId id : ids) {
    const std::optional<Page> page = Find(id);
    if (!page || IsFinal(page->state)) settled.push_back(id);
  }
  return settled;
}

}  // namespace zentrel::queue
