// Reads at most max_bytes + 1 bytes with read(2), so that "too large" is
// known without reading the rest; errno's text names why a file cannot be
// read (missing, permission, a directory).
#include "tools/send/message_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zentrel {
namespace {

std::string Cannot(const std::string& path, int error) {
  return "the message file " + path + " cannot be read: " + std::strerror(error);
}

}  // namespace

MessageFile ReadMessageFile(const std::string& path, std::size_t max_bytes) {
  MessageFile file;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {{}, Cannot(path, errno)};
  file.text.resize(max_bytes + 1);
  std::size_t got = 0;
  while (got < file.text.size()) {
    const ssize_t n = ::read(fd, file.text.data() + got, file.text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      return {{}, Cannot(path, error)};
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  file.text.resize(got);
  if (got > max_bytes) {
    return {{}, "the message file " + path + " is larger than " + std::to_string(max_bytes / 1024) +
                    " KiB; a page carries at most a few hundred characters"};
  }
  if (const auto nul = file.text.find('\0'); nul != std::string::npos) {
    return {{}, "the message file " + path + " holds a NUL byte (at byte " +
                    std::to_string(nul + 1) + "); it is not a text file"};
  }
  return file;
}

}  // namespace zentrel
