// The queue in one SQLite file: a `pages` row per submission and an
// `attempts` row per try. WAL with synchronous=FULL, so each transaction is
// on disk when its commit returns; other programs (zentrel-log) may read the
// file while the daemon writes it. One connection, used by one thread.
#pragma once

#include <string>
#include <vector>

#include "queue/page_queue.h"
#include "queue/sql.h"

namespace zentrel::queue {

class SqliteQueue : public PageQueue {
 public:
  SqliteQueue(const std::string& path, const RetryPolicy& policy);

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
  QueueStats Stats() override;  // sqlite_queue_stats.cpp

  void PublishLines(const std::string& gateway, const std::vector<LineReport>& lines) override;
  std::vector<LineReport> AllLines() override;  // sqlite_queue_lines.cpp

 private:
  void CreateSchema();
  PageId Insert(const NewPage& page, double now);
  std::optional<PageId> DuplicateOf(const NewPage& page, double now);
  std::optional<Page> ReadRow(PageId id);
  void ReadDetails(Page& page);
  void AddAttempt(PageId id, const Attempt& attempt);
  void Requeue(PageId id, const Attempt& attempt, bool counts);
  PageId Target(PageId id);
  ChangeResult::Status ApplyTo(Page& page, queue::Change change, double now);

  sql::Connection db_;
  RetryPolicy policy_;
};

}  // namespace zentrel::queue
