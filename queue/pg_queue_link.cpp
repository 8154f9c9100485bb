// The PostgreSQL queue's link to its server, driven by the daemon's loop:
// the connection's socket is polled for NOTIFY, the holds of calls under
// way are renewed a third of a lease apart, and a connection that broke is
// made again with a growing wait (half a second, doubling, to a ceiling).
// Meanwhile every call fails at once with the reason, so a submitter hears
// that nothing was queued instead of waiting.
#include <cmath>
#include <limits>

#include "queue/pg_queue.h"

namespace zentrel::queue {

namespace {

constexpr double kFirstRetryWait = 0.5;  // seconds

}  // namespace

void PgQueue::Ready() {
  if (db_->Ok()) return;
  const Steady::time_point now = Steady::now();
  if (now >= retry_at_) {
    if (db_->Reset()) {
      retry_wait_s_ = 0;
      db_->Script("LISTEN zentrel_pages");
      return;
    }
    retry_wait_s_ =
        std::min(std::max(retry_wait_s_ * 2, kFirstRetryWait), options_.reconnect_max_s);
    retry_at_ = now + std::chrono::duration_cast<Steady::duration>(
                          std::chrono::duration<double>(retry_wait_s_));
  }
  throw QueueError("the queue's database is unreachable (" + db_->Error() + ")");
}

int PgQueue::WakeFd() { return db_->Socket(); }

void PgQueue::Renew(double now) {
  db_->Exec(
      "UPDATE pages SET lease_until = $1::float8 + $2::float8 WHERE state = 'on the line' "
      "AND holder = $3 AND id = ANY($4::bigint[])",
      {pg::Real(now), pg::Real(options_.lease_seconds), pg::Text(options_.name), LiveIds()});
}

double PgQueue::Tick(double now) {
  const double never = std::numeric_limits<double>::infinity();
  try {
    Ready();
    const bool woken = !db_->Notifications().empty();
    if (!db_->Ok()) return now;  // the server went away: Ready tries again
    if (!live_.empty() && now >= renew_at_) {
      Renew(now);
      renew_at_ = now + options_.lease_seconds / 3;
    }
    if (woken) return now;
    return live_.empty() ? never : renew_at_;
  } catch (const QueueError&) {
    const double wait = std::chrono::duration<double>(retry_at_ - Steady::now()).count();
    return now + std::max(wait, 0.05);
  }
}

}  // namespace zentrel::queue
