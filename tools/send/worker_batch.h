// zentrel-send --worker reads its batch as one JSON line from the gateway:
// the line to use, the lines file, the number, split and limit, the call's
// time-out and the pages (id, PIN, text). This turns that line into a
// BatchCall, or says what is wrong with it; the parse is pure.
#pragma once

#include <string>

#include "delivery/batch_call.h"

namespace zentrel {

// Parses one batch line; on a malformed batch returns false and says why in
// `error`. Texts get CR LF line breaks, as a message box holds them.
bool ParseWorkerBatch(const std::string& line, BatchCall* batch, std::string* error);

}  // namespace zentrel
