// CDaoRecordset, writing side: begin add, begin edit, write column, save and
// delete current. Each save or delete is one write transaction: it either
// happens whole or leaves the table as it was, and a failed save keeps the
// add or edit pending so the caller can mend it and save again.
#include "store/engine_error.h"
#include "store/new_id.h"
#include "store/record_writes.h"
#include "store/recordset_impl.h"

namespace zentrel {

namespace {

// A stored id given at begin add may be taken by another program before the
// save; say so rather than only "UNIQUE constraint failed".
[[noreturn]] void RethrowSaveError(const CDaoDatabase& db, const CDaoException& e,
                                   const std::optional<std::int64_t>& id,
                                   const std::string& table) {
  const std::string text = e.what();
  if (id && text.find("UNIQUE constraint failed") != std::string::npos) {
    throw CDaoException(text + " (id " + std::to_string(*id) + " of " + table +
                        " was taken by another program on " + db.Name() +
                        " after this add began; nothing was saved)");
  }
  throw e;
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
  if (impl_->mode == EditMode::kNone)
    throw CDaoException("Write column: no add or edit is pending");
  const int position = store::ColumnPosition(*impl_->table, column);
  if (position < 0) {
    throw CDaoException("Write column: table " + impl_->table->name + " has no column " + column);
  }
  if (position == 0) throw CDaoException("Write column: id is given by the store, not written");
  impl_->written[static_cast<std::size_t>(position)] = value;
}

// The text of each column to save: a written column before a bound member;
// an edit saves only the columns that differ from the stored record.
store::PendingColumns CDaoRecordset::PendingColumns() const {
  store::PendingColumns values;
  const auto bound = BoundTextMembers();
  std::string stored;
  for (int c = 1; c < impl_->Columns(); ++c) {
    const auto& written = impl_->written[static_cast<std::size_t>(c)];
    std::optional<std::string> text = written;
    for (const auto& [name, value] : bound) {
      if (!text && name == impl_->table->columns[static_cast<std::size_t>(c)]) text = value;
    }
    if (!text) continue;
    if (impl_->mode == EditMode::kEdit && !written) {
      ReadCurrentText(c, stored);
      if (stored == *text) continue;
    }
    values.emplace_back(c, std::move(*text));
  }
  return values;
}

void CDaoRecordset::Update() {
  if (impl_->mode == EditMode::kNone) throw CDaoException("Save: no add or edit is pending");
  if (impl_->mode == EditMode::kEdit && (!impl_->HasCurrent() || impl_->CurrentDeleted())) {
    throw CDaoException("Save: the record being edited is no longer current");
  }
  CDaoDatabase& db = Connection();
  const store::TableDef& table = *impl_->table;
  const store::PendingColumns values = PendingColumns();
  std::vector<DaoValue> saved;
  try {
    store::WriteTransaction transaction(db,
                                        "Saving to " + table.name + " of " + db.Name() + " failed");
    if (impl_->mode == EditMode::kAdd) {
      const std::int64_t id = impl_->new_id ? *impl_->new_id : store::NextFreeId(db, table);
      store::InsertRecord(db, table, id, values);
    } else {
      saved = store::UpdateRecord(db, table, impl_->rows.RowId(impl_->pos), values);
    }
    transaction.Commit();
  } catch (const CDaoException& e) {
    RethrowSaveError(db, e, impl_->new_id, table.name);
  }
  if (impl_->mode == EditMode::kEdit) impl_->rows.Replace(impl_->pos, std::move(saved));
  impl_->Discard();
  ShowCurrent();
}

void CDaoRecordset::Delete() {
  if (!IsOpen()) throw CDaoException("Delete: the recordset is not open");
  if (!impl_->HasCurrent() || impl_->CurrentDeleted()) {
    throw CDaoException("Delete: there is no current record");
  }
  CDaoDatabase& db = Connection();
  impl_->Discard();
  store::WriteTransaction transaction(
      db, "Deleting from " + impl_->table->name + " of " + db.Name() + " failed");
  store::DeleteRecord(db, *impl_->table, impl_->rows.RowId(impl_->pos));
  transaction.Commit();
  impl_->deleted.insert(impl_->pos);
  ClearBoundMembers();
}

}  // namespace zentrel
