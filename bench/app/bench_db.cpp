// Makes the benchmark databases with one SQL script through SQLite's C API:
// a recursive count inserts the recipients in one statement, with random
// PINs so that the store's order is not the list's order.
#include "bench/app/bench_db.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace zentrel::bench {

std::string BenchFolder(int count) {
  namespace fs = std::filesystem;
  const char* env = std::getenv("ZENTREL_BENCH_DIR");
  const fs::path root = env ? fs::path(env) : fs::temp_directory_path() / "zentrel-bench";
  const fs::path folder = root / ("vp-" + std::to_string(count));
  const fs::path file = folder / "vp.mdb";
  if (fs::exists(file)) return folder.string();
  fs::create_directories(folder);
  const std::string sql =
      "CREATE TABLE VPdata(id INTEGER PRIMARY KEY, pin TEXT, fname TEXT, lname TEXT,"
      " pagephone TEXT);"
      "CREATE TABLE stored(id INTEGER PRIMARY KEY, Message TEXT);"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
      std::to_string(count) +
      ") INSERT INTO VPdata(pin, fname, lname, pagephone)"
      " SELECT abs(random()) % 10000000, 'First' || i, 'Last' || i, '555' || i FROM n;";
  sqlite3* db = nullptr;
  int rc = sqlite3_open(file.c_str(), &db);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("making " + file.string() + " failed");
  return folder.string();
}

}  // namespace zentrel::bench
