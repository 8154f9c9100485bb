// Blocks for the line service's variable-size records: zero-filled, and
// each knows its own usable size (what the program asks with LocalSize
// before it reuses a block). Released with RecordFree.
#pragma once

#include <cstddef>

namespace zentrel {

void* RecordAlloc(std::size_t size);        // null on failure
std::size_t RecordSize(const void* block);  // 0 for null
void RecordFree(void* block);               // null is allowed

}  // namespace zentrel
