// CDaoRecordset, writing side: begin add, begin edit, write column, save and
// delete current. Each save or delete is one write transaction: it either
// happens whole or leaves the table as it was, and a failed save keeps the
// add or edit pending so the caller can mend it and save again.
#include <sqlite3.h>

#include "store/engine_error.h"
#include "store/new_id.h"
#include "store/recordset_impl.h"

namespace zentrel {

namespace {

using Pending = std::vector<std::pair<int, std::string>>;  // column position, text

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

[[noreturn]] void ThrowSaveError(const CDaoDatabase& db, const CDaoException& e,
                                 const std::optional<std::int64_t>& id, const std::string& table) {
  const std::string text = e.what();
  if (id && text.find("UNIQUE constraint failed") != std::string::npos) {
    throw CDaoException(text + " (id " + std::to_string(*id) + " of " + table +
                        " was taken by another program on " + db.Name() +
                        " after this add began; nothing was saved)");
  }
  throw;
}

}  // namespace

void CDaoRecordset::AddNew() {
  if (!IsOpen()) throw CDaoException("Begin add: the recordset is not open");
  CDaoDatabase& db = Connection();
  impl_->Discard();
  std::optional<std::int64_t> id;
  if (impl_->table->id_at_add) id = store::NextFreeId(db, *impl_->table);
  impl_->mode = EditMode::kAdd;
  impl_->new_id = id;
  impl_->written.assign(static_cast<std::size_t>(impl_->Columns()), std::nullopt);
  ClearBoundMembers();
}

void CDaoRecordset::Edit() {
  if (!IsOpen()) throw CDaoException("Begin edit: the recordset is not open");
  if (!impl_->HasCurrent() || impl_->CurrentDeleted()) {
    throw CDaoException("Begin edit: there is no current record");
  }
  impl_->Discard();
  impl_->mode = EditMode::kEdit;
  impl_->written.assign(static_cast<std::size_t>(impl_->Columns()), std::nullopt);
  LoadBoundMembers();
}

void CDaoRecordset::SetFieldValue(const std::string& column, const std::string& value) {
  if (impl_->mode == EditMode::kNone) throw CDaoException("Write column: no add or edit is pending");
  const int position = store::ColumnPosition(*impl_->table, column);
  if (position < 0) {
    throw CDaoException("Write column: table " + impl_->table->name + " has no column " + column);
  }
  if (position == 0) throw CDaoException("Write column: id is given by the store, not written");
  impl_->written[static_cast<std::size_t>(position)] = value;
}

void CDaoRecordset::Update() {
  if (impl_->mode == EditMode::kNone) throw CDaoException("Save: no add or edit is pending");
  CDaoDatabase& db = Connection();
  const store::TableDef& table = *impl_->table;
  // The text of each column to write: written > bound member; an edit writes
  // only what differs from the stored record.
  Pending values;
  const auto bound = BoundTextMembers();
  std::string stored;
  for (int c = 1; c < impl_->Columns(); ++c) {
    std::optional<std::string> text = impl_->written[static_cast<std::size_t>(c)];
    for (const auto& [name, value] : bound) {
      if (!text && name == table.columns[static_cast<std::size_t>(c)]) text = value;
    }
    if (!text) continue;
    if (impl_->mode == EditMode::kEdit) {
      ReadCurrentText(c, stored);
      if (stored == *text && !impl_->written[static_cast<std::size_t>(c)]) continue;
    }
    values.emplace_back(c, std::move(*text));
  }
  store::WriteTransaction transaction(db, "Saving to " + table.name + " of " + db.Name() + " failed");
  std::vector<DaoValue> reread;
  try {
    if (impl_->mode == EditMode::kAdd) {
      const std::int64_t id = impl_->new_id ? *impl_->new_id : store::NextFreeId(db, table);
      std::string sql = "INSERT INTO " + Quoted(table.name) + " (id";
      std::string marks = "?1";
      for (const auto& [c, text] : values) {
        sql += ", " + Quoted(table.columns[static_cast<std::size_t>(c)]);
        marks += ", ?";
      }
      store::Statement insert(db, sql + ") VALUES (" + marks + ")");
      insert.BindInt(1, id);
      for (std::size_t i = 0; i < values.size(); ++i) {
        insert.BindText(static_cast<int>(i) + 2, values[i].second);
      }
      insert.Step("Saving a new record to " + table.name + " of " + db.Name() + " failed");
    } else {
      if (!impl_->HasCurrent() || impl_->CurrentDeleted()) {
        throw CDaoException("Save: the record being edited is no longer current");
      }
      const std::int64_t rowid = impl_->rows.RowId(impl_->pos);
      if (!values.empty()) {
        std::string sql = "UPDATE " + Quoted(table.name) + " SET ";
        for (std::size_t i = 0; i < values.size(); ++i) {
          sql += (i ? ", " : "") + Quoted(table.columns[static_cast<std::size_t>(values[i].first)]) +
                 " = ?" + std::to_string(i + 1);
        }
        store::Statement update(db, sql + " WHERE rowid = ?" + std::to_string(values.size() + 1));
        for (std::size_t i = 0; i < values.size(); ++i) {
          update.BindText(static_cast<int>(i) + 1, values[i].second);
        }
        update.BindInt(static_cast<int>(values.size()) + 1, rowid);
        update.Step("Saving a changed record to " + table.name + " of " + db.Name() + " failed");
        if (sqlite3_changes(db.Handle()) == 0) {
          throw CDaoException("Save: the record was deleted from " + table.name +
                              " by another program; nothing was saved");
        }
      }
      std::string sql = "SELECT rowid";
      for (const auto& column : table.columns) sql += ", " + Quoted(column);
      store::Statement select(db, sql + " FROM " + Quoted(table.name) + " WHERE rowid = ?1");
      select.BindInt(1, rowid);
      if (!select.Step("Reading back the saved record failed")) {
        throw CDaoException("Save: the record was deleted from " + table.name +
                            " by another program; nothing was saved");
      }
      store::ResultRows one;
      one.Clear(impl_->Columns());
      one.Append(select.Raw());
      for (int c = 0; c < impl_->Columns(); ++c) reread.push_back(one.Value(0, c));
    }
    transaction.Commit();
  } catch (const CDaoException& e) {
    ThrowSaveError(db, e, impl_->new_id, table.name);
  }
  if (impl_->mode == EditMode::kEdit) impl_->rows.Replace(impl_->pos, std::move(reread));
  impl_->Discard();
  ShowCurrent();
}

void CDaoRecordset::Delete() {
  if (!IsOpen()) throw CDaoException("Delete: the recordset is not open");
  if (!impl_->HasCurrent() || impl_->CurrentDeleted()) {
    throw CDaoException("Delete: there is no current record");
  }
  CDaoDatabase& db = Connection();
  const store::TableDef& table = *impl_->table;
  const std::string what = "Deleting from " + table.name + " of " + db.Name() + " failed";
  impl_->Discard();
  store::WriteTransaction transaction(db, what);
  store::Statement remove(db, "DELETE FROM " + Quoted(table.name) + " WHERE rowid = ?1");
  remove.BindInt(1, impl_->rows.RowId(impl_->pos));
  remove.Step(what);
  if (sqlite3_changes(db.Handle()) == 0) {
    throw CDaoException("Delete: the record was already deleted from " + table.name +
                        " by another program");
  }
  transaction.Commit();
  impl_->deleted.insert(impl_->pos);
  ClearBoundMembers();
}

}  // namespace zentrel
