// zentrel-log's view of a queue that gateways share in PostgreSQL: the same
// pages and attempts as from a queue file, with the gateway holding each
// page on the line. Both queries run in one read-only transaction (one
// snapshot, nothing written), with the filter's values sent apart from the
// SQL; times are turned into the page log's ISO form by the server.
#include <map>
#include <string>

#include "queue/page_queue.h"
#include "queue/pg_conn.h"
#include "tools/log/gateway_pages.h"

namespace zentrel {
namespace {

// A time column in the page log's form: "2026-12-07T08:00:00.250Z".
std::string Iso(const std::string& column) {
  return "to_char(to_timestamp(" + column +
         ") AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";
}

// The filter on pages p; "Z" is left off as the page log's --since has none,
// and compared byte by byte, whatever the database's collation.
std::string Where() {
  return " WHERE rtrim(" + Iso("p.queued_at") + ", 'Z') COLLATE \"C\" >= $1" +
         " AND ($2 = '' OR p.pin = $2)" +
         " AND ($3 = 0 OR p.state IN ('refused', 'expired', 'cancelled'))";
}

std::string PagesSql() {
  return "SELECT p.id, " + Iso("p.queued_at") +
         ", p.pin, p.fname, p.lname, p.phone, p.text, p.by_whom, p.via, p.state, p.held, "
         "p.may_be_duplicate, p.last_reason, p.merged_into, p.holder FROM pages p" +
         Where() + " ORDER BY p.queued_at, p.id";
}

std::string AttemptsSql() {
  return "SELECT a.page, " + Iso("a.at") +
         ", a.line, a.outcome, a.reason, a.words, a.duration_ms FROM attempts a "
         "JOIN pages p ON p.id = a.page" +
         Where() + " ORDER BY a.page, a.at, a.id";
}

GatewayPageRow PageRow(const queue::pg::Result& r, int row) {
  GatewayPageRow p;
  p.id = r.Int(row, 0);
  p.queued_at = r.Text(row, 1);
  p.pin = r.Text(row, 2);
  const std::string fname = r.Text(row, 3), lname = r.Text(row, 4);
  p.names = fname + (fname.empty() || lname.empty() ? "" : " ") + lname;
  p.phone = r.Text(row, 5);
  p.text = r.Text(row, 6);
  p.by = r.Text(row, 7);
  p.via = r.Text(row, 8);
  p.state = r.Text(row, 9);
  p.held = r.Bool(row, 10);
  p.may_be_duplicate = r.Bool(row, 11);
  p.last_reason = r.Text(row, 12);
  if (!r.IsNull(row, 13)) p.merged_into = r.Int(row, 13);
  p.holder = r.Text(row, 14);
  return p;
}

// Attempts come ordered by page, pages by time: matched through an index.
void AddAttempts(const queue::pg::Result& r, std::vector<GatewayPageRow>& pages) {
  std::map<std::int64_t, GatewayPageRow*> by_id;
  for (GatewayPageRow& p : pages) by_id[p.id] = &p;
  for (int row = 0; row < r.Rows(); ++row) {
    const auto page = by_id.find(r.Int(row, 0));
    if (page == by_id.end()) continue;  // a page queued after the pages were read
    page->second->attempts.push_back({r.Text(row, 1), r.Text(row, 2), r.Text(row, 3),
                                      r.Text(row, 4), r.Text(row, 5), r.Int(row, 6)});
  }
}

}  // namespace

std::vector<GatewayPageRow> ReadSharedGatewayPages(const std::string& address,
                                                   const PageFilter& filter) {
  try {
    queue::pg::Connection db(address);
    db.Exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    const std::vector<queue::pg::Param> values = {queue::pg::Text(filter.since),
                                                  queue::pg::Text(filter.pin),
                                                  queue::pg::Int(filter.failed_only ? 1 : 0)};
    const queue::pg::Result pages = db.Exec(PagesSql(), values);
    std::vector<GatewayPageRow> out;
    for (int row = 0; row < pages.Rows(); ++row) out.push_back(PageRow(pages, row));
    AddAttempts(db.Exec(AttemptsSql(), values), out);
    return out;
  } catch (const queue::QueueError& e) {
    throw QueueFileError("cannot read the gateway's queue " + queue::ShownAddress(address) + ": " +
                         e.what());
  }
}

}  // namespace zentrel
