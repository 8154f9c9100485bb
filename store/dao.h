// The table store over SQLite: a connection (CDaoDatabase) and a result set
// with one current record (CDaoRecordset), offering exactly the record
// operations the program uses: open, open with query text, move to next,
// record count, set filter and re-query, begin add, begin edit, write column,
// read column, save, delete current, close. Every failure throws
// CDaoException carrying the engine's message; nothing here shows anything.
// A connection and the recordsets on it are used by one thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

struct sqlite3;

namespace zentrel {

namespace store {
using PendingColumns = std::vector<std::pair<int, std::string>>;  // position, text
}  // namespace store

// The one error type of the store: the engine's (or the store's) message.
class CDaoException : public std::runtime_error {
 public:
  // `busy`: another program held the database's lock past the wait (worth
  // a new try later; nothing is wrong with the file or the request).
  explicit CDaoException(const std::string& message, bool busy = false)
      : std::runtime_error(message), busy_(busy) {}
  bool busy() const { return busy_; }

 private:
  bool busy_ = false;
};

// A column value as read: null (absent), an integer or a text.
using DaoValue = std::variant<std::monostate, std::int64_t, std::string>;
std::string DaoValueText(const DaoValue& v);  // integer in decimal, null as ""

// A connection to one database file, opened shared and read-write. The file
// and its tables must exist: nothing is ever created.
class CDaoDatabase {
 public:
  CDaoDatabase();
  ~CDaoDatabase();
  CDaoDatabase(const CDaoDatabase&) = delete;
  CDaoDatabase& operator=(const CDaoDatabase&) = delete;

  // How long a writer waits for another program's lock before it fails.
  static constexpr std::chrono::milliseconds kBusyTimeout{2000};

  // Opens `name` (resolved against the current directory). Throws when the
  // file is missing, is not a database of this store, or lacks its tables.
  void Open(const std::string& name);
  bool IsOpen() const;
  void Close();
  sqlite3* Handle() const;          // for the store's own use
  const std::string& Name() const;  // the name given to Open

  // The wait for a lock held by another connection (default kBusyTimeout).
  void SetBusyTimeout(std::chrono::milliseconds wait);
  std::chrono::milliseconds BusyTimeout() const;

 private:
  sqlite3* db_ = nullptr;
  std::string name_;
  std::chrono::milliseconds busy_timeout_ = kBusyTimeout;
};

// A result set over one table with a current record. Queries accepted: the
// table name in brackets ("[VPdata]") and "Select * from [stored]". Filters
// accepted: "pin = '<text>'" and "id = <decimal>"; their values are bound as
// parameters, never placed in SQL. Anything else throws. A query's rows are
// read whole when it runs, so no read lock outlives a call; each save or
// delete is one transaction, and a failed save stays pending.
class CDaoRecordset {
 public:
  explicit CDaoRecordset(CDaoDatabase* database = nullptr);
  virtual ~CDaoRecordset();
  CDaoRecordset(const CDaoRecordset&) = delete;
  CDaoRecordset& operator=(const CDaoRecordset&) = delete;

  void Open();                          // default query
  void Open(const std::string& query);  // query text given by the caller
  bool IsOpen() const;
  void Close();  // discards a pending add or edit

  bool IsEOF() const;           // true when there is no current record
  void MoveNext();              // throws with no current record
  long GetRecordCount() const;  // the whole result's count

  std::string m_strFilter;  // set it, then Requery()
  void Requery();           // discards a pending add or edit

  void AddNew();  // begin add
  void Edit();    // begin edit; throws with no current record
  void SetFieldValue(const std::string& column, const std::string& value);
  DaoValue GetFieldValue(const std::string& column) const;
  DaoValue GetFieldValue(int position) const;
  void Update();  // save; a failure leaves the add/edit pending
  void Delete();  // delete current; throws with no current record

  enum class EditMode { kNone, kAdd, kEdit };
  EditMode GetEditMode() const;

 protected:
  virtual std::string GetDefaultDBName() const;  // "" for a plain recordset
  virtual std::string GetDefaultSQL() const;     // "" for a plain recordset
  // Bound members: copy the current record into them / read them back for a save.
  virtual void LoadBoundMembers() {}
  virtual void ClearBoundMembers() {}
  virtual std::vector<std::pair<std::string, std::string>> BoundTextMembers() const { return {}; }
  // For LoadBoundMembers: a column of the current record (null reads as
  // empty text or 0), without building a DaoValue.
  void ReadCurrentText(int position, std::string& out) const;
  std::int64_t ReadCurrentInt(int position) const;

 private:
  struct Impl;
  CDaoDatabase& Connection();                    // opens the own connection if needed
  void ShowCurrent();                            // members follow the current record
  void RunQuery();                               // (re)builds the result with the filter
  store::PendingColumns PendingColumns() const;  // what a save writes
  std::unique_ptr<Impl> impl_;
  CDaoDatabase* database_;
  std::unique_ptr<CDaoDatabase> own_database_;
};

// The recipient recordset over VPdata, with the current record's five columns
// in its members. Constructed with no connection: its first Open opens its
// own connection to "vp.mdb" (or the name given to the constructor).
class CZTSet : public CDaoRecordset {
 public:
  explicit CZTSet(CDaoDatabase* database = nullptr, std::string db_name = "vp.mdb");

  long m_id = 0;
  std::string m_pin;
  std::string m_fname;
  std::string m_lname;
  std::string m_pagephone;

 protected:
  std::string GetDefaultDBName() const override;
  std::string GetDefaultSQL() const override;  // "[VPdata]"
  void LoadBoundMembers() override;
  void ClearBoundMembers() override;
  std::vector<std::pair<std::string, std::string>> BoundTextMembers() const override;

 private:
  std::string db_name_;
};

}  // namespace zentrel
