// The SQLite queue's delivery side: a call claims the pages due for one
// terminal, each block going out and each answer is committed as the worker
// reports it, and the pages a call never reached go back to the queue. Also
// the start-up recovery and the expiry sweep.
#include "queue/sqlite_queue.h"

namespace zentrel::queue {

namespace {

constexpr const char* kDue =
    "state = 'queued' AND held = 0 AND next_try <= ?1 AND expires_at > ?1 ";
constexpr const char* kOrder = "ORDER BY priority DESC, queued_at, id ";

}  // namespace

// The first page due decides the call: its terminal number (on a modem
// line) and its form (split or cut, field size), which a call has one of.
std::vector<Page> SqliteQueue::Claim(const ClaimRequest& request, double now) {
  sql::Transaction t(db_);
  auto first = db_.Prepare(std::string("SELECT phone, split, max_chars FROM pages WHERE ") + kDue +
                           kOrder + "LIMIT 1");
  first.Bind(now);
  if (!first.Step()) return {};
  std::string select = std::string("SELECT id FROM pages WHERE ") + kDue +
                       "AND split = ?3 AND max_chars = ?4 AND (?5 = 0 OR phone = ?6) ";
  auto pick = db_.Prepare(select + kOrder + "LIMIT ?2");
  pick.Bind(now, static_cast<std::int64_t>(request.max_pages), first.Int(1), first.Int(2),
            static_cast<std::int64_t>(request.same_number), first.Text(0));
  std::vector<PageId> ids;
  while (pick.Step()) ids.push_back(pick.Int(0));
  for (PageId id : ids) {
    auto take = db_.Prepare("UPDATE pages SET state = 'on the line', block_out = 0 WHERE id = ?1");
    take.Bind(id).Run();
  }
  t.Commit();
  std::vector<Page> pages;
  for (PageId id : ids) {
    if (auto page = Find(id)) pages.push_back(std::move(*page));
  }
  return pages;
}

void SqliteQueue::MarkSending(PageId id) {
  auto mark = db_.Prepare("UPDATE pages SET block_out = 1 WHERE id = ?1 AND state = 'on the line'");
  mark.Bind(id).Run();
}

void SqliteQueue::AddAttempt(PageId id, const Attempt& attempt) {
  auto add = db_.Prepare(
      "INSERT INTO attempts(page, at, line, outcome, reason, words, duration_ms) "
      "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
  add.Bind(id, attempt.at, attempt.line, attempt.outcome, attempt.reason, attempt.words,
           attempt.duration_ms);
  add.Run();
}

// Back to the queue for its next try, or expired when that is past. A block
// that went out with no answer read may have reached the terminal: the page
// goes out again marked as a possible duplicate (three NAKs are a clear no).
void SqliteQueue::Requeue(PageId id, const Attempt& attempt, bool counts) {
  auto read = db_.Prepare("SELECT tries FROM pages WHERE id = ?1");
  read.Bind(id);
  const int tries = read.Step() ? static_cast<int>(read.Int(0)) + (counts ? 1 : 0) : 0;
  const double next = counts ? attempt.at + policy_.WaitAfter(tries) : attempt.at;
  auto update = db_.Prepare(
      "UPDATE pages SET tries = ?2, next_try = ?3, last_reason = ?4, "
      "state = CASE WHEN ?5 >= expires_at THEN 'expired' ELSE 'queued' END, "
      "may_be_duplicate = may_be_duplicate OR (block_out AND ?6), block_out = 0 "
      "WHERE id = ?1 AND state = 'on the line'");
  update.Bind(id, static_cast<std::int64_t>(tries), next, attempt.reason, attempt.at,
              static_cast<std::int64_t>(attempt.reason != "nak limit"));
  update.Run();
}

void SqliteQueue::RecordAnswer(PageId id, const Attempt& attempt) {
  sql::Transaction t(db_);
  AddAttempt(id, attempt);
  const bool refused =
      IsFinalReason(attempt.reason) || (attempt.outcome == "refused" && attempt.reason.empty());
  if (attempt.outcome == "accepted" || refused) {
    auto end = db_.Prepare(
        "UPDATE pages SET state = ?2, last_reason = ?3, block_out = 0 "
        "WHERE id = ?1 AND state = 'on the line'");
    end.Bind(id, std::string(refused ? "refused" : "accepted"), attempt.reason).Run();
  } else {
    Requeue(id, attempt, !IsLineReason(attempt.reason));
  }
  t.Commit();
}

std::vector<PageId> SqliteQueue::EndCall(const std::vector<PageId>& ids, const CallEnd& end) {
  sql::Transaction t(db_);
  std::vector<PageId> changed;
  for (PageId id : ids) {
    auto state = db_.Prepare("SELECT state FROM pages WHERE id = ?1");
    state.Bind(id);
    if (!state.Step() || state.Text(0) != "on the line") continue;
    const Attempt attempt{end.at, end.line, "not sent", end.reason, end.words, end.duration_ms};
    AddAttempt(id, attempt);
    if (IsFinalReason(end.reason)) {
      auto refuse = db_.Prepare(
          "UPDATE pages SET state = 'refused', last_reason = ?2, block_out = 0 WHERE id = ?1");
      refuse.Bind(id, end.reason).Run();
    } else {
      Requeue(id, attempt, end.counts && !IsLineReason(end.reason));
    }
    changed.push_back(id);
  }
  t.Commit();
  return changed;
}

int SqliteQueue::Recover(double now) {
  std::vector<PageId> ids;
  auto list = db_.Prepare("SELECT id FROM pages WHERE state = 'on the line'");
  while (list.Step()) ids.push_back(list.Int(0));
  sql::Transaction t(db_);
  for (PageId id : ids) {
    AddAttempt(
        id, Attempt{now, "", "not sent", "interrupted", "the gateway stopped during the call", 0});
    auto back = db_.Prepare(
        "UPDATE pages SET state = 'queued', next_try = MIN(next_try, ?2), "
        "last_reason = 'interrupted', may_be_duplicate = may_be_duplicate OR block_out, "
        "block_out = 0 WHERE id = ?1");
    back.Bind(id, now).Run();
  }
  t.Commit();
  return static_cast<int>(ids.size());
}

std::vector<PageId> SqliteQueue::ExpireDue(double now) {
  sql::Transaction t(db_);
  std::vector<PageId> ids;
  auto list = db_.Prepare("SELECT id FROM pages WHERE state = 'queued' AND expires_at <= ?1");
  list.Bind(now);
  while (list.Step()) ids.push_back(list.Int(0));
  auto expire =
      db_.Prepare("UPDATE pages SET state = 'expired' WHERE state = 'queued' AND expires_at <= ?1");
  expire.Bind(now).Run();
  t.Commit();
  return ids;
}

std::optional<double> SqliteQueue::NextDue() {
  auto next = db_.Prepare(
      "SELECT MIN(CASE WHEN held = 0 AND next_try < expires_at THEN next_try "
      "ELSE expires_at END) FROM pages WHERE state = 'queued'");
  if (!next.Step() || next.IsNull(0)) return std::nullopt;
  return next.Real(0);
}

}  // namespace zentrel::queue
