// Reading --message-file: a file that cannot be read is an error, never an
// empty page; so are a NUL byte (the page would stop there) and a file
// larger than any sane message. Only a regular file or a pipe (/dev/stdin in
// a pipeline) is read, opened without blocking and within a bound: a FIFO
// nobody writes to, a device (/dev/zero, /dev/null) or a folder is refused
// at once, never waited on or read without end.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "base/bounded_file.h"

namespace zentrel {

inline constexpr std::size_t kMaxMessageFileBytes = 64 * 1024;

struct MessageFile {
  std::string text;
  std::string error;  // not empty: the file is refused, and why
};

// `silence`: how long a pipe's writer may pause.
MessageFile ReadMessageFile(const std::string& path, std::size_t max_bytes = kMaxMessageFileBytes,
                            std::chrono::milliseconds silence = kPipeSilence);

}  // namespace zentrel
