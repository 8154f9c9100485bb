// Where the page log may be: a regular file in a folder of the user's own,
// reached without following anyone else's links (base/owned_folder.h); never
// a device, a folder or a link, and nothing is made beside one. With neither
// XDG_STATE_HOME nor HOME set there is no log at all: the current folder is
// nobody's idea of where a log lives.
#pragma once

#include <string>

namespace zentrel {

enum class LogAccess {
  kWrite,  // the file (and its folder) are made when missing
  kRead,   // the file must exist; nothing is made
};

// Throws JournalError, naming the file or folder, when `path` cannot hold
// the page log; when writing, a missing file is made empty (mode 0600).
void CheckPageLogPlace(const std::string& path, LogAccess access);

}  // namespace zentrel
