// The walk keeps a stack of the names still to open; a trusted symbolic link
// pushes its target's names (restarting from "/" when it is absolute), so
// what is checked is the folder actually reached, never the name given.
// Errors name the path as walked so far.
#include "base/owned_folder.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <vector>

namespace zentrel {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit
// O_PATH: a folder the user may search but not list is walked all the same.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A user private group (the owner's own group, named after them, with no
// other members), as Debian gives every user: its write bit lets no one else
// in, so the folders a umask of 002 makes are still the owner's alone.
bool GroupIsOwnersAlone(const struct stat& st) {
  const group* g = ::getgrgid(st.st_gid);
  const passwd* p = ::getpwuid(st.st_uid);
  return g != nullptr && p != nullptr && p->pw_gid == st.st_gid && g->gr_name != nullptr &&
         p->pw_name != nullptr && std::strcmp(g->gr_name, p->pw_name) == 0 &&
         (g->gr_mem == nullptr || g->gr_mem[0] == nullptr);
}

bool OthersMayWrite(const struct stat& st) {
  if ((st.st_mode & S_IWOTH) != 0) return true;
  return (st.st_mode & S_IWGRP) != 0 && !GroupIsOwnersAlone(st);
}

std::string Joined(const std::string& shown, const std::string& name) {
  return shown == "/" ? "/" + name : shown + "/" + name;
}

// The names of `path`, last first, so that the next one is at the back.
void PushNames(const std::string& path, std::vector<std::string>& names) {
  std::vector<std::string> forward;
  for (const auto& part : std::filesystem::path(path).relative_path()) {
    if (!part.empty() && part != ".") forward.push_back(part.string());
  }
  names.insert(names.end(), forward.rbegin(), forward.rend());
}

class Walk {
 public:
  Walk(FolderUse use, bool create) : use_(use), create_(create), me_(::geteuid()) {}

  UniqueFd Run(const std::string& path) {
    const std::string absolute = std::filesystem::absolute(path).string();
    Restart();
    PushNames(absolute, names_);
    while (!names_.empty()) {
      const std::string name = names_.back();
      names_.pop_back();
      Step(name);
    }
    CheckFolder(dir_.get(), true);
    return std::move(dir_);
  }

 private:
  void Restart() {
    dir_ = UniqueFd(::open("/", kFolderFlags));
    if (!dir_) Fail("/", std::strerror(errno));
    shown_ = "/";
  }

  [[noreturn]] void Fail(const std::string& folder, const std::string& why) const {
    throw FolderError("the folder " + folder + " cannot be used: " + why);
  }

  void Step(const std::string& name) {
    CheckFolder(dir_.get(), false);
    const std::string next =
        name == ".." ? std::filesystem::path(shown_).parent_path().string() : Joined(shown_, name);
    struct stat st {};
    if (::fstatat(dir_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT || !create_) Fail(next, std::strerror(errno));
      if (::mkdirat(dir_.get(), name.c_str(), 0700) != 0 && errno != EEXIST) {
        Fail(next, std::string("it cannot be made: ") + std::strerror(errno));
      }
      if (::fstatat(dir_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        Fail(next, std::strerror(errno));
      }
    }
    if (S_ISLNK(st.st_mode)) return Follow(name, next, st);
    if (!S_ISDIR(st.st_mode)) Fail(next, "it is not a folder");
    UniqueFd opened(::openat(dir_.get(), name.c_str(), kFolderFlags));
    if (!opened) Fail(next, std::strerror(errno));
    dir_ = std::move(opened);
    shown_ = next;
  }

  void Follow(const std::string& name, const std::string& shown, const struct stat& st) {
    if (st.st_uid != 0 && st.st_uid != me_) {
      throw FolderError(shown + " is a symbolic link that belongs to " + DescribeUser(st.st_uid) +
                        "; it is not followed");
    }
    if (++links_ > kMaxLinks) Fail(shown, "too many symbolic links");
    std::string target(PATH_MAX, '\0');
    const ssize_t got = ::readlinkat(dir_.get(), name.c_str(), target.data(), target.size());
    if (got < 0) Fail(shown, std::strerror(errno));
    target.resize(static_cast<std::size_t>(got));
    if (target.starts_with('/')) Restart();
    PushNames(target, names_);
  }

  // Root's or the user's, and sticky if others may write; the last folder
  // of a private use must be the user's and closed to others.
  void CheckFolder(int fd, bool last) const {
    struct stat st {};
    if (::fstat(fd, &st) != 0) Fail(shown_, std::strerror(errno));
    const bool mine = st.st_uid == me_;
    if (!mine && st.st_uid != 0) {
      throw FolderError("the folder " + shown_ + " belongs to " + DescribeUser(st.st_uid) +
                        ", not to you; it is not used");
    }
    if (OthersMayWrite(st) && (st.st_mode & S_ISVTX) == 0) {
      throw FolderError("the folder " + shown_ +
                        " may be written by other users and is not sticky; it is not used");
    }
    if (!last || use_ != FolderUse::kPrivate) return;
    if (!mine) {
      throw FolderError("the folder " + shown_ + " belongs to " + DescribeUser(st.st_uid) +
                        ", not to you; it is not used");
    }
    if (OthersMayWrite(st)) {
      throw FolderError("the folder " + shown_ + " may be written by other users; it is not used");
    }
  }

  FolderUse use_;
  bool create_;
  uid_t me_;
  UniqueFd dir_;
  std::string shown_;
  std::vector<std::string> names_;
  int links_ = 0;
};

}  // namespace

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

int UniqueFd::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

UniqueFd OpenOwnedFolder(const std::string& path, FolderUse use, bool create) {
  if (path.empty()) throw FolderError("no folder was given");
  return Walk(use, create).Run(path);
}

std::string DescribeUser(unsigned uid) {
  if (const passwd* pw = ::getpwuid(uid); pw && pw->pw_name) {
    return "user " + std::string(pw->pw_name) + " (uid " + std::to_string(uid) + ")";
  }
  return "uid " + std::to_string(uid);
}

}  // namespace zentrel
