// The SQLite queue's table of line reports: the file has one gateway, but it
// writes and reads its lines the same way a shared queue's gateways do.
#include "queue/sqlite_queue.h"

namespace zentrel::queue {

void SqliteQueue::PublishLines(const std::string& gateway, const std::vector<LineReport>& lines) {
  sql::Transaction t(db_);
  db_.Prepare("DELETE FROM gateway_lines WHERE gateway = ?1").Bind(gateway).Run();
  std::int64_t position = 0;
  for (const LineReport& l : lines) {
    db_.Prepare(
           "INSERT INTO gateway_lines(gateway, position, name, state, pages, since, rest_until, "
           "failures, calls, busy_s, updated_at, fresh_until) "
           "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)")
        .Bind(gateway, position++, l.name, l.state, JoinIds(l.pages), l.since, l.rest_until,
              static_cast<std::int64_t>(l.failures), l.calls, l.busy_s, l.updated_at, l.fresh_until)
        .Run();
  }
  t.Commit();
}

std::vector<LineReport> SqliteQueue::AllLines() {
  auto read = db_.Prepare(
      "SELECT gateway, name, state, pages, since, rest_until, failures, calls, busy_s, "
      "updated_at, fresh_until FROM gateway_lines ORDER BY gateway, position");
  std::vector<LineReport> lines;
  while (read.Step()) {
    lines.push_back({read.Text(0), read.Text(1), read.Text(2), SplitIds(read.Text(3)), read.Real(4),
                     read.Real(5), static_cast<int>(read.Int(6)), read.Int(7), read.Real(8),
                     read.Real(9), read.Real(10)});
  }
  return lines;
}

}  // namespace zentrel::queue
