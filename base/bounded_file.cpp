// O_NONBLOCK lets a FIFO open without a writer; fstat() then tells what was
// opened before a byte is read. A pipe is read through poll() with the
// silence as its time-out (one with no writer reads as empty). The read asks
// for one byte more than the bound, so "too large" is known without reading
// the rest.
#include "base/bounded_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/owned_folder.h"

namespace zentrel {
namespace {

std::string SizeText(std::size_t bytes) {
  if (bytes >= 1024 * 1024) return std::to_string(bytes / (1024 * 1024)) + " MiB";
  if (bytes >= 1024) return std::to_string(bytes / 1024) + " KiB";
  return std::to_string(bytes) + " bytes";
}

// Reads up to `limit` bytes, growing with what comes (a large bound costs
// nothing for a small file); false (errno set) on a read error, ETIME when
// a pipe stayed silent longer than `silence`.
bool ReadUpTo(int fd, std::size_t limit, std::string& text, std::chrono::milliseconds silence) {
  char chunk[64 * 1024];
  while (text.size() < limit) {
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, limit - text.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd wait{fd, POLLIN, 0};
      const int ready = ::poll(&wait, 1, static_cast<int>(silence.count()));
      if (ready == 0) errno = ETIME;
      if (ready <= 0 && errno != EINTR) return false;
      continue;
    }
    if (n < 0) return false;
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::string FileKindName(unsigned mode) {
  switch (mode & S_IFMT) {
    case S_IFREG: return "a regular file";
    case S_IFDIR: return "a folder";
    case S_IFCHR: return "a character device";
    case S_IFBLK: return "a block device";
    case S_IFIFO: return "a FIFO";
    case S_IFSOCK: return "a socket";
    case S_IFLNK: return "a symbolic link";
  }
  return "not a regular file";
}

BoundedText ReadBoundedFile(const std::string& path, std::size_t max_bytes, const std::string& what,
                            std::chrono::milliseconds silence) {
  const std::string named = what + " " + path;
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd) return {{}, named + " cannot be read: " + std::strerror(errno)};
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return {{}, named + " cannot be read: " + std::strerror(errno)};
  if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
    return {{},
            named + " is " + FileKindName(st.st_mode) +
                ", not a regular file or a pipe; it is not read"};
  }
  BoundedText file;
  if (!ReadUpTo(fd.get(), max_bytes + 1, file.text, silence)) {
    if (errno == ETIME) {
      return {
          {},
          named + " sent nothing for " + std::to_string(silence.count()) + " ms; it is not read"};
    }
    return {{}, named + " cannot be read: " + std::strerror(errno)};
  }
  if (file.text.size() > max_bytes) {
    return {{}, named + " is larger than " + SizeText(max_bytes) + "; it is not read"};
  }
  return file;
}

}  // namespace zentrel
