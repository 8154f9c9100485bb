// Fills both tables of a real database file with rows of any shape another
// program might write (null, integer, real, text of any bytes, empty text,
// blob; any stored id) and reads them the ways the program does: the form's
// walk and look-up by PIN, the stored-messages listing, and a filter of any
// text. Besides the sanitizers it checks that every row is walked, that a
// text reads back byte for byte, and that a failure is the store's error.
#include <fuzzer/FuzzedDataProvider.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "store/dao.h"
#include "tests/store/vp_schema.h"

namespace {

using namespace zentrel;

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

// The file, made once per run in a folder of its own.
const std::string& DbPath() {
  static const std::string path = [] {
    char folder[] = "/dev/shm/zentrel-store-fuzz-XXXXXX";
    Check(mkdtemp(folder) != nullptr);
    const std::string file = std::string(folder) + "/vp.mdb";
    sqlite3* db = nullptr;
    Check(sqlite3_open(file.c_str(), &db) == SQLITE_OK);
    Check(sqlite3_exec(db, zentrel::testing::kVpSchema.c_str(), nullptr, nullptr, nullptr) ==
          SQLITE_OK);
    sqlite3_close(db);
    return file;
  }();
  return path;
}

// Binds one value of a fuzzed kind; returns its text when it is a text.
std::string BindAny(FuzzedDataProvider& input, sqlite3_stmt* stmt, int index, bool* is_text) {
  *is_text = false;
  switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: sqlite3_bind_null(stmt, index); return {};
    case 1: sqlite3_bind_int64(stmt, index, input.ConsumeIntegral<std::int64_t>()); return {};
    case 2: sqlite3_bind_double(stmt, index, input.ConsumeFloatingPoint<double>()); return {};
    case 3: {
      const std::string bytes = input.ConsumeRandomLengthString(64);
      sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()),
                        SQLITE_TRANSIENT);
      return {};
    }
  }
  std::string text = input.ConsumeRandomLengthString(300);
  sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  *is_text = true;
  return text;
}

struct Filled {
  int recipients = 0;
  bool first_pin_is_text = false;
  std::string first_pin;
};

// The connection that writes the rows, kept open and never syncing: the
// file is scratch.
sqlite3* Writer() {
  static sqlite3* const db = [] {
    sqlite3* opened = nullptr;
    Check(sqlite3_open(DbPath().c_str(), &opened) == SQLITE_OK);
    sqlite3_exec(opened, "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY;", nullptr, nullptr,
                 nullptr);
    return opened;
  }();
  return db;
}

Filled Fill(FuzzedDataProvider& input) {
  sqlite3* db = Writer();
  sqlite3_exec(db, "BEGIN; DELETE FROM VPdata; DELETE FROM stored;", nullptr, nullptr, nullptr);
  sqlite3_stmt* recipient = nullptr;
  sqlite3_stmt* message = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO VPdata(pin, fname, lname, pagephone) VALUES(?,?,?,?)", -1,
                     &recipient, nullptr);
  sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO stored VALUES(?,?)", -1, &message, nullptr);
  Filled filled;
  const int rows = input.ConsumeIntegralInRange(0, 8);
  for (int r = 0; r < rows; ++r) {
    bool is_text = false;
    const std::string pin = BindAny(input, recipient, 1, &is_text);
    if (r == 0) filled = {0, is_text, pin};
    for (int c = 2; c <= 4; ++c) BindAny(input, recipient, c, &is_text);
    Check(sqlite3_step(recipient) == SQLITE_DONE);
    sqlite3_reset(recipient);
    ++filled.recipients;
    sqlite3_bind_int64(message, 1, input.ConsumeIntegral<std::int64_t>());
    BindAny(input, message, 2, &is_text);
    sqlite3_step(message);
    sqlite3_reset(message);
  }
  sqlite3_finalize(recipient);
  sqlite3_finalize(message);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK);
  return filled;
}

void ReadRecipients(const Filled& filled, const std::string& filter) {
  CZTSet set(nullptr, DbPath());
  set.Open();
  Check(set.GetRecordCount() == filled.recipients);
  int walked = 0;
  for (; !set.IsEOF(); set.MoveNext()) {
    if (walked == 0 && filled.first_pin_is_text) Check(set.m_pin == filled.first_pin);
    ++walked;
  }
  Check(walked == filled.recipients);
  if (filled.first_pin_is_text) {
    set.m_strFilter = "pin = '" + filled.first_pin + "'";
    set.Requery();
    Check(set.GetRecordCount() >= 1 && set.m_pin == filled.first_pin);
  }
  try {
    set.m_strFilter = filter;
    set.Requery();
  } catch (const CDaoException&) {
  }
}

void ReadMessages() {
  CDaoDatabase db;
  db.Open(DbPath());
  CDaoRecordset messages(&db);
  messages.Open("Select * from [stored]");
  for (; !messages.IsEOF(); messages.MoveNext()) {
    DaoValueText(messages.GetFieldValue("id"));
    DaoValueText(messages.GetFieldValue(1));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string filter = input.ConsumeRandomLengthString(40);
  const Filled filled = Fill(input);
  try {
    ReadRecipients(filled, filter);
    ReadMessages();
  } catch (const CDaoException&) {
    Check(false);  // a well-formed file with any values reads without error
  }
  return 0;
}
