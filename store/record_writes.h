// The SQL side of a save or a delete on one row, each to run inside a
// WriteTransaction: insert a new record, update the changed columns of a
// record by rowid (and read it back), delete a record by rowid.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "store/dao.h"
#include "store/schema.h"

namespace zentrel::store {

void InsertRecord(const CDaoDatabase& db, const TableDef& table, std::int64_t id,
                  const PendingColumns& values);

// Returns the record as stored after the update, every column in order.
std::vector<DaoValue> UpdateRecord(const CDaoDatabase& db, const TableDef& table,
                                   std::int64_t rowid, const PendingColumns& values);

void DeleteRecord(const CDaoDatabase& db, const TableDef& table, std::int64_t rowid);

}  // namespace zentrel::store
