// Record blocks: calloc with a size header in front, aligned like any
// allocation, so a block can tell its usable size. Sizes beyond what the
// heap can give come back as null, never as a short block.
#include "telephony/record_heap.h"

#include <cstdlib>
#include <cstring>

namespace zentrel {
namespace {
constexpr std::size_t kHeader = alignof(std::max_align_t);

char* Base(const void* block) {
  return const_cast<char*>(static_cast<const char*>(block)) - kHeader;
}
}  // namespace

void* RecordAlloc(std::size_t size) {
  if (size == 0 || size > static_cast<std::size_t>(-1) - kHeader) return nullptr;
  char* base = static_cast<char*>(std::calloc(1, kHeader + size));
  if (base == nullptr) return nullptr;
  std::memcpy(base, &size, sizeof size);
  return base + kHeader;
}

std::size_t RecordSize(const void* block) {
  if (block == nullptr) return 0;
  std::size_t size = 0;
  std::memcpy(&size, Base(block), sizeof size);
  return size;
}

void RecordFree(void* block) {
  if (block != nullptr) std::free(Base(block));
}

}  // namespace zentrel
