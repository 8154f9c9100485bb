// Reading a file the user names where a small text file is expected (a list
// of pages, a CSV of recipients). It is opened without blocking and read
// never beyond its bound: a regular file, or a pipe (/dev/stdin in a
// pipeline) as long as its writer keeps sending, with at most `silence`
// between two pieces; a device that never ends (/dev/zero), a socket or a
// folder is refused at once with a sentence naming it.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace zentrel {

struct BoundedText {
  std::string text;
  std::string error;  // not empty: the file was refused, and why
};

inline constexpr std::chrono::milliseconds kPipeSilence{10000};

// Reads `path` whole if it is a regular file or a pipe of at most
// `max_bytes`. `what` names the file in a refusal: "the pages file".
BoundedText ReadBoundedFile(const std::string& path, std::size_t max_bytes, const std::string& what,
                            std::chrono::milliseconds silence = kPipeSilence);

// "a FIFO", "a character device", "a folder", ... for a file's mode.
std::string FileKindName(unsigned mode);

}  // namespace zentrel
