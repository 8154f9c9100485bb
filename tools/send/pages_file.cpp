// A line loop over the text with string_view, so a large file is parsed in
// one pass without copies; errors name the file and the line.
#include "tools/send/pages_file.h"

#include "base/bounded_file.h"

namespace zentrel {

PagesFile ParsePagesText(std::string_view text) {
  PagesFile file;
  int number = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) continue;
    const auto tab = line.find('\t');
    if (tab == std::string_view::npos || tab == 0) {
      return {{}, "line " + std::to_string(number) + ": expected PIN<TAB>TEXT"};
    }
    file.pages.push_back({std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))});
  }
  return file;
}

PagesFile ReadPagesFile(const std::string& path, std::size_t max_bytes) {
  const BoundedText read = ReadBoundedFile(path, max_bytes, "the pages file");
  if (!read.error.empty()) return {{}, read.error};
  PagesFile file = ParsePagesText(read.text);
  if (!file.error.empty()) file.error = path + ": " + file.error;
  return file;
}

}  // namespace zentrel
