// The PostgreSQL queue's delivery side. A call claims the due pages of one
// terminal with FOR UPDATE SKIP LOCKED (rows another gateway is claiming
// are passed over, not waited for) and holds them under this gateway's name
// until its lease ends; each block going out and each answer is committed
// as the worker reports it, and only by the gateway that holds the page.
// Holds whose lease ran out are taken over first, as a restart would.
#include <algorithm>

#include "queue/pg_queue.h"

namespace zentrel::queue {

namespace {

constexpr const char* kDue =
    "state = 'queued' AND NOT held AND next_try <= $1 AND expires_at > $1 ";
constexpr const char* kOrder = "ORDER BY priority DESC, queued_at, id ";

std::string IdArray(const std::vector<PageId>& ids) {
  std::string text = "{";
  for (PageId id : ids) text += (text.size() > 1 ? "," : "") + std::to_string(id);
  return text + "}";
}

}  // namespace

pg::Param PgQueue::LiveIds() const {
  return IdArray(std::vector<PageId>(live_.begin(), live_.end()));
}

// The pages of a call whose gateway stopped renewing its hold (killed, cut
// off) go back to the queue, marked "may be a duplicate" when a block had
// gone out unanswered. This gateway's own calls under way are left alone.
void PgQueue::TakeOver(double now) {
  const pg::Result lost = db_->Exec(
      "SELECT id, holder FROM pages WHERE state = 'on the line' AND lease_until <= $1 "
      "AND NOT (holder = $2 AND id = ANY($3::bigint[])) FOR UPDATE SKIP LOCKED",
      {pg::Real(now), pg::Text(options_.name), LiveIds()});
  for (int i = 0; i < lost.Rows(); ++i) {
    const PageId id = lost.Int(i, 0);
    AddAttempt(id,
               Attempt{now, "", "not sent", "interrupted",
                       "gateway " + lost.Text(i, 1) + " stopped renewing its hold on the call", 0});
    db_->Exec(
        "UPDATE pages SET state = 'queued', next_try = LEAST(next_try, $2), holder = '', "
        "last_reason = 'interrupted', may_be_duplicate = may_be_duplicate OR block_out, "
        "block_out = false WHERE id = $1",
        {pg::Int(id), pg::Real(now)});
  }
}

// The first page due decides the call: its terminal number (on a modem
// line) and its form (split or cut, field size), which a call has one of.
std::vector<Page> PgQueue::Claim(const ClaimRequest& request, double now) {
  Ready();
  pg::Transaction t(*db_);
  TakeOver(now);
  const pg::Result first =
      db_->Exec(std::string("SELECT phone, split, max_chars FROM pages WHERE ") + kDue + kOrder +
                    "LIMIT 1 FOR UPDATE SKIP LOCKED",
                {pg::Real(now)});
  if (first.Rows() == 0) {
    t.Commit();
    return {};
  }
  const pg::Result pick =
      db_->Exec(std::string("SELECT id FROM pages WHERE ") + kDue +
                    "AND split = $3 AND max_chars = $4 AND (NOT $5 OR phone = $6) " + kOrder +
                    "LIMIT $2 FOR UPDATE SKIP LOCKED",
                {pg::Real(now), pg::Int(static_cast<std::int64_t>(request.max_pages)),
                 pg::Bool(first.Bool(0, 1)), pg::Int(first.Int(0, 2)),
                 pg::Bool(request.same_number), pg::Text(first.Text(0, 0))});
  std::vector<PageId> ids;
  for (int i = 0; i < pick.Rows(); ++i) ids.push_back(pick.Int(i, 0));
  db_->Exec(
      "UPDATE pages SET state = 'on the line', block_out = false, holder = $2, "
      "lease_until = $3::float8 + $4::float8 WHERE id = ANY($1::bigint[])",
      {IdArray(ids), pg::Text(options_.name), pg::Real(now), pg::Real(options_.lease_seconds)});
  t.Commit();
  if (live_.empty()) renew_at_ = now + options_.lease_seconds / 3;
  live_.insert(ids.begin(), ids.end());
  std::vector<Page> pages;
  for (PageId id : ids) {
    if (auto page = Find(id)) pages.push_back(std::move(*page));
  }
  return pages;
}

// A page whose hold ran out (this gateway was cut off from the database
// longer than its lease) may be on another gateway's line by now: its block
// must not go out here too, so the call is told no.
void PgQueue::MarkSending(PageId id) {
  Ready();
  const pg::Result marked = db_->Exec(
      "UPDATE pages SET block_out = true WHERE id = $1 AND state = 'on the line' "
      "AND holder = $2 RETURNING id",
      {pg::Int(id), pg::Text(options_.name)});
  if (marked.Rows() == 0) {
    live_.erase(id);
    throw QueueError("page " + std::to_string(id) +
                     " is no longer held by this gateway: its hold ran out and another gateway "
                     "took it over");
  }
}

void PgQueue::AddAttempt(PageId id, const Attempt& attempt) {
  db_->Exec(
      "INSERT INTO attempts(page, at, line, outcome, reason, words, duration_ms, gateway) "
      "VALUES($1, $2, $3, $4, $5, $6, $7, $8)",
      {pg::Int(id), pg::Real(attempt.at), pg::Text(attempt.line), pg::Text(attempt.outcome),
       pg::Text(attempt.reason), pg::Text(attempt.words), pg::Int(attempt.duration_ms),
       pg::Text(options_.name)});
}

// Back to the queue for its next try, or expired when that is past. A block
// that went out with no answer read may have reached the terminal: the page
// goes out again marked as a possible duplicate (three NAKs are a clear no).
void PgQueue::Requeue(PageId id, const Attempt& attempt, bool counts) {
  const pg::Result read = db_->Exec("SELECT tries FROM pages WHERE id = $1", {pg::Int(id)});
  const int tries = read.Rows() > 0 ? static_cast<int>(read.Int(0, 0)) + (counts ? 1 : 0) : 0;
  const double next = counts ? attempt.at + policy_.WaitAfter(tries) : attempt.at;
  db_->Exec(
      "UPDATE pages SET tries = $2, next_try = $3, last_reason = $4, holder = '', "
      "state = CASE WHEN $5 >= expires_at THEN 'expired' ELSE 'queued' END, "
      "may_be_duplicate = may_be_duplicate OR (block_out AND $6), block_out = false "
      "WHERE id = $1 AND state = 'on the line' AND holder = $7",
      {pg::Int(id), pg::Int(tries), pg::Real(next), pg::Text(attempt.reason), pg::Real(attempt.at),
       pg::Bool(attempt.reason != "nak limit"), pg::Text(options_.name)});
}

void PgQueue::RecordAnswer(PageId id, const Attempt& attempt) {
  Ready();
  pg::Transaction t(*db_);
  AddAttempt(id, attempt);
  const bool refused =
      IsFinalReason(attempt.reason) || (attempt.outcome == "refused" && attempt.reason.empty());
  if (attempt.outcome == "accepted" || refused) {
    db_->Exec(
        "UPDATE pages SET state = $2, last_reason = $3, block_out = false, holder = '' "
        "WHERE id = $1 AND state = 'on the line' AND holder = $4",
        {pg::Int(id), pg::Text(refused ? "refused" : "accepted"), pg::Text(attempt.reason),
         pg::Text(options_.name)});
  } else {
    Requeue(id, attempt, !IsLineReason(attempt.reason));
  }
  db_->Exec("NOTIFY zentrel_pages");  // watchers on other gateways, pages due again
  t.Commit();
  live_.erase(id);
}

// The call's pages stop being renewed first: should the database be gone,
// their holds run out and another claim takes them back.
std::vector<PageId> PgQueue::EndCall(const std::vector<PageId>& ids, const CallEnd& end) {
  for (PageId id : ids) live_.erase(id);
  Ready();
  pg::Transaction t(*db_);
  std::vector<PageId> changed;
  for (PageId id : ids) {
    const pg::Result state = db_->Exec(
        "SELECT 1 FROM pages WHERE id = $1 AND state = 'on the line' AND holder = $2 FOR UPDATE",
        {pg::Int(id), pg::Text(options_.name)});
    if (state.Rows() == 0) continue;
    const Attempt attempt{end.at, end.line, "not sent", end.reason, end.words, end.duration_ms};
    AddAttempt(id, attempt);
    if (IsFinalReason(end.reason)) {
      db_->Exec(
          "UPDATE pages SET state = 'refused', last_reason = $2, block_out = false, holder = '' "
          "WHERE id = $1",
          {pg::Int(id), pg::Text(end.reason)});
    } else {
      Requeue(id, attempt, end.counts && !IsLineReason(end.reason));
    }
    changed.push_back(id);
  }
  if (!changed.empty()) db_->Exec("NOTIFY zentrel_pages");
  t.Commit();
  return changed;
}

// At start: this gateway's own holds are from its last run; other
// gateways' holds are theirs until their leases end.
int PgQueue::Recover(double now) {
  Ready();
  live_.clear();
  pg::Transaction t(*db_);
  const pg::Result list =
      db_->Exec("SELECT id FROM pages WHERE state = 'on the line' AND holder = $1 FOR UPDATE",
                {pg::Text(options_.name)});
  for (int i = 0; i < list.Rows(); ++i) {
    const PageId id = list.Int(i, 0);
    AddAttempt(
        id, Attempt{now, "", "not sent", "interrupted", "the gateway stopped during the call", 0});
    db_->Exec(
        "UPDATE pages SET state = 'queued', next_try = LEAST(next_try, $2), holder = '', "
        "last_reason = 'interrupted', may_be_duplicate = may_be_duplicate OR block_out, "
        "block_out = false WHERE id = $1",
        {pg::Int(id), pg::Real(now)});
  }
  t.Commit();
  return list.Rows();
}

std::vector<PageId> PgQueue::ExpireDue(double now) {
  Ready();
  const pg::Result expired = db_->Exec(
      "UPDATE pages SET state = 'expired' WHERE state = 'queued' AND expires_at <= $1 "
      "RETURNING id",
      {pg::Real(now)});
  std::vector<PageId> ids;
  for (int i = 0; i < expired.Rows(); ++i) ids.push_back(expired.Int(i, 0));
  std::sort(ids.begin(), ids.end());
  return ids;
}

// Also the end of the earliest hold another gateway (or a call of this
// one that could not be closed) has let run out: it is taken over then.
std::optional<double> PgQueue::NextDue() {
  Ready();
  const pg::Result next = db_->Exec(
      "SELECT MIN(t) FROM (SELECT CASE WHEN NOT held AND next_try < expires_at THEN next_try "
      "ELSE expires_at END AS t FROM pages WHERE state = 'queued' "
      "UNION ALL SELECT lease_until FROM pages WHERE state = 'on the line' "
      "AND NOT (holder = $1 AND id = ANY($2::bigint[]))) AS due",
      {pg::Text(options_.name), LiveIds()});
  if (next.Rows() == 0 || next.IsNull(0, 0)) return std::nullopt;
  return next.Real(0, 0);
}

}  // namespace zentrel::queue
