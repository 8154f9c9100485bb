// Builds the message block; see message_block.h. The box texts are cut
// exactly as a read into a fixed-size field would cut them: at the first NUL,
// then at 7 (PIN) or 199 (message) bytes; the message moves its cut back to
// the start of a UTF-8 character split by it. The protocol core frames and
// checksums the fields, as it does every block of the full session.
#include "paging/message_block.h"

#include "tap/blocks.h"
#include "tap/control_bytes.h"

namespace zentrel {
namespace {

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

std::string ComposeMessageBlock(std::string_view pin_box, std::string_view message_box) {
  std::string fields(BoxField(pin_box, kMaxPinChars));
  fields.push_back(tap::kCr);
  fields.append(MessageField(message_box));
  fields.push_back(tap::kCr);
  return tap::FrameBlock(fields, tap::kEtx);
}

}  // namespace zentrel
