// Builds the message block and its checksum; see message_block.h. The box
// texts are cut exactly as a read into a fixed-size field would cut them:
// at the first NUL, then at 7 (PIN) or 199 (message) characters.
#include "paging/message_block.h"

namespace zentrel {
namespace {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kCr = 0x0D;

std::string_view BoxField(std::string_view box_text, std::size_t limit) {
  const std::string_view text = box_text.substr(0, box_text.find('\0'));
  return text.substr(0, limit);
}

char ChecksumChar(int part) {
  return static_cast<char>((part % 16 + 0x30) & 0x7F);
}

}  // namespace

int SignedByteSum(std::string_view bytes) {
  int sum = 0;
  for (const char c : bytes) sum += static_cast<signed char>(c);
  return sum;
}

std::string ChecksumChars(int sum) {
  return {ChecksumChar(sum / 256), ChecksumChar(sum / 16), ChecksumChar(sum)};
}

std::string ComposeMessageBlock(std::string_view pin_box,
                                std::string_view message_box) {
  std::string block;
  block.push_back(kStx);
  block.append(BoxField(pin_box, kMaxPinChars));
  block.push_back(kCr);
  block.append(BoxField(message_box, kMaxMessageChars));
  block.push_back(kCr);
  block.push_back(kEtx);
  block.append(ChecksumChars(SignedByteSum(block)));
  block.push_back(kCr);
  return block;
}

}  // namespace zentrel
