// A block's checksum: the sum of its bytes from STX through the block's end
// (ETX, ETB or US), each taken as a signed 8-bit value, written as three
// characters 0x30 plus a 4-bit group of the sum, most significant first.
// Division truncates and the remainder takes the sum's sign, so a negative
// sum (bytes 80-FF) gives characters below 0x30, as terminals compute it.
#pragma once

#include <string>
#include <string_view>

namespace zentrel::tap {

// The sum of `bytes`, each counted as a signed 8-bit value.
int SignedByteSum(std::string_view bytes);

// The three characters of the sum S: ((S/256)%16)+0x30, ((S/16)%16)+0x30,
// (S%16)+0x30, each masked with 0x7F.
std::string ChecksumChars(int sum);

// The three checksum characters of `framed` (STX through ETX/ETB/US).
inline std::string BlockChecksum(std::string_view framed) {
  return ChecksumChars(SignedByteSum(framed));
}

}  // namespace zentrel::tap
