// Storage of the stored-message dialogs' hand-over values; UI thread only.
#include "dialogs/transfer.h"

namespace zentrel {

QString g_strTransfer;
int g_bAddingMessage = 0;

}  // namespace zentrel
