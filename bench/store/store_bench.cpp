// Speed of the store on a 100,000-recipient file, each beside a raw SQLite
// loop over the same file in the same run: opening and walking every
// recipient through CZTSet, and looking one PIN up by filter and re-query
// (the file has the index on pin that zentrel-db init makes). The file is
// made once, in the temp folder, and reused by later runs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "db_file.h"
#include "store/dao.h"

namespace {

constexpr int kRecipients = 100000;

std::string PinOf(int i) { return std::to_string(100000 + (i * 7919) % kRecipients); }

void Fill(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES (?,?,?,?)", -1,
                     &insert, nullptr);
  for (int i = 0; i < kRecipients; ++i) {
    const std::string values[] = {PinOf(i), "First" + std::to_string(i), "Last" + std::to_string(i),
                                  "555" + std::to_string(1000 + i % 9000)};
    for (int c = 0; c < 4; ++c) {
      sqlite3_bind_text(insert, c + 1, values[c].c_str(), -1, SQLITE_TRANSIENT);
    }
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

const std::string& BenchFile() {
  static const std::string path = [] {
    const auto file = std::filesystem::temp_directory_path() / "zentrel-bench-100k.mdb";
    if (!std::filesystem::exists(file)) {
      zentrel::dbtool::InitDatabase(file.string());
      Fill(file.string());
    }
    return file.string();
  }();
  return path;
}

void StoreWalk(benchmark::State& state) {
  const std::string& path = BenchFile();
  for (auto _ : state) {
    zentrel::CZTSet set(nullptr, path);
    set.Open();
    std::size_t bytes = 0;
    for (long walked = 0; walked < set.GetRecordCount(); ++walked) {
      bytes += set.m_pin.size();
      set.MoveNext();
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * kRecipients);
}

// The same work by hand: open, step a prepared statement, copy the columns.
void RawWalk(benchmark::State& state) {
  const std::string& path = BenchFile();
  std::string pin, fname, lname, phone;
  for (auto _ : state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid, id, pin, fname, lname, pagephone FROM VPdata", -1,
                       &select, nullptr);
    std::size_t bytes = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_int64(select, 1));
      pin = reinterpret_cast<const char*>(sqlite3_column_text(select, 2));
      fname = reinterpret_cast<const char*>(sqlite3_column_text(select, 3));
      lname = reinterpret_cast<const char*>(sqlite3_column_text(select, 4));
      phone = reinterpret_cast<const char*>(sqlite3_column_text(select, 5));
      bytes += pin.size();
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * kRecipients);
}

std::vector<std::string> ShuffledPins() {
  std::vector<std::string> pins;
  for (int i = 0; i < 1000; ++i) pins.push_back(PinOf(i * 97));
  std::shuffle(pins.begin(), pins.end(), std::mt19937(7));
  return pins;
}

void StoreLookup(benchmark::State& state) {
  zentrel::CZTSet set(nullptr, BenchFile());
  set.Open();
  const auto pins = ShuffledPins();
  std::size_t i = 0;
  for (auto _ : state) {
    set.m_strFilter = "pin = '" + pins[i++ % pins.size()] + "'";
    set.Requery();
    if (set.GetRecordCount() != 1) state.SkipWithError("PIN not found");
    benchmark::DoNotOptimize(set.m_fname.data());
  }
}

void RawLookup(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(BenchFile().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT rowid, id, pin, fname, lname, pagephone FROM VPdata WHERE pin = ?",
                     -1, &select, nullptr);
  const auto pins = ShuffledPins();
  std::size_t i = 0;
  std::string fname;
  for (auto _ : state) {
    const std::string& pin = pins[i++ % pins.size()];
    sqlite3_bind_text(select, 1, pin.data(), static_cast<int>(pin.size()), SQLITE_STATIC);
    if (sqlite3_step(select) != SQLITE_ROW) state.SkipWithError("PIN not found");
    fname = reinterpret_cast<const char*>(sqlite3_column_text(select, 3));
    while (sqlite3_step(select) == SQLITE_ROW) {
    }
    sqlite3_reset(select);
    benchmark::DoNotOptimize(fname.data());
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
}

}  // namespace

BENCHMARK(StoreWalk)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(RawWalk)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(StoreLookup)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly();
BENCHMARK(RawLookup)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly();

BENCHMARK_MAIN();
