// Reading a file the user names where a small regular file is expected (a
// list of pages, a CSV of recipients). It is opened without blocking and
// read only when it is a regular file, and never more than its bound: a
// FIFO that no one writes, a device that never ends (/dev/zero) or a folder
// is refused at once with a sentence naming it, never waited on or let grow.
#pragma once

#include <cstddef>
#include <string>

namespace zentrel {

struct BoundedText {
  std::string text;
  std::string error;  // not empty: the file was refused, and why
};

// Reads `path` whole if it is a regular file of at most `max_bytes`.
// `what` names the file in a refusal: "the pages file".
BoundedText ReadBoundedFile(const std::string& path, std::size_t max_bytes,
                            const std::string& what);

// "a FIFO", "a character device", "a folder", ... for a file's mode.
std::string FileKindName(unsigned mode);

}  // namespace zentrel
