// The test folder and its vp.mdb (values quoted by SQLite's own %Q), the
// recording message box, and the event-processing wait: queued status texts,
// timer ticks and line events arrive through the event loop, so the wait runs
// it (waking at least every 10 ms) until the condition holds.
#include "tests/app/form_fixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "tests/store/vp_schema.h"

namespace zentrel::testing {

TestFolder::TestFolder() : previous_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(dir_.path().toStdString());
  std::filesystem::create_directory("locks");
  SetEnv("ZENTREL_PAGE_LOG", dir_.path() + "/pages.db");
  SetEnv("ZENTREL_PORT_LOCK_DIR", dir_.path() + "/locks");
  SetEnv("ZENTREL_LOCK_DIR", dir_.path() + "/locks");
}

TestFolder::~TestFolder() {
  std::filesystem::current_path(previous_);
  for (auto it = saved_env_.rbegin(); it != saved_env_.rend(); ++it) {
    if (it->second.isNull())
      qunsetenv(it->first.constData());
    else
      qputenv(it->first.constData(), it->second);
  }
}

void TestFolder::SetEnv(const char* name, const QString& value) {
  const bool saved = std::any_of(saved_env_.begin(), saved_env_.end(),
                                 [&](const auto& e) { return e.first == name; });
  if (!saved) saved_env_.emplace_back(name, qgetenv(name));
  qputenv(name, value.toUtf8());
}

void TestFolder::MakeDatabase(const std::vector<Recipient>& recipients) {
  std::string sql = std::string(kVpTables) + "BEGIN;";
  for (const Recipient& r : recipients) {
    char* row =
        sqlite3_mprintf("INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES(%Q, %Q, %Q, %Q);",
                        r.pin.c_str(), r.fname.c_str(), r.lname.c_str(), r.pagephone.c_str());
    sql += row;
    sqlite3_free(row);
  }
  Exec(sql + "COMMIT;");
}

void TestFolder::Exec(const std::string& sql) {
  sqlite3* db = nullptr;
  const bool ok = sqlite3_open("vp.mdb", &db) == SQLITE_OK &&
                  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  const std::string error = sqlite3_errmsg(db);
  sqlite3_close(db);
  if (!ok) throw std::runtime_error(error + " in " + sql);
}

MessageBoxFn RecordInto(std::vector<ShownBox>& boxes) {
  return [&boxes](QWidget*, const QString& text, QMessageBox::Icon icon) {
    boxes.push_back({text, icon});
  };
}

bool WaitUntil(const std::function<bool()>& condition, int limit_ms) {
  const QDeadlineTimer deadline(limit_ms);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
  }
  return true;
}

}  // namespace zentrel::testing
