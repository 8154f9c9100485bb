// The SQLite queue's counts for metrics, each one query over the tables
// (GROUP BY), so a scrape costs the same however many pages are kept.
#include "queue/sqlite_queue.h"

namespace zentrel::queue {

QueueStats SqliteQueue::Stats() {
  QueueStats stats;
  auto pages =
      db_.Prepare("SELECT state, COUNT(*) FROM pages WHERE merged_into IS NULL GROUP BY state");
  while (pages.Step()) stats.pages[pages.Text(0)] = pages.Int(1);
  auto attempts = db_.Prepare(
      "SELECT a.outcome, a.reason, COUNT(*) FROM attempts a JOIN pages p ON p.id = a.page"
      " WHERE p.merged_into IS NULL GROUP BY a.outcome, a.reason");
  while (attempts.Step()) stats.attempts[{attempts.Text(0), attempts.Text(1)}] = attempts.Int(2);
  auto oldest = db_.Prepare(
      "SELECT MIN(queued_at) FROM pages WHERE state = 'queued' AND merged_into IS NULL");
  if (oldest.Step() && !oldest.IsNull(0)) stats.oldest_queued_at = oldest.Real(0);
  return stats;
}

}  // namespace zentrel::queue
