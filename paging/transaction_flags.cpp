// The process-wide transaction flags; see transaction_flags.h. They start at
// 0 and keep their values after a transaction until the next send.
#include "paging/transaction_flags.h"

namespace zentrel {

std::atomic<std::int32_t> g_bBlockSent{0};
std::atomic<std::int32_t> g_bLogonSent{0};
std::atomic<std::int32_t> g_bPageAccepted{0};

void ClearTransactionFlags() {
  g_bBlockSent = 0;
  g_bLogonSent = 0;
  g_bPageAccepted = 0;
}

}  // namespace zentrel
