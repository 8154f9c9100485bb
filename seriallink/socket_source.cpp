// A connected stream socket as a byte source: no line settings and no line
// errors. The peer's close is the end of the link, as a hang-up is on a tty.
// Writes use MSG_NOSIGNAL: a peer that has gone must not end the program
// with SIGPIPE.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "seriallink/byte_source.h"

namespace zentrel {

IoStatus StatusFromErrno(int error) {
  switch (error) {
    case EAGAIN: return IoStatus::kPending;
    case EBADF:
    case EIO:
    case ENXIO:
    case ENODEV:
    case EPIPE:
    case ECONNRESET:
    case ENOTCONN: return IoStatus::kInvalidHandle;
    default: return IoStatus::kFailed;
  }
}

namespace {

class SocketSource : public IByteSource {
 public:
  explicit SocketSource(int fd) : fd_(fd) {}
  int fd() const override { return fd_; }
  bool Configure(std::string*) override { return true; }
  void Restore() override {}
  SourceResult Read(char* out, std::size_t room, std::uint32_t*) override {
    const ssize_t n = recv(fd_, out, room, 0);
    if (n == 0) return {IoStatus::kInvalidHandle};
    if (n < 0) return {StatusFromErrno(errno)};
    return {IoStatus::kDone, static_cast<std::size_t>(n)};
  }
  SourceResult Write(const char* data, std::size_t length) override {
    const ssize_t n = send(fd_, data, length, MSG_NOSIGNAL);
    if (n >= 0) return {IoStatus::kDone, static_cast<std::size_t>(n)};
    return {StatusFromErrno(errno), 0, POLLOUT};
  }
  bool HasBuffered() override { return false; }
  void FlushInput() override {}
  void FlushOutput() override {}

 private:
  const int fd_;
};

}  // namespace

std::unique_ptr<IByteSource> MakeSocketSource(int fd) { return std::make_unique<SocketSource>(fd); }

}  // namespace zentrel
