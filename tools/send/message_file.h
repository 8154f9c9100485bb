// Reading --message-file: a file that cannot be read is an error, never an
// empty page; so are a NUL byte (the page would stop there) and a file
// larger than any sane message. The read is bounded, so a device that never
// ends (/dev/zero) costs no more memory than the bound.
#pragma once

#include <cstddef>
#include <string>

namespace zentrel {

inline constexpr std::size_t kMaxMessageFileBytes = 64 * 1024;

struct MessageFile {
  std::string text;
  std::string error;  // not empty: the file is refused, and why
};

MessageFile ReadMessageFile(const std::string& path,
                            std::size_t max_bytes = kMaxMessageFileBytes);

}  // namespace zentrel
