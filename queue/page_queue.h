// The durable queue of pages behind one interface, so the daemon never sees
// how it is stored (SQLite now, another database later). Every call that
// changes something is one transaction, committed to disk before it returns:
// a submitter is told "queued" and a worker is told "ok" only after that.
// Time comes in as an argument (`now`, Unix seconds), so tests set the clock.
#pragma once

#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "queue/line_report.h"
#include "queue/page_record.h"
#include "queue/retry_policy.h"

namespace zentrel::queue {

// The one error type of the queue: the storage's own words.
class QueueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Change { kCancel, kRetry, kHold, kRelease };

struct ChangeResult {
  enum class Status { kDone, kNoSuchPage, kFinal, kOnTheLine };
  Status status = Status::kDone;
  std::optional<Page> page;  // as it is now (absent for kNoSuchPage)
};

// Which pages one call takes.
struct ClaimRequest {
  std::string line;         // the line's name, recorded with the tries
  bool same_number = true;  // a modem line: only pages for one terminal number
  std::size_t max_pages = 20;
};

// How a call ended for the pages it took but never reported on.
struct CallEnd {
  std::string line;
  std::string reason;  // the call's reason code
  std::string words;
  double at = 0;
  std::int64_t duration_ms = 0;
  bool counts = true;  // false when the gateway itself stopped the call
};

// Who this gateway is among several that share one database, and how long
// its hold on the pages of a call lasts unless renewed. The SQLite file has
// one gateway and no holds.
struct QueueOptions {
  std::string name;            // the gateway's name, recorded with its holds
  double lease_seconds = 30;   // a hold not renewed for this long is taken over
  double reconnect_max_s = 5;  // the longest wait between tries to reach the database
};

// Counts for a service's metrics.
struct QueueStats {
  std::map<std::string, std::int64_t>
      pages;  // state name -> pages (merged submissions not counted)
  std::map<std::pair<std::string, std::string>, std::int64_t>
      attempts;                            // (outcome, reason) -> tries
  std::optional<double> oldest_queued_at;  // of the pages still queued
};

class PageQueue {
 public:
  virtual ~PageQueue() = default;

  // Stores the pages, all or none; their ids in order. A page with the same
  // PIN and text as one submitted within the dedupe window is stored as a
  // submission merged into that page and is not sent again.
  virtual std::vector<PageId> Submit(const std::vector<NewPage>& pages, double now) = 0;
  virtual std::optional<Page> Find(PageId id) = 0;
  virtual std::vector<Page> Newest(std::size_t limit) = 0;
  // A person's change; a merged submission's change applies to its page.
  virtual ChangeResult Apply(PageId id, Change change, double now) = 0;

  // Takes the pages that are due for one call: highest priority, then oldest
  // first, and marks them on the line.
  virtual std::vector<Page> Claim(const ClaimRequest& request, double now) = 0;
  // The page's first block is about to go out. On a shared queue, throws
  // when this gateway no longer holds the page: the block must not go out.
  virtual void MarkSending(PageId id) = 0;
  // The terminal answered the page: accepted, refused for good, or queued
  // again for its next try (expired once past its expiry).
  virtual void RecordAnswer(PageId id, const Attempt& attempt) = 0;
  // The call is over: its pages still on the line go back to the queue (or
  // end refused when the call's reason is final). A page whose block went out
  // unanswered is marked "may be a duplicate". Returns the pages changed.
  virtual std::vector<PageId> EndCall(const std::vector<PageId>& ids, const CallEnd& end) = 0;

  // At start: every page left on the line goes back to the queue. Returns
  // how many.
  virtual int Recover(double now) = 0;
  // Ends the pages past their expiry; returns them.
  virtual std::vector<PageId> ExpireDue(double now) = 0;
  // The earliest time after which a Claim or ExpireDue may find something.
  virtual std::optional<double> NextDue() = 0;

  // A queue shared with other gateways: a descriptor that becomes readable
  // when pages are submitted elsewhere (or the database goes away); -1 when
  // there is none.
  virtual int WakeFd() { return -1; }
  // The back-end's own upkeep, called from the daemon's loop: reads what
  // woke WakeFd, renews the holds of calls under way, reaches the database
  // again after an outage. Returns when it wants to run next (now: pages
  // were submitted or changed elsewhere; infinity: only when WakeFd wakes).
  virtual double Tick(double /*now*/) { return std::numeric_limits<double>::infinity(); }
  // Counts for metrics. This default reads every page through Newest; a
  // back-end may count in place.
  virtual QueueStats Stats();
  // Those of `ids` a watcher is told about now, in order: final (for a
  // merged submission, its page is) or not stored. This default asks Find
  // for each; a back-end reads them all at once.
  virtual std::vector<PageId> Settled(const std::vector<PageId>& ids);

  // Replaces what `gateway` last wrote about its lines with `lines` (their
  // gateway field is ignored), in one transaction; an empty list removes
  // them, as a gateway stopping cleanly does.
  virtual void PublishLines(const std::string& gateway, const std::vector<LineReport>& lines) = 0;
  // Every gateway's lines as last written, by gateway then in its order.
  virtual std::vector<LineReport> AllLines() = 0;
};

// Opens (creating when missing) the SQLite queue at `path`; throws QueueError.
std::unique_ptr<PageQueue> OpenSqliteQueue(const std::string& path, const RetryPolicy& policy);

// "postgresql://..." (or "postgres://..."): the database shared by several
// gateways; anything else is a SQLite file, its folder created when missing.
// Throws QueueError.
std::unique_ptr<PageQueue> OpenQueue(const std::string& where, const RetryPolicy& policy,
                                     const QueueOptions& options);
bool IsDatabaseAddress(const std::string& where);
// The queue's address as it may be logged: a password in it is hidden.
std::string ShownAddress(const std::string& where);

// $XDG_STATE_HOME/zentrel/queue.db, else ~/.local/state/zentrel/queue.db.
std::string DefaultQueuePath();

}  // namespace zentrel::queue
