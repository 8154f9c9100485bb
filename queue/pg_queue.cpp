// The PostgreSQL queue's connection and the submitter's side: storing pages
// (the dedupe merge serialised per PIN by an advisory lock, so two gateways
// taking the same text at once still send it once), reading them back, and
// a person's changes (cancel, retry, hold, release).
#include "queue/pg_queue.h"

namespace zentrel::queue {

namespace {

constexpr const char* kColumns =
    "id, pin, fname, lname, phone, text, priority, queued_at, by_whom, via, not_before, "
    "expires_at, next_try, state, held, last_reason, may_be_duplicate, merged_into, split, "
    "max_chars, holder";

constexpr int kPinLockSpace = 0x7a74;  // the dedupe's advisory locks: (space, hash of the PIN)

Page PageFromRow(const pg::Result& r, int row) {
  Page page;
  page.id = r.Int(row, 0);
  page.pin = r.Text(row, 1);
  page.fname = r.Text(row, 2);
  page.lname = r.Text(row, 3);
  page.phone = r.Text(row, 4);
  page.text = r.Text(row, 5);
  page.priority = static_cast<int>(r.Int(row, 6));
  page.queued_at = r.Real(row, 7);
  page.by = r.Text(row, 8);
  page.via = r.Text(row, 9);
  page.not_before = r.Real(row, 10);
  page.expires_at = r.Real(row, 11);
  page.next_try = r.Real(row, 12);
  page.state = StateFromName(r.Text(row, 13)).value_or(PageState::kQueued);
  page.held = r.Bool(row, 14);
  page.last_reason = r.Text(row, 15);
  page.may_be_duplicate = r.Bool(row, 16);
  if (!r.IsNull(row, 17)) page.merged_into = r.Int(row, 17);
  page.split = r.Bool(row, 18);
  page.max_chars = static_cast<int>(r.Int(row, 19));
  page.holder = r.Text(row, 20);
  return page;
}

}  // namespace

PgQueue::PgQueue(const std::string& conninfo, const RetryPolicy& policy,
                 const QueueOptions& options)
    : db_(std::make_unique<pg::Connection>(conninfo)), policy_(policy), options_(options) {
  pg::Migrate(*db_);
  db_->Script("LISTEN zentrel_pages");
}

std::vector<PageId> PgQueue::Submit(const std::vector<NewPage>& pages, double now) {
  Ready();
  pg::Transaction t(*db_);
  std::vector<PageId> ids;
  for (const NewPage& page : pages) ids.push_back(Insert(page, now));
  db_->Exec("NOTIFY zentrel_pages");
  t.Commit();
  return ids;
}

PageId PgQueue::Insert(const NewPage& page, double now) {
  db_->Exec("SELECT pg_advisory_xact_lock($1, hashtext($2))",
            {pg::Int(kPinLockSpace), pg::Text(page.pin)});
  const pg::Result dup = db_->Exec(
      "SELECT id FROM pages WHERE pin = $1 AND text = $2 AND queued_at >= $3 "
      "AND merged_into IS NULL AND state IN ('queued', 'on the line', 'accepted') "
      "ORDER BY id LIMIT 1",
      {pg::Text(page.pin), pg::Text(page.text), pg::Real(now - policy_.dedupe_window)});
  const bool merged = dup.Rows() > 0;
  const double not_before = page.not_before > now ? page.not_before : now;
  const pg::Result id = db_->Exec(
      "INSERT INTO pages(pin, fname, lname, phone, text, priority, queued_at, by_whom, via, "
      "not_before, expires_at, next_try, state, merged_into, split, max_chars) "
      "VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $10, $12, $13, $14, $15) "
      "RETURNING id",
      {pg::Text(page.pin), pg::Text(page.fname), pg::Text(page.lname), pg::Text(page.phone),
       pg::Text(page.text), pg::Int(page.priority), pg::Real(now), pg::Text(page.by),
       pg::Text(page.via), pg::Real(not_before), pg::Real(not_before + policy_.expire_after),
       pg::Text(merged ? "merged" : "queued"),
       merged ? pg::Int(dup.Int(0, 0)) : pg::Param(std::nullopt), pg::Bool(page.split),
       pg::Int(page.max_chars)});
  return id.Int(0, 0);
}

std::optional<Page> PgQueue::ReadRow(PageId id, bool lock) {
  const pg::Result r = db_->Exec(
      std::string("SELECT ") + kColumns + " FROM pages WHERE id = $1" + (lock ? " FOR UPDATE" : ""),
      {pg::Int(id)});
  if (r.Rows() == 0) return std::nullopt;
  return PageFromRow(r, 0);
}

void PgQueue::ReadDetails(Page& page) {
  const pg::Result merged =
      db_->Exec("SELECT id FROM pages WHERE merged_into = $1 ORDER BY id", {pg::Int(page.id)});
  for (int i = 0; i < merged.Rows(); ++i) page.merged_ids.push_back(merged.Int(i, 0));
  const pg::Result tries = db_->Exec(
      "SELECT at, line, outcome, reason, words, duration_ms FROM attempts WHERE page = $1 "
      "ORDER BY id",
      {pg::Int(page.id)});
  for (int i = 0; i < tries.Rows(); ++i) {
    page.attempts.push_back(Attempt{tries.Real(i, 0), tries.Text(i, 1), tries.Text(i, 2),
                                    tries.Text(i, 3), tries.Text(i, 4), tries.Int(i, 5)});
  }
}

// A merged submission shows the page it went out as: its state, its tries.
std::optional<Page> PgQueue::Find(PageId id) {
  Ready();
  std::optional<Page> own = ReadRow(id);
  if (!own || !own->merged_into) {
    if (own) ReadDetails(*own);
    return own;
  }
  std::optional<Page> sent = ReadRow(*own->merged_into);
  if (!sent) return own;
  ReadDetails(*sent);
  return ShownAsSent(*own, std::move(*sent));
}

std::vector<Page> PgQueue::Newest(std::size_t limit) {
  Ready();
  const pg::Result list = db_->Exec("SELECT id FROM pages ORDER BY id DESC LIMIT $1",
                                    {pg::Int(static_cast<std::int64_t>(limit))});
  std::vector<Page> pages;
  for (int i = 0; i < list.Rows(); ++i) {
    if (auto page = Find(list.Int(i, 0))) pages.push_back(std::move(*page));
  }
  return pages;
}

// One query for a whole watch.
std::vector<PageId> PgQueue::Settled(const std::vector<PageId>& ids) {
  Ready();
  const pg::Result r = db_->Exec(
      "SELECT w.id FROM unnest($1::bigint[]) WITH ORDINALITY AS w(id, n) "
      "LEFT JOIN pages p ON p.id = w.id LEFT JOIN pages s ON s.id = p.merged_into "
      "WHERE p.id IS NULL OR COALESCE(s.state, p.state) NOT IN ('queued', 'on the line') "
      "ORDER BY w.n",
      {pg::Text("{" + JoinIds(ids, ",") + "}")});
  std::vector<PageId> settled;
  for (int row = 0; row < r.Rows(); ++row) settled.push_back(r.Int(row, 0));
  return settled;
}

PageId PgQueue::Target(PageId id) {
  const pg::Result r = db_->Exec("SELECT merged_into FROM pages WHERE id = $1", {pg::Int(id)});
  if (r.Rows() > 0 && !r.IsNull(0, 0)) return r.Int(0, 0);
  return id;
}

ChangeResult PgQueue::Apply(PageId id, Change change, double now) {
  Ready();
  pg::Transaction t(*db_);
  const std::optional<Page> page = ReadRow(Target(id), true);
  if (!page) return ChangeResult{ChangeResult::Status::kNoSuchPage, std::nullopt};
  const ChangeResult::Status status = ApplyTo(*page, change, now);
  if (status == ChangeResult::Status::kDone && change != Change::kHold &&
      change != Change::kCancel) {
    db_->Exec("NOTIFY zentrel_pages");
  }
  t.Commit();
  return ChangeResult{status, Find(id)};
}

// Cancel and retry need the page off the line (a block may be going out);
// hold and release only mark it, for the next time it is due.
ChangeResult::Status PgQueue::ApplyTo(const Page& page, Change change, double now) {
  using Status = ChangeResult::Status;
  const bool final = IsFinal(page.state);
  const bool on_line = page.state == PageState::kOnTheLine;
  switch (change) {
    case Change::kCancel:
      if (final) return Status::kFinal;
      if (on_line) return Status::kOnTheLine;
      db_->Exec("UPDATE pages SET state = 'cancelled' WHERE id = $1", {pg::Int(page.id)});
      return Status::kDone;
    case Change::kRetry:
      if (page.state == PageState::kAccepted || page.state == PageState::kCancelled) {
        return Status::kFinal;
      }
      if (on_line) return Status::kOnTheLine;
      db_->Exec(
          "UPDATE pages SET state = 'queued', next_try = $2, not_before = LEAST(not_before, $2), "
          "expires_at = GREATEST(expires_at, $2::float8 + $3::float8) WHERE id = $1",
          {pg::Int(page.id), pg::Real(now), pg::Real(policy_.expire_after)});
      return Status::kDone;
    case Change::kHold:
    case Change::kRelease:
      if (final) return Status::kFinal;
      db_->Exec("UPDATE pages SET held = $2 WHERE id = $1",
                {pg::Int(page.id), pg::Bool(change == Change::kHold)});
      return Status::kDone;
  }
  return Status::kDone;
}

}  // namespace zentrel::queue
