// The queue in a PostgreSQL database that several gateways share: the same
// `pages` and `attempts` rows as the SQLite file, plus which gateway holds a
// page on the line and until when (its lease). A call claims rows with
// FOR UPDATE SKIP LOCKED, so two gateways never take the same page; a hold
// not renewed in time is taken over by whichever gateway claims next.
// Submissions NOTIFY the other gateways, which LISTEN on the same connection.
#pragma once

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "queue/page_queue.h"
#include "queue/pg_conn.h"

namespace zentrel::queue {

class PgQueue : public PageQueue {
 public:
  PgQueue(const std::string& conninfo, const RetryPolicy& policy, const QueueOptions& options);

  std::vector<PageId> Submit(const std::vector<NewPage>& pages, double now) override;
  std::optional<Page> Find(PageId id) override;
  std::vector<Page> Newest(std::size_t limit) override;
  std::vector<PageId> Settled(const std::vector<PageId>& ids) override;
  ChangeResult Apply(PageId id, Change change, double now) override;

  std::vector<Page> Claim(const ClaimRequest& request, double now) override;
  void MarkSending(PageId id) override;
  void RecordAnswer(PageId id, const Attempt& attempt) override;
  std::vector<PageId> EndCall(const std::vector<PageId>& ids, const CallEnd& end) override;

  int Recover(double now) override;
  std::vector<PageId> ExpireDue(double now) override;
  std::optional<double> NextDue() override;

  int WakeFd() override;
  double Tick(double now) override;

  void PublishLines(const std::string& gateway, const std::vector<LineReport>& lines) override;
  std::vector<LineReport> AllLines() override;  // pg_queue_lines.cpp

 private:
  using Steady = std::chrono::steady_clock;
  void Ready();  // the connection is up, or QueueError
  PageId Insert(const NewPage& page, double now);
  std::optional<Page> ReadRow(PageId id, bool lock = false);
  void ReadDetails(Page& page);
  void AddAttempt(PageId id, const Attempt& attempt);
  void Requeue(PageId id, const Attempt& attempt, bool counts);
  PageId Target(PageId id);
  ChangeResult::Status ApplyTo(const Page& page, Change change, double now);
  void TakeOver(double now);
  void Renew(double now);
  pg::Param LiveIds() const;

  std::unique_ptr<pg::Connection> db_;
  RetryPolicy policy_;
  QueueOptions options_;
  std::set<PageId> live_;  // claimed by this gateway's calls and not yet reported
  double renew_at_ = 0;
  Steady::time_point retry_at_{};
  double retry_wait_s_ = 0;
};

namespace pg {
// Creates or upgrades the schema: numbered steps, each applied once, under
// an advisory lock so that gateways starting together apply it once.
void Migrate(Connection& db);
// The schema version this program writes.
int SchemaVersion();
}  // namespace pg

}  // namespace zentrel::queue
