// Reading the device list's file. Whatever makes it give no line (no file,
// a folder, unreadable, only comments, a bad line) is said in `why_none`
// with the file's name, so the user learns which file to mend.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "telephony/lines_config.h"

namespace zentrel {
namespace {

// Why the file cannot give lines before it is read; "" when it can be read.
std::string CannotRead(const std::string& path) {
  if (path.empty()) return "no device list: neither ZENTREL_LINES nor HOME is set";
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT ? "the device list " + path + " does not exist"
                           : "cannot read the device list " + path + ": " + std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "the device list " + path + " is a folder, not a file";
  return {};
}

}  // namespace

LinesConfig LoadLinesConfig(const std::string& path) {
  LinesConfig config;
  config.why_none = CannotRead(path);
  if (!config.why_none.empty()) return config;
  std::ifstream file(path);
  if (!file) {
    config.why_none = "cannot read the device list " + path + ": " + std::strerror(errno);
    return config;
  }
  std::ostringstream text;
  text << file.rdbuf();
  config = ParseLinesConfig(text.str());
  if (!config.error.empty())
    config.why_none = "the device list " + path + " " + config.error;
  else if (config.lines.empty())
    config.why_none = "the device list " + path + " has no lines";
  return config;
}

}  // namespace zentrel
