// The --pages file of zentrel-send --full-tap: one page a line, "PIN<TAB>
// TEXT". It is read only when it is a regular file or a pipe, and within a
// bound (a device or /dev/zero is refused at once, never waited on or read
// into memory without end), then parsed; a line without a tab is an error
// naming its number.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel {

// Ten thousand pages of a few hundred characters each fit well within it.
inline constexpr std::size_t kMaxPagesFileBytes = 8 * 1024 * 1024;

struct PagesFileLine {
  std::string pin;
  std::string text;
};

struct PagesFile {
  std::vector<PagesFileLine> pages;
  std::string error;  // not empty: the file is refused, and why
};

// Parses the text: "\n" or "\r\n" ends a line, empty lines are skipped.
PagesFile ParsePagesText(std::string_view text);

// Reads `path` within `max_bytes` and parses it.
PagesFile ReadPagesFile(const std::string& path, std::size_t max_bytes = kMaxPagesFileBytes);

}  // namespace zentrel
