// The PostgreSQL queue's schema as numbered steps. The version reached is
// kept in zentrel_schema; a gateway applies the missing steps in order, each
// in its own transaction, holding an advisory lock meanwhile, and refuses a
// database written by a newer program. A new step goes at the end; a step
// once released is never edited.
#include <string>
#include <vector>

#include "queue/pg_queue.h"

namespace zentrel::queue::pg {

namespace {

constexpr std::int64_t kMigrationLock = 0x7a656e7472656c01;  // "zentrel" + 1

// holder and lease_until: the gateway whose call has the page on the line,
// and the time its hold ends unless renewed. block_out: its first block
// went out and no answer was recorded yet.
const std::vector<std::string> kSteps = {
    R"(
CREATE TABLE pages(
  id BIGSERIAL PRIMARY KEY,
  pin TEXT NOT NULL, fname TEXT NOT NULL, lname TEXT NOT NULL, phone TEXT NOT NULL,
  text TEXT NOT NULL, priority INTEGER NOT NULL DEFAULT 0,
  split BOOLEAN NOT NULL DEFAULT false, max_chars INTEGER NOT NULL DEFAULT 0,
  queued_at DOUBLE PRECISION NOT NULL, by_whom TEXT NOT NULL, via TEXT NOT NULL,
  not_before DOUBLE PRECISION NOT NULL, expires_at DOUBLE PRECISION NOT NULL,
  next_try DOUBLE PRECISION NOT NULL, state TEXT NOT NULL,
  held BOOLEAN NOT NULL DEFAULT false, tries INTEGER NOT NULL DEFAULT 0,
  last_reason TEXT NOT NULL DEFAULT '', may_be_duplicate BOOLEAN NOT NULL DEFAULT false,
  block_out BOOLEAN NOT NULL DEFAULT false, merged_into BIGINT REFERENCES pages(id),
  holder TEXT NOT NULL DEFAULT '', lease_until DOUBLE PRECISION NOT NULL DEFAULT 0);
CREATE INDEX pages_due ON pages(state, next_try);
CREATE INDEX pages_text ON pages(pin, queued_at);
CREATE INDEX pages_merged ON pages(merged_into);
CREATE TABLE attempts(
  id BIGSERIAL PRIMARY KEY, page BIGINT NOT NULL REFERENCES pages(id),
  at DOUBLE PRECISION NOT NULL, line TEXT NOT NULL, outcome TEXT NOT NULL,
  reason TEXT NOT NULL, words TEXT NOT NULL, duration_ms BIGINT NOT NULL,
  gateway TEXT NOT NULL DEFAULT '');
CREATE INDEX attempts_page ON attempts(page);
)",
    // What each gateway last wrote about its lines, for every gateway's view.
    R"(
CREATE TABLE gateway_lines(
  gateway TEXT NOT NULL, position INTEGER NOT NULL, name TEXT NOT NULL, state TEXT NOT NULL,
  pages TEXT NOT NULL, since DOUBLE PRECISION NOT NULL, rest_until DOUBLE PRECISION NOT NULL,
  failures INTEGER NOT NULL, calls BIGINT NOT NULL, busy_s DOUBLE PRECISION NOT NULL,
  updated_at DOUBLE PRECISION NOT NULL, fresh_until DOUBLE PRECISION NOT NULL,
  PRIMARY KEY(gateway, position));
)",
};

void ApplyMissing(Connection& db) {
  db.Script(
      "CREATE TABLE IF NOT EXISTS zentrel_schema(version INTEGER PRIMARY KEY, "
      "applied_at TIMESTAMPTZ NOT NULL DEFAULT now())");
  const int have =
      static_cast<int>(db.Exec("SELECT COALESCE(MAX(version), 0) FROM zentrel_schema").Int(0, 0));
  if (have > SchemaVersion()) {
    throw QueueError("the queue's database has schema version " + std::to_string(have) +
                     ", newer than this gateway's " + std::to_string(SchemaVersion()) +
                     ": upgrade this gateway");
  }
  for (int step = have; step < SchemaVersion(); ++step) {
    Transaction t(db);
    db.Script(kSteps[static_cast<std::size_t>(step)]);
    db.Exec("INSERT INTO zentrel_schema(version) VALUES($1)", {Int(step + 1)});
    t.Commit();
  }
}

}  // namespace

int SchemaVersion() { return static_cast<int>(kSteps.size()); }

void Migrate(Connection& db) {
  db.Exec("SELECT pg_advisory_lock($1)", {Int(kMigrationLock)});
  try {
    ApplyMissing(db);
  } catch (const QueueError&) {
    if (db.Ok()) db.Exec("SELECT pg_advisory_unlock($1)", {Int(kMigrationLock)});
    throw;
  }
  db.Exec("SELECT pg_advisory_unlock($1)", {Int(kMigrationLock)});
}

}  // namespace zentrel::queue::pg
