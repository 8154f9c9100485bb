// The three transaction flags that carry a page transaction's progress
// between the read thread (which sets them as the terminal answers) and the
// UI thread (whose wake-up timer stops once the log-on went out, and whose
// send clears them). Each is a whole 32-bit value, 0 or 1, read and written
// atomically so that a value set on one thread is seen by the other.
#pragma once

#include <atomic>
#include <cstdint>

namespace zentrel {

extern std::atomic<std::int32_t> g_bBlockSent;     // message block handed over
extern std::atomic<std::int32_t> g_bLogonSent;     // "ID=" seen, log-on handed over
extern std::atomic<std::int32_t> g_bPageAccepted;  // terminal acknowledged the block

// Clears the three flags, in that order (the first step of a send).
void ClearTransactionFlags();

}  // namespace zentrel
