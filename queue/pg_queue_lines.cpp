// The shared queue's table of line reports: each gateway replaces its own
// rows in one transaction (so a reader never sees half a list) and reads
// every gateway's.
#include "queue/pg_queue.h"

namespace zentrel::queue {

void PgQueue::PublishLines(const std::string& gateway, const std::vector<LineReport>& lines) {
  Ready();
  pg::Transaction t(*db_);
  db_->Exec("DELETE FROM gateway_lines WHERE gateway = $1", {pg::Text(gateway)});
  int position = 0;
  for (const LineReport& l : lines) {
    db_->Exec(
        "INSERT INTO gateway_lines(gateway, position, name, state, pages, since, rest_until, "
        "failures, calls, busy_s, updated_at, fresh_until) "
        "VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12)",
        {pg::Text(gateway), pg::Int(position++), pg::Text(l.name), pg::Text(l.state),
         pg::Text(JoinIds(l.pages)), pg::Real(l.since), pg::Real(l.rest_until), pg::Int(l.failures),
         pg::Int(l.calls), pg::Real(l.busy_s), pg::Real(l.updated_at), pg::Real(l.fresh_until)});
  }
  t.Commit();
}

std::vector<LineReport> PgQueue::AllLines() {
  Ready();
  const pg::Result r = db_->Exec(
      "SELECT gateway, name, state, pages, since, rest_until, failures, calls, busy_s, "
      "updated_at, fresh_until FROM gateway_lines ORDER BY gateway, position");
  std::vector<LineReport> lines;
  for (int row = 0; row < r.Rows(); ++row) {
    lines.push_back({r.Text(row, 0), r.Text(row, 1), r.Text(row, 2), SplitIds(r.Text(row, 3)),
                     r.Real(row, 4), r.Real(row, 5), static_cast<int>(r.Int(row, 6)), r.Int(row, 7),
                     r.Real(row, 8), r.Real(row, 9), r.Real(row, 10)});
  }
  return lines;
}

}  // namespace zentrel::queue
