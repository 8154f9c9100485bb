// Feeds arbitrary text to zentrel-send's --pages parser. Besides the
// sanitizers it checks what must hold for any input: a refusal names its
// line, every page has a PIN without a tab and neither PIN nor text holds a
// line break, and the pages written back out as lines read back unchanged.
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/send/pages_file.h"

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const zentrel::PagesFile file = zentrel::ParsePagesText(text);
  if (!file.error.empty()) {
    Check(file.error.starts_with("line ") && file.pages.empty());
    return 0;
  }
  std::string written;
  bool writable = true;  // a text ending in CR loses it when read back
  for (const auto& page : file.pages) {
    Check(!page.pin.empty() && page.pin.find_first_of("\t\n") == std::string::npos);
    Check(page.text.find('\n') == std::string::npos);
    writable = writable && !page.text.ends_with('\r');
    written += page.pin + "\t" + page.text + "\n";
  }
  if (!writable) return 0;
  const zentrel::PagesFile back = zentrel::ParsePagesText(written);
  Check(back.error.empty() && back.pages.size() == file.pages.size());
  for (std::size_t i = 0; i < back.pages.size(); ++i) {
    Check(back.pages[i].pin == file.pages[i].pin && back.pages[i].text == file.pages[i].text);
  }
  return 0;
}
