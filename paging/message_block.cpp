// Builds the message block and its checksum; see message_block.h. The box
// texts are cut exactly as a read into a fixed-size field would cut them:
// at the first NUL, then at 7 (PIN) or 199 (message) bytes; the message
// moves its cut back to the start of a UTF-8 character split by it.
#include "paging/message_block.h"

#include "tap/control_bytes.h"

namespace zentrel {
namespace {

using tap::kCr;
using tap::kEtx;
using tap::kStx;

std::string_view BoxField(std::string_view box_text, std::size_t limit) {
  const std::string_view text = box_text.substr(0, box_text.find('\0'));
  return text.substr(0, limit);
}

bool ContinuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
bool StartsLongCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0xC0; }

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
