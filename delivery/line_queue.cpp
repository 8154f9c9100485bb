// The ticket counter lives in the folder's "queue" file, read and bumped
// under its flock; tickets are made and swept only under that same lock, so
// a ticket is never seen between its creation and its holder's flock.
#include "delivery/line_queue.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace zentrel {
namespace {

namespace fs = std::filesystem;
constexpr std::string_view kTicketPrefix = "ticket-";

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw LineQueueError(what + " " + path + ": " + std::strerror(errno));
}

// A folder name for the line: letters, digits, '.', '-' kept, the rest '_'.
std::string FolderName(std::string_view line) {
  std::string name = "line-";
  for (const char c : line.substr(0, 120)) {
    const bool keep = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
    name += keep ? c : '_';
  }
  return name;
}

class QueueLock {
 public:
  explicit QueueLock(int fd) : fd_(fd) { ::flock(fd_, LOCK_EX); }
  ~QueueLock() { ::flock(fd_, LOCK_UN); }

 private:
  int fd_;
};

std::uint64_t NextNumber(int queue_fd) {
  char text[32] = {};
  const ssize_t got = ::pread(queue_fd, text, sizeof text - 1, 0);
  const std::uint64_t number = got > 0 ? std::strtoull(text, nullptr, 10) + 1 : 1;
  const int length = std::snprintf(text, sizeof text, "%020" PRIu64 "\n", number);
  if (::pwrite(queue_fd, text, static_cast<std::size_t>(length), 0) != length) {
    throw LineQueueError(std::string("cannot count tickets: ") + std::strerror(errno));
  }
  return number;
}

// True when a holder still has the ticket; false when its holder is gone.
bool IsHeld(const fs::path& ticket) {
  const int fd = ::open(ticket.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

}  // namespace

std::string DefaultLockFolder() {
  if (const char* dir = std::getenv("ZENTREL_LOCK_DIR"); dir && *dir) return dir;
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) {
    return std::string(run) + "/zentrel";
  }
  return "/tmp/zentrel-" + std::to_string(::getuid());
}

LineTicket::LineTicket(const std::string& lock_folder, std::string_view line)
    : folder_((fs::path(lock_folder) / FolderName(line)).string()) {
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (ec) throw LineQueueError("cannot make the lock folder " + folder_ + ": " + ec.message());
  const std::string queue = folder_ + "/queue";
  queue_fd_ = ::open(queue.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (queue_fd_ < 0) Fail("cannot open", queue);
  QueueLock lock(queue_fd_);
  number_ = NextNumber(queue_fd_);
  char name[48];
  std::snprintf(name, sizeof name, "%s%020" PRIu64, kTicketPrefix.data(), number_);
  path_ = folder_ + "/" + name;
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(queue_fd_);
    if (fd_ >= 0) ::close(fd_);
    Fail("cannot take the ticket", path_);
  }
}

LineTicket::~LineTicket() {
  ::unlink(path_.c_str());
  ::close(fd_);
  ::close(queue_fd_);
}

int LineTicket::HeldAhead() const {
  QueueLock lock(queue_fd_);
  int held = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder_, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(kTicketPrefix)) continue;
    const std::uint64_t number = std::strtoull(name.c_str() + kTicketPrefix.size(), nullptr, 10);
    if (number >= number_) continue;
    if (IsHeld(entry.path())) {
      ++held;
    } else {
      fs::remove(entry.path(), ec);  // its sender died without giving it back
    }
  }
  return held;
}

bool LineTicket::AwaitTurn(Clock::time_point deadline, const std::function<void()>& on_wait,
                           std::chrono::milliseconds interval) {
  bool said = false;
  while (HeldAhead() > 0) {
    const auto now = Clock::now();
    if (now >= deadline) return false;
    if (!said && on_wait) on_wait();
    said = true;
    std::this_thread::sleep_for(std::min<Clock::duration>(interval, deadline - now));
  }
  return true;
}

}  // namespace zentrel
