// Reading the device list's file. It is opened without blocking and must be
// a regular file of at most kLinesFileLimit bytes: a FIFO or a device
// (/dev/zero) is refused at once instead of hanging or filling memory.
// Whatever makes it give no line (no file, a folder, unreadable, too big,
// only comments, a bad line) is said in `why_none` with the file's name, so
// the user learns which file to mend.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "telephony/lines_config.h"

namespace zentrel {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string CannotRead(const std::string& path, int error) {
  return error == ENOENT ? "the device list " + path + " does not exist"
                         : "cannot read the device list " + path + ": " + std::strerror(error);
}

}  // namespace

bool ReadLinesFile(const std::string& path, std::string* text, std::string* why) {
  text->clear();
  if (path.empty()) return *why = "no device list: neither ZENTREL_LINES nor HOME is set", false;
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.get() < 0) {
    if (errno == EISDIR)
      return *why = "the device list " + path + " is a folder, not a file", false;
    return *why = CannotRead(path, errno), false;
  }
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) return *why = CannotRead(path, errno), false;
  if (S_ISDIR(st.st_mode))
    return *why = "the device list " + path + " is a folder, not a file", false;
  if (!S_ISREG(st.st_mode))
    return *why = "the device list " + path + " is not a regular file", false;
  const std::string too_big = "the device list " + path + " is larger than " +
                              std::to_string(kLinesFileLimit / 1024) + " KiB";
  if (static_cast<std::size_t>(st.st_size) > kLinesFileLimit) return *why = too_big, false;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return *why = CannotRead(path, errno), false;
    if (got == 0) return true;
    text->append(buffer, static_cast<std::size_t>(got));
    if (text->size() > kLinesFileLimit) return *why = too_big, false;  // it grew while read
  }
}

LinesConfig LoadLinesConfig(const std::string& path) {
  LinesConfig config;
  std::string text;
  if (!ReadLinesFile(path, &text, &config.why_none)) return config;
  config = ParseLinesConfig(text);
  if (!config.error.empty())
    config.why_none = "the device list " + path + " " + config.error;
  else if (config.lines.empty())
    config.why_none = "the device list " + path + " has no lines";
  return config;
}

}  // namespace zentrel
