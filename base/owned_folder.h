// Opening a folder so that no other user can steer what is written in it.
// The path is walked one name at a time from "/" with O_NOFOLLOW: every
// folder on the way must belong to root or to the user and, when others may
// write in it, carry the sticky bit (as /tmp and /run/lock do), so nobody
// else can rename or replace what lies below; a symbolic link on the way is
// followed only when root or the user owns it. Files are then opened with
// openat() from the descriptor returned, never again by their path.
#pragma once

#include <stdexcept>
#include <string>

namespace zentrel {

// A folder that is refused, naming it and why, in the user's words.
class FolderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file descriptor, closed when it goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  int release();
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

enum class FolderUse {
  kPrivate,  // the user's alone: theirs, and no one else may write in it
  kShared,   // where users meet: root's or the user's, sticky if others may write
};

// Opens the folder `path` (O_PATH) for openat(); with `create`, missing folders are
// made (mode 0700) on the way. Throws FolderError naming the folder refused.
UniqueFd OpenOwnedFolder(const std::string& path, FolderUse use, bool create);

// "user alice (uid 1000)", or "uid 1000" when the system has no name for it.
std::string DescribeUser(unsigned uid);

}  // namespace zentrel
