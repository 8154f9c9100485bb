// Zero-filled blocks from the C++ heap; see local_heap.h.
#include "seriallink/local_heap.h"

#include <new>

namespace zentrel {

char* LocalAlloc(std::size_t size) { return new (std::nothrow) char[size == 0 ? 1 : size](); }

void LocalFree(char* block) { delete[] block; }

}  // namespace zentrel
