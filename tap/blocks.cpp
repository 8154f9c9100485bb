// Encoding and cutting into blocks. The data of a page is a run of units: a
// character, a SUB pair, or a field's closing CR; blocks are filled unit by
// unit, and a block's end says whether it closed on a field's CR.
#include "tap/blocks.h"

#include "tap/checksum.h"
#include "tap/control_bytes.h"

namespace zentrel::tap {
namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

struct Unit {
  std::string bytes;
  bool closes_field = false;
};

std::vector<Unit> Units(const std::vector<std::string>& fields) {
  std::vector<Unit> units;
  for (const std::string& field : fields) {
    for (std::size_t i = 0; i < field.size(); ++i) {
      const bool pair = field[i] == kSub && i + 1 < field.size();
      units.push_back({field.substr(i, pair ? 2 : 1), false});
      if (pair) ++i;
    }
    units.push_back({std::string(1, kCr), true});
  }
  return units;
}

}  // namespace

bool HasControlChars(std::string_view text) {
  for (const char c : text)
    if (IsControl(c)) return true;
  return false;
}

std::string EncodeField(std::string_view text, bool transparent) {
  std::string out;
  for (const char c : text) {
    if (!IsControl(c)) {
      out += c;
    } else if (transparent && c != 0x7F) {
      out += kSub;
      out += static_cast<char>(c + 0x40);
    } else {
      out += ' ';
    }
  }
  return out;
}

std::string FrameBlock(std::string_view data, char end) {
  std::string block(1, kStx);
  block.append(data);
  block.push_back(end);
  block.append(BlockChecksum(block));
  block.push_back(kCr);
  return block;
}

std::vector<std::string> PageBlocks(const std::vector<std::string>& encoded_fields,
                                    std::size_t max_data) {
  const std::vector<Unit> units = Units(encoded_fields);
  std::vector<std::string> blocks;
  std::string data;
  for (std::size_t i = 0; i < units.size(); ++i) {
    data += units[i].bytes;
    const bool last = i + 1 == units.size();
    const bool full = !last && data.size() + units[i + 1].bytes.size() > max_data;
    if (!last && !full) continue;
    const char end = last ? kEtx : units[i].closes_field ? kEtb : kUs;
    blocks.push_back(FrameBlock(data, end));
    data.clear();
  }
  return blocks;
}

}  // namespace zentrel::tap
