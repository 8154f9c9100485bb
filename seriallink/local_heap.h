// The allocator for buffers that cross threads: a block posted to the write
// thread is allocated here by the poster and released here by the write
// thread after writing. Blocks are zero-filled.
#pragma once

#include <cstddef>

namespace zentrel {

char* LocalAlloc(std::size_t size);  // zero-filled; null only if out of memory
void LocalFree(char* block);         // null is allowed

}  // namespace zentrel
