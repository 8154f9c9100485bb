// The checksum arithmetic; see checksum.h.
#include "tap/checksum.h"

namespace zentrel::tap {
namespace {

char ChecksumChar(int part) { return static_cast<char>((part % 16 + 0x30) & 0x7F); }

}  // namespace

int SignedByteSum(std::string_view bytes) {
  int sum = 0;
  for (const char c : bytes) sum += static_cast<signed char>(c);
  return sum;
}

std::string ChecksumChars(int sum) {
  return {ChecksumChar(sum / 256), ChecksumChar(sum / 16), ChecksumChar(sum)};
}

}  // namespace zentrel::tap
