// Chooses the id of a new record: one above the highest id in use, or, when
// that would pass the table's largest id, the lowest free id from 1 up.
#pragma once

#include <cstdint>

#include "store/dao.h"
#include "store/schema.h"

namespace zentrel::store {

// Throws CDaoException when every id from 1 to table.max_id is in use.
std::int64_t NextFreeId(const CDaoDatabase& db, const TableDef& table);

}  // namespace zentrel::store
