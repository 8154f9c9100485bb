// zentrel-send --worker: one call for the gateway, the daemon at the other
// end of standard input and output. It reads the batch (one JSON line),
// sends its pages on exactly the line named, and writes an event line as
// the call connects, before each page's first block ("sending") and after
// each page ("page"), waiting for the daemon's "ok" after each of the last
// two before another byte goes to the line; then "end". When standard
// input ends or SIGTERM comes, no further page starts and the session logs
// off. No page log: the daemon's queue keeps the record.
#pragma once

#include <cstdio>

namespace zentrel {

// Reads the batch and the daemon's answers from descriptor `in`; returns
// the exit status: 0 once "end" is written, 2 for a malformed batch.
int RunWorker(int in, std::FILE* out, std::FILE* err);

}  // namespace zentrel
