// The folder is opened and checked first; the file is then looked at with
// fstatat() from it, without following a link, and made with O_EXCL. The
// folder being the user's alone, nobody else can change what SQLite then
// opens by the same path (it opens it with SQLITE_OPEN_NOFOLLOW too).
#include "journal/page_log_place.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/bounded_file.h"
#include "base/owned_folder.h"
#include "journal/page_log.h"

namespace zentrel {
namespace {

// An environment variable that names an absolute folder, or nullptr.
const char* AbsoluteFolderVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? value : nullptr;
}

// Writing needs a folder of the user's own; reading another's log (the
// gateway's) is fine, as long as the file itself is one.
UniqueFd OpenFolder(const std::filesystem::path& folder, LogAccess access) {
  if (access == LogAccess::kRead) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
      throw JournalError("the page log's folder " + folder.string() +
                         " cannot be used: " + std::strerror(errno));
    }
    return fd;
  }
  try {
    return OpenOwnedFolder(folder.string(), FolderUse::kPrivate, true);
  } catch (const FolderError& e) {
    throw JournalError(std::string(e.what()) + " for the page log");
  }
}

}  // namespace

std::string DefaultPageLogPath() {
  if (const char* path = std::getenv("ZENTREL_PAGE_LOG"); path && *path) return path;
  if (const char* state = AbsoluteFolderVariable("XDG_STATE_HOME")) {
    return std::string(state) + "/zentrel/pages.db";
  }
  if (const char* home = AbsoluteFolderVariable("HOME")) {
    return std::string(home) + "/.local/state/zentrel/pages.db";
  }
  return {};
}

void CheckPageLogPlace(const std::string& path, LogAccess access) {
  if (path.empty()) {
    throw JournalError(
        "there is no page log: neither XDG_STATE_HOME nor HOME is set (ZENTREL_PAGE_LOG names "
        "one)");
  }
  const std::filesystem::path file = std::filesystem::absolute(path);
  const std::string name = file.filename().string();
  if (name.empty() || name == "." || name == "..") {
    throw JournalError("the page log " + path + " names a folder, not a file");
  }
  const UniqueFd folder = OpenFolder(file.parent_path(), access);
  struct stat st {};
  if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISREG(st.st_mode)) return;
    throw JournalError("the page log " + path + " is " + FileKindName(st.st_mode) +
                       ", not a regular file; nothing is written there");
  }
  if (errno != ENOENT) throw JournalError("the page log " + path + ": " + std::strerror(errno));
  if (access == LogAccess::kRead) {
    throw JournalError("the page log " + path + " does not exist (no page was logged there)");
  }
  const UniqueFd made(::openat(folder.get(), name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!made && errno != EEXIST) {
    throw JournalError("the page log " + path + " cannot be made: " + std::strerror(errno));
  }
}

}  // namespace zentrel
