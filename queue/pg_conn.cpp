// The libpq calls of the PostgreSQL back-end, each checked once here. Values
// go as text in PQexecParams; doubles are written in their shortest exact
// form, so a time read back compares equal to the one stored.
#include "queue/pg_conn.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstdlib>

namespace zentrel::queue::pg {

namespace {

std::string Trimmed(const char* message) {
  std::string text = message ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.empty() ? "no reason given" : text;
}

}  // namespace

Param Text(std::string value) { return value; }
Param Int(std::int64_t value) { return std::to_string(value); }
Param Bool(bool value) { return std::string(value ? "true" : "false"); }

Param Real(double value) {
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end);
}

Result::~Result() { PQclear(result_); }
bool Result::Good() const {
  const ExecStatusType status = PQresultStatus(result_);
  return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

int Result::Rows() const { return PQntuples(result_); }
bool Result::IsNull(int row, int column) const { return PQgetisnull(result_, row, column) != 0; }

std::string Result::Text(int row, int column) const {
  return std::string(PQgetvalue(result_, row, column),
                     static_cast<std::size_t>(PQgetlength(result_, row, column)));
}

std::int64_t Result::Int(int row, int column) const {
  return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
}

double Result::Real(int row, int column) const {
  const std::string text = Text(row, column);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

bool Result::Bool(int row, int column) const { return PQgetvalue(result_, row, column)[0] == 't'; }

Connection::Connection(const std::string& conninfo) {
  conn_ = PQconnectdb(conninfo.c_str());
  if (!Ok()) {
    const std::string why = conn_ ? Trimmed(PQerrorMessage(conn_)) : "out of memory";
    PQfinish(conn_);
    conn_ = nullptr;
    throw QueueError("cannot reach the queue's database: " + why);
  }
  Script("SET client_min_messages = warning");
}

Connection::~Connection() { PQfinish(conn_); }

bool Connection::Ok() const { return conn_ && PQstatus(conn_) == CONNECTION_OK; }
std::string Connection::Error() const { return conn_ ? Trimmed(PQerrorMessage(conn_)) : ""; }
int Connection::Socket() const { return Ok() ? PQsocket(conn_) : -1; }

bool Connection::Reset() {
  PQreset(conn_);
  if (!Ok()) return false;
  Script("SET client_min_messages = warning");
  return true;
}

Result Connection::Exec(std::string_view sql, const std::vector<Param>& params) {
  if (!Ok()) throw QueueError("the queue's database is unreachable: " + Error());
  std::vector<const char*> values;
  for (const Param& p : params) values.push_back(p ? p->c_str() : nullptr);
  const std::string text(sql);
  Result result(PQexecParams(conn_, text.c_str(), static_cast<int>(values.size()), nullptr,
                             values.data(), nullptr, nullptr, 0));
  if (!result.Good() && !Ok()) throw QueueError("the queue's database is unreachable: " + Error());
  if (!result.Good()) {
    throw QueueError("the queue's database failed: " + Error());
  }
  return result;
}

void Connection::Script(const std::string& sql) {
  if (!Ok()) throw QueueError("the queue's database is unreachable: " + Error());
  Result result(PQexec(conn_, sql.c_str()));
  if (!result.Good()) {
    throw QueueError("the queue's database failed: " + Error());
  }
}

std::vector<std::string> Connection::Notifications() {
  std::vector<std::string> channels;
  if (!Ok()) return channels;
  PQconsumeInput(conn_);
  while (PGnotify* n = PQnotifies(conn_)) {
    channels.emplace_back(n->relname);
    PQfreemem(n);
  }
  return channels;
}

Transaction::Transaction(Connection& db) : db_(db) { db_.Exec("BEGIN"); }

Transaction::~Transaction() {
  if (!open_ || !db_.Ok()) return;
  try {
    db_.Exec("ROLLBACK");
  } catch (const QueueError&) {
  }
}

void Transaction::Commit() {
  open_ = false;
  db_.Exec("COMMIT");
}

}  // namespace zentrel::queue::pg
