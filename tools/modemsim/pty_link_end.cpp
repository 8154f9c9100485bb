// The pty as a link end: always on the line; a drop puts a fresh pty behind
// the link before the old one closes, so the caller sees POLLHUP.
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "link_end.h"
#include "pty_port.h"

namespace zentrel::modemsim {
namespace {

class PtyLinkEnd : public LinkEnd {
 public:
  explicit PtyLinkEnd(std::string link)
      : link_(std::move(link)), port_(std::make_unique<PtyPort>(link_)) {}
  ~PtyLinkEnd() override { RemoveLink(link_, port_->slave_path()); }

  int PollFd() const override { return port_->master_fd(); }
  short PollEvents(bool want_write) const override {
    return static_cast<short>(POLLIN | (want_write ? POLLOUT : 0));
  }
  bool HasClient() const override { return true; }
  bool Progress(short) override { return false; }
  ssize_t Read(char* buf, std::size_t n) override {
    for (;;) {
      const ssize_t r = ::read(port_->master_fd(), buf, n);
      if (r >= 0) return r;
      if (errno == EINTR) continue;
      if (errno == EAGAIN) return -1;
      if (errno != EIO) ThrowErrno("read " + port_->slave_path());
      return 0;  // EIO: no one has the slave open any more
    }
  }
  ssize_t Write(const char* data, std::size_t n) override {
    const ssize_t w = ::write(port_->master_fd(), data, n);
    return w > 0 ? w : -1;  // EAGAIN: input full; EIO: it left, which Read sees
  }
  int PendingForClient() const override { return port_->PendingForClient(); }
  void Drop() override { port_ = std::make_unique<PtyPort>(link_); }
  std::string Where() const override { return port_->slave_path(); }
  bool AnnounceAfterDrop() const override { return true; }

 private:
  std::string link_;
  std::unique_ptr<PtyPort> port_;
};

}  // namespace

std::unique_ptr<LinkEnd> MakePtyLinkEnd(const std::string& link) {
  return std::make_unique<PtyLinkEnd>(link);
}

}  // namespace zentrel::modemsim
