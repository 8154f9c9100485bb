// Scratch directories under the system temp folder, made with mkdtemp so
// parallel tests never share one, and the raw SQLite helper.
#include "scratch_db.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace zentrel::testing {

RawDb::RawDb(const std::string& path) {
  const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                 nullptr);
  EXPECT_EQ(rc, SQLITE_OK) << path;
}

RawDb::~RawDb() { sqlite3_close_v2(db_); }

void RawDb::Exec(const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << sql << ": " << (error ? error : "");
  sqlite3_free(error);
}

int RawDb::Rc(const std::string& sql) {
  return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
}

std::string RawDb::Text(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  std::string result;
  if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr) {
    result.assign(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                  static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
  }
  sqlite3_finalize(stmt);
  return result;
}

long long RawDb::Number(const std::string& sql) {
  const std::string text = Text(sql);
  return text.empty() ? 0 : std::stoll(text);
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zt-store-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  dir_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string ScratchDir::MakeDb(const std::string& name, const std::string& schema,
                               const std::string& extra) {
  const std::string path = Path(name);
  RawDb db(path);
  db.Exec(schema + extra);
  return path;
}

}  // namespace zentrel::testing
