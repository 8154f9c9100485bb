// Tickets are numbered, made and swept only under the flock of the line's
// turn file ("zentrel-line-<line>.turn", opened by all for reading and
// written by none), so a ticket is never seen between its creation and its
// holder's flock. Nothing in the folder is trusted: every name is opened
// with openat() from the checked folder, with O_NOFOLLOW and O_NONBLOCK, and
// only regular files count; a ticket is made with O_EXCL and never opened
// by name again, so a planted link or FIFO is never written or waited on.
#include "delivery/line_queue.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "base/bounded_file.h"

namespace zentrel {
namespace {

constexpr std::string_view kTicketWord = "ticket-";
constexpr std::size_t kNumberDigits = 19;  // every such number fits in 64 bits
constexpr std::uint64_t kLastNumber = 9'999'999'999'999'999'999ULL;
constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr std::chrono::milliseconds kTurnFileLook{2};

// A name for the line: letters, digits, '.', '-' kept, the rest '_'.
std::string LineWord(std::string_view line) {
  std::string name = "zentrel-line-";
  for (const char c : line.substr(0, 120)) {
    const bool keep = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
    name += keep ? c : '_';
  }
  return name + ".";
}

// The number of a ticket's file name, or 0 when it is not one of ours.
std::uint64_t TicketNumber(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return 0;
  name.remove_prefix(prefix.size());
  if (!name.starts_with(kTicketWord)) return 0;
  name.remove_prefix(kTicketWord.size());
  if (name.size() != kNumberDigits) return 0;
  std::uint64_t number = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return number;
}

struct Ticket {
  std::string name;
  std::uint64_t number;
};

// The folder's tickets of this line, in no particular order.
std::vector<Ticket> ListTickets(int folder, std::string_view prefix) {
  std::vector<Ticket> tickets;
  const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);  // its own offset
  DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
  if (dir == nullptr) {
    if (fd >= 0) ::close(fd);
    throw LineQueueError(std::string("cannot list the lock folder: ") + std::strerror(errno));
  }
  while (const dirent* entry = ::readdir(dir)) {
    if (const std::uint64_t n = TicketNumber(entry->d_name, prefix); n > 0) {
      tickets.push_back({entry->d_name, n});
    }
  }
  ::closedir(dir);
  return tickets;
}

// True when a holder still has the ticket. Anything that is not a regular
// file (a link, a FIFO, ...) or can't be opened is held by no one.
bool IsHeld(int folder, const std::string& name) {
  const UniqueFd fd(::openat(folder, name.c_str(), O_RDONLY | kOpenFlags));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

bool SameFile(int fd, int folder, const std::string& name) {
  struct stat held {
  }, named{};
  return ::fstat(fd, &held) == 0 &&
         ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Releases the turn file's flock when the scope ends.
class TurnHeld {
 public:
  explicit TurnHeld(int fd) : fd_(fd) {}
  ~TurnHeld() { ::flock(fd_, LOCK_UN); }

 private:
  int fd_;
};

}  // namespace

std::string DefaultLockFolder() {
  if (const char* dir = std::getenv("ZENTREL_LOCK_DIR"); dir && *dir) return dir;
  return "/run/lock";
}

LineTicket::LineTicket(const std::string& lock_folder, std::string_view line)
    : shown_(lock_folder), prefix_(LineWord(line)) {
  try {
    folder_ = OpenOwnedFolder(lock_folder, FolderUse::kShared, true);
  } catch (const FolderError& e) {
    throw LineQueueError(e.what());
  }
  OpenTurnFile();
  if (!LockTurnFile(Clock::now() + kTurnFileWait)) {
    throw LineQueueError("the line's turn file " + shown_ + "/" + prefix_ +
                         "turn stayed locked by another program");
  }
  const TurnHeld held(turn_.get());
  TakeNumber();
}

// The turn file is shared: whoever comes first makes it, readable by all.
// An existing one is opened without O_CREAT, which a sticky folder refuses
// for another user's file.
void LineTicket::OpenTurnFile() {
  const std::string name = prefix_ + "turn";
  const std::string shown = shown_ + "/" + name;
  turn_ = UniqueFd();
  for (int tries = 0; tries < 100 && !turn_; ++tries) {
    turn_ = UniqueFd(::openat(folder_.get(), name.c_str(), O_RDONLY | kOpenFlags));
    if (turn_ || errno != ENOENT) break;
    turn_ = UniqueFd(
        ::openat(folder_.get(), name.c_str(), O_RDONLY | O_CREAT | O_EXCL | kOpenFlags, 0644));
    if (turn_) ::fchmod(turn_.get(), 0644);
  }
  if (!turn_ && errno == ELOOP) {
    throw LineQueueError("the line's turn file " + shown +
                         " is a symbolic link; it is not followed");
  }
  if (!turn_) {
    throw LineQueueError("cannot open the line's turn file " + shown + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(turn_.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    throw LineQueueError("the line's turn file " + shown + " is " + FileKindName(st.st_mode) +
                         ", not a regular file");
  }
}

// The flock holds only while the name still leads to the file locked: a
// turn file that was replaced is opened again.
bool LineTicket::LockTurnFile(Clock::time_point deadline) {
  const std::string name = prefix_ + "turn";
  for (;;) {
    if (::flock(turn_.get(), LOCK_EX | LOCK_NB) == 0) {
      if (SameFile(turn_.get(), folder_.get(), name)) return true;
      ::flock(turn_.get(), LOCK_UN);
      OpenTurnFile();
      continue;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      throw LineQueueError("cannot lock the line's turn file " + shown_ + "/" + name + ": " +
                           std::strerror(errno));
    }
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kTurnFileLook);
  }
}

// One more than the highest ticket left after the sweep; a number someone
// else's file already has is passed over.
void LineTicket::TakeNumber() {
  std::uint64_t highest = 0;
  for (const Ticket& t : ListTickets(folder_.get(), prefix_)) {
    if (!IsHeld(folder_.get(), t.name) && ::unlinkat(folder_.get(), t.name.c_str(), 0) == 0) {
      continue;
    }
    highest = std::max(highest, t.number);
  }
  for (number_ = highest + 1; number_ <= kLastNumber && number_ < highest + 100; ++number_) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%019" PRIu64, number_);
    ticket_name_ = prefix_ + std::string(kTicketWord) + digits;
    ticket_ = UniqueFd(::openat(folder_.get(), ticket_name_.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | kOpenFlags, 0644));
    if (ticket_) break;
    if (errno != EEXIST) break;
  }
  if (!ticket_) {
    throw LineQueueError("cannot take a ticket in " + shown_ + ": " +
                         (number_ > kLastNumber ? std::string("its numbers are used up")
                                                : std::string(std::strerror(errno))));
  }
  ::fchmod(ticket_.get(), 0644);  // others look whether it is held
  if (::flock(ticket_.get(), LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::unlinkat(folder_.get(), ticket_name_.c_str(), 0);
    throw LineQueueError("cannot hold the ticket " + shown_ + "/" + ticket_name_ + ": " +
                         std::strerror(error));
  }
}

LineTicket::~LineTicket() {
  if (SameFile(ticket_.get(), folder_.get(), ticket_name_)) {
    ::unlinkat(folder_.get(), ticket_name_.c_str(), 0);
  }
}

int LineTicket::HeldAhead() {
  int held = 0;
  for (const Ticket& t : ListTickets(folder_.get(), prefix_)) {
    if (t.number >= number_) continue;
    if (IsHeld(folder_.get(), t.name)) {
      ++held;
    } else {
      ::unlinkat(folder_.get(), t.name.c_str(), 0);  // its sender died without giving it back
    }
  }
  return held;
}

bool LineTicket::AwaitTurn(Clock::time_point deadline, const std::function<void()>& on_wait,
                           std::chrono::milliseconds interval) {
  bool said = false;
  for (;;) {
    if (LockTurnFile(deadline)) {
      const TurnHeld held(turn_.get());
      if (HeldAhead() == 0) return true;
    }
    const auto now = Clock::now();
    if (now >= deadline) return false;
    if (!said && on_wait) on_wait();
    said = true;
    std::this_thread::sleep_for(std::min<Clock::duration>(interval, deadline - now));
  }
}

}  // namespace zentrel
