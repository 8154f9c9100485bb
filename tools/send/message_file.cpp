// The file is read by the bounded reader (non-blocking open, its kind
// looked at before a byte is read); what it gives is then checked here. A
// FIFO opened while nobody writes to it reads as empty at once, which is
// refused as such rather than sent as an empty page.
#include "tools/send/message_file.h"

#include <sys/stat.h>

namespace zentrel {
namespace {

bool IsFifo(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

}  // namespace

MessageFile ReadMessageFile(const std::string& path, std::size_t max_bytes,
                            std::chrono::milliseconds silence) {
  const std::string named = "the message file " + path;
  BoundedText read = ReadBoundedFile(path, max_bytes, "the message file", silence);
  if (!read.error.empty()) return {{}, std::move(read.error)};
  if (read.text.empty() && IsFifo(path))
    return {{}, named + " gave nothing: a FIFO or pipe that nobody writes to; it is not read"};
  if (const auto nul = read.text.find('\0'); nul != std::string::npos) {
    return {{},
            named + " holds a NUL byte (at byte " + std::to_string(nul + 1) +
                "); it is not a text file"};
  }
  return {std::move(read.text), {}};
}

}  // namespace zentrel
