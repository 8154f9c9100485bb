// CDaoRecordset, reading side: open, re-query, move to next, record count and
// read column. A query runs once through a prepared statement that is then
// reset; the rows stay in memory (see ResultRows) and moves walk them. The
// filter text is parsed on every run and its value bound as a parameter.
#include <sqlite3.h>

#include "store/engine_error.h"
#include "store/filter.h"
#include "store/recordset_impl.h"

namespace zentrel {

namespace {

std::string SelectSql(const store::TableDef& table, store::Filter::Kind kind) {
  std::string sql = "SELECT rowid";
  for (const auto& column : table.columns) sql += ", \"" + column + "\"";
  sql += " FROM \"" + table.name + "\"";
  if (kind == store::Filter::Kind::kPin) sql += " WHERE pin = ?1";
  if (kind == store::Filter::Kind::kId) sql += " WHERE id = ?1";
  return sql;
}

}  // namespace

CDaoRecordset::CDaoRecordset(CDaoDatabase* database)
    : impl_(std::make_unique<Impl>()), database_(database) {}

CDaoRecordset::~CDaoRecordset() = default;

std::string CDaoRecordset::GetDefaultDBName() const { return {}; }
std::string CDaoRecordset::GetDefaultSQL() const { return {}; }

CDaoDatabase& CDaoRecordset::Connection() {
  if (database_ == nullptr) {
    if (GetDefaultDBName().empty()) throw CDaoException("The recordset has no database connection");
    own_database_ = std::make_unique<CDaoDatabase>();
    database_ = own_database_.get();
  }
  if (!database_->IsOpen()) {
    if (database_ != own_database_.get()) {
      throw CDaoException("The database connection is not open (opening it failed earlier)");
    }
    database_->Open(GetDefaultDBName());
  }
  return *database_;
}

void CDaoRecordset::Open() {
  const std::string query = GetDefaultSQL();
  if (query.empty()) throw CDaoException("Open: the recordset has no default query; give one");
  Open(query);
}

void CDaoRecordset::Open(const std::string& query) {
  const store::TableDef& table = store::ParseQuery(query);
  Connection();
  impl_->Discard();
  impl_->table = &table;
  try {
    RunQuery();
  } catch (...) {
    impl_->table = nullptr;
    throw;
  }
}

bool CDaoRecordset::IsOpen() const { return impl_->IsOpen(); }

void CDaoRecordset::Close() {
  impl_->Discard();
  impl_->table = nullptr;
  impl_->rows.Clear(0);
  impl_->deleted.clear();
  impl_->pos = 0;
  impl_->statements.clear();
  impl_->handle = nullptr;
  ClearBoundMembers();
  if (own_database_) own_database_->Close();
}

void CDaoRecordset::RunQuery() {
  const store::Filter filter = store::ParseFilter(m_strFilter);
  const store::TableDef& table = *impl_->table;
  if (filter.kind == store::Filter::Kind::kPin && store::ColumnPosition(table, "pin") < 0) {
    throw CDaoException("Unsupported filter \"" + m_strFilter + "\": table " + table.name +
                        " has no column pin");
  }
  CDaoDatabase& db = Connection();
  store::Statement& select = impl_->Prepare(db, SelectSql(table, filter.kind));
  if (filter.kind == store::Filter::Kind::kPin) select.BindText(1, filter.pin);
  if (filter.kind == store::Filter::Kind::kId) select.BindInt(1, filter.id);
  impl_->rows.Clear(impl_->Columns());
  impl_->deleted.clear();
  impl_->pos = 0;
  const std::string what = "Reading " + table.name + " of " + db.Name() + " failed";
  try {
    while (select.Step(what)) impl_->rows.Append(select.Raw());
  } catch (...) {
    select.Reset();
    impl_->rows.Clear(impl_->Columns());
    ClearBoundMembers();
    throw;
  }
  select.Reset();
  ShowCurrent();
}

void CDaoRecordset::Requery() {
  if (!IsOpen()) throw CDaoException("Re-query: the recordset is not open");
  store::ParseFilter(m_strFilter);  // a bad filter changes nothing
  impl_->Discard();
  RunQuery();
}

void CDaoRecordset::ShowCurrent() {
  if (impl_->HasCurrent() && !impl_->CurrentDeleted()) {
    LoadBoundMembers();
  } else {
    ClearBoundMembers();
  }
}

bool CDaoRecordset::IsEOF() const { return !impl_->HasCurrent(); }

void CDaoRecordset::MoveNext() {
  if (!IsOpen()) throw CDaoException("Move to next: the recordset is not open");
  if (!impl_->HasCurrent()) throw CDaoException("Move to next: there is no current record");
  impl_->Discard();
  ++impl_->pos;
  ShowCurrent();
}

long CDaoRecordset::GetRecordCount() const {
  if (!IsOpen()) throw CDaoException("Record count: the recordset is not open");
  return static_cast<long>(impl_->rows.Size());
}

DaoValue CDaoRecordset::GetFieldValue(const std::string& column) const {
  if (!IsOpen()) throw CDaoException("Read column: the recordset is not open");
  const int position = store::ColumnPosition(*impl_->table, column);
  if (position < 0) {
    throw CDaoException("Read column: table " + impl_->table->name + " has no column " + column);
  }
  return GetFieldValue(position);
}

DaoValue CDaoRecordset::GetFieldValue(int position) const {
  if (!IsOpen()) throw CDaoException("Read column: the recordset is not open");
  if (position < 0 || position >= impl_->Columns()) {
    throw CDaoException("Read column: no column at position " + std::to_string(position));
  }
  if (impl_->mode != EditMode::kNone) {
    if (const auto& text = impl_->written[static_cast<std::size_t>(position)]) return *text;
    const std::string& name = impl_->table->columns[static_cast<std::size_t>(position)];
    for (const auto& [bound, value] : BoundTextMembers()) {
      if (bound == name) return value;
    }
    if (impl_->mode == EditMode::kAdd) {
      if (position == 0 && impl_->new_id) return *impl_->new_id;
      return {};
    }
  }
  if (!impl_->HasCurrent()) throw CDaoException("Read column: there is no current record");
  if (impl_->CurrentDeleted()) throw CDaoException("Read column: the current record was deleted");
  return impl_->rows.Value(impl_->pos, position);
}

CDaoRecordset::EditMode CDaoRecordset::GetEditMode() const { return impl_->mode; }

void CDaoRecordset::ReadCurrentText(int position, std::string& out) const {
  if (!impl_->HasCurrent() || position < 0 || position >= impl_->Columns()) {
    out.clear();
    return;
  }
  impl_->rows.ReadText(impl_->pos, position, out);
}

std::int64_t CDaoRecordset::ReadCurrentInt(int position) const {
  if (!impl_->HasCurrent() || position < 0 || position >= impl_->Columns()) return 0;
  return impl_->rows.ReadInt(impl_->pos, position);
}

}  // namespace zentrel
