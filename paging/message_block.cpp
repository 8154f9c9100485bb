// Builds the message block and its checksum; see message_block.h. The box
// texts are cut exactly as a read into a fixed-size field would cut them:
// at the first NUL, then at 7 (PIN) or 199 (message) bytes; the message
// moves its cut back to the start of a UTF-8 character split by it.
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

bool ContinuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
bool StartsLongCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0xC0; }

char ChecksumChar(int part) {
  return static_cast<char>((part % 16 + 0x30) & 0x7F);
}

}  // namespace

std::string_view MessageField(std::string_view message_box) {
  const std::string_view text = BoxField(message_box, message_box.size());
  if (text.size() <= kMaxMessageChars) return text;
  // A UTF-8 character is at most 4 bytes: its lead byte is at most 3 back.
  std::size_t cut = kMaxMessageChars;
  while (cut > kMaxMessageChars - 3 && ContinuesCharacter(text[cut])) --cut;
  if (cut == kMaxMessageChars || !StartsLongCharacter(text[cut])) cut = kMaxMessageChars;
  return text.substr(0, cut);
}

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
  block.append(MessageField(message_box));
  block.push_back(kCr);
  block.push_back(kEtx);
  block.append(ChecksumChars(SignedByteSum(block)));
  block.push_back(kCr);
  return block;
}

}  // namespace zentrel
