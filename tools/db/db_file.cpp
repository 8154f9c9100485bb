// The file is first created empty with O_EXCL, so an existing file is never
// touched even if two tools race; the tables are then made in one
// transaction, and the file is removed again if that fails. The demo rows go
// in through the store itself, as the program would add them.
#include "db_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "store/dao.h"
#include "tool_error.h"

namespace zentrel::dbtool {

namespace {

constexpr const char* kSchema =
    "BEGIN;"
    "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT, fname TEXT, lname TEXT,"
    " pagephone TEXT);"
    "CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);"
    "CREATE INDEX VPdata_pin ON VPdata(pin);"
    "COMMIT;";

void CreateEmptyFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) {
    if (errno == EEXIST) throw ToolError(path + " already exists; it is left as it is");
    throw ToolError(path + " cannot be created: " + std::strerror(errno));
  }
  ::close(fd);
}

void CreateTables(const std::string& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  char* error = nullptr;
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, &error);
  const std::string message =
      error != nullptr ? error : (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  sqlite3_free(error);
  sqlite3_close_v2(db);
  if (rc != SQLITE_OK) throw ToolError("Making the tables of " + path + " failed: " + message);
}

struct DemoRecipient {
  const char* pin;
  const char* fname;
  const char* lname;
  const char* pagephone;
};

constexpr DemoRecipient kRecipients[] = {
    {"1001", "Alice", "Moreno", "5551234"},
    {"1002", "Ben", "Okafor", "5551234"},
    {"210", "Carla", "Nguyen", "5559876"},
    {"35", "Dev", "Patel", "5550199"},
};

constexpr const char* kMessages[] = {
    "Please call the office.",
    "Meeting moved to 3 PM.",
    "Call home when you can.",
};

}  // namespace

void InitDatabase(const std::string& path) {
  CreateEmptyFile(path);
  try {
    CreateTables(path);
  } catch (...) {
    std::remove(path.c_str());
    throw;
  }
}

void MakeDemoDatabase(const std::string& path) {
  InitDatabase(path);
  CZTSet recipients(nullptr, path);
  recipients.Open();
  for (const auto& r : kRecipients) {
    recipients.AddNew();
    recipients.m_pin = r.pin;
    recipients.m_fname = r.fname;
    recipients.m_lname = r.lname;
    recipients.m_pagephone = r.pagephone;
    recipients.Update();
  }
  CDaoDatabase db;
  db.Open(path);
  CDaoRecordset messages(&db);
  messages.Open("Select * from [stored]");
  for (const char* text : kMessages) {
    messages.AddNew();
    messages.SetFieldValue("Message", text);
    messages.Update();
  }
}

}  // namespace zentrel::dbtool
