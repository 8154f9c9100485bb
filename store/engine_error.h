// Turns an SQLite result code into the store's one error type, CDaoException.
// Errors are mapped here, once: the engine's own message is kept, and a lock
// held too long by another program gets a message that says so and how long
// this connection waited.
#pragma once

#include <string>

#include "store/dao.h"

namespace zentrel::store {

// Throws CDaoException("<what>: <engine message>[, with a hint]").
[[noreturn]] void ThrowEngineError(const CDaoDatabase& db, int rc, const std::string& what);

// Throws CDaoException(message) for the store's own failures.
[[noreturn]] void ThrowStoreError(const std::string& message);

bool IsBusy(int rc);

}  // namespace zentrel::store
