// The one place where SQLite's result codes become CDaoException. A busy or
// locked database means another connection kept its lock past our wait: the
// message names the file and the wait so the user knows to try again.
#include "store/engine_error.h"

#include <sqlite3.h>

namespace zentrel::store {

bool IsBusy(int rc) {
  const int primary = rc & 0xff;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

void ThrowEngineError(const CDaoDatabase& db, int rc, const std::string& what) {
  std::string engine = db.Handle() != nullptr ? sqlite3_errmsg(db.Handle()) : sqlite3_errstr(rc);
  std::string message = what + ": " + engine;
  if (IsBusy(rc)) {
    message += " (" + db.Name() +
               " is in use by another program, which held its lock for longer than " +
               std::to_string(db.BusyTimeout().count()) + " ms; nothing was changed, try again)";
  }
  throw CDaoException(message, IsBusy(rc));
}

void ThrowStoreError(const std::string& message) { throw CDaoException(message); }

}  // namespace zentrel::store
