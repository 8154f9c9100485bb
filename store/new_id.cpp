// New ids. The common case reads max(id) through the key; only when the
// largest id is taken does it search for the first gap, so numbers of
// deleted records come back into use once the range is exhausted.
#include "store/new_id.h"

#include <sqlite3.h>

#include "store/engine_error.h"
#include "store/statement.h"

namespace zentrel::store {

std::int64_t NextFreeId(const CDaoDatabase& db, const TableDef& table) {
  const std::string what = "Choosing a new id in " + table.name + " failed";
  const std::string quoted = "\"" + table.name + "\"";
  Statement highest(db, "SELECT max(id) FROM " + quoted);
  highest.Step(what);
  if (sqlite3_column_type(highest.Raw(), 0) == SQLITE_NULL) return 1;
  const std::int64_t max = sqlite3_column_int64(highest.Raw(), 0);
  if (max < 1) return 1;
  if (max < table.max_id) return max + 1;
  Statement gap(db, "SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM " + quoted +
                        " WHERE id = 1) UNION ALL SELECT t.id + 1 FROM " + quoted +
                        " t WHERE t.id BETWEEN 1 AND ?1 - 1 AND NOT EXISTS (SELECT 1 FROM " +
                        quoted + " u WHERE u.id = t.id + 1) ORDER BY 1 LIMIT 1");
  gap.BindInt(1, table.max_id);
  if (gap.Step(what)) return sqlite3_column_int64(gap.Raw(), 0);
  ThrowStoreError("Table " + table.name + " of " + db.Name() + " is full: every id from 1 to " +
                  std::to_string(table.max_id) + " is in use; delete a record first");
}

}  // namespace zentrel::store
