// The token command: the file is read whole, the new line appended, and the
// result written to a temporary file beside it (mode 0600 for a new file,
// else the old mode), synced and renamed over it, so a crash leaves the old
// file or the new one and never half of either.
#include "gateway/http_token_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "gateway/http_tokens.h"
#include "gateway/settings.h"
#include "tools/program_cli.h"

namespace zentrel::gateway {

namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool NameInUse(const std::string& text, const std::string& name) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find('=');
    if (eq == std::string::npos || line.find("http-token") == std::string::npos) continue;
    auto value = line.substr(eq + 1);
    value.erase(0, value.find_first_not_of(" \t\""));
    if (value.rfind(name + ":", 0) == 0) return true;
  }
  return false;
}

// "" when written, else the cause.
std::string WriteReplacing(const std::string& path, const std::string& text) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  struct stat st {};
  const mode_t mode = stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0600;
  const std::string temp = path + ".new";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return std::strerror(errno);
  fchmod(fd, mode);
  bool good = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  good = fsync(fd) == 0 && good;
  const int cause = errno;
  close(fd);
  if (!good || rename(temp.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(good ? errno : cause);
    unlink(temp.c_str());
    return why;
  }
  return "";
}

}  // namespace

bool IsTokenCommand(int argc, char** argv) {
  return argc > 1 && std::strcmp(argv[1], "token") == 0;
}

int RunTokenCommand(int argc, char** argv) {
  CLI::App app("Manages the tokens HTTP clients show to zentrel-gateway.");
  UseProgramConventions(app, "zentrel-gateway");
  std::string name;
  std::string config = DefaultConfigPath();
  CLI::App* token =
      app.add_subcommand("token", "the HTTP listener's tokens")->require_subcommand(1);
  CLI::App* add = token->add_subcommand("add", "make a new token, print it once, keep its hash");
  add->add_option("NAME", name, "the token's name (also its user name for basic auth)")->required();
  add->add_option("--config", config, "the settings file (gateway.conf)")->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  if (!GoodTokenName(name)) {
    std::cerr << "zentrel-gateway: a token's name is 1 to 64 letters, digits, '.', '_' or '-'\n";
    return 2;
  }
  std::string text = ReadWhole(config);
  if (NameInUse(text, name)) {
    std::cerr << "zentrel-gateway: " << config << " has a token named " << name
              << " already; nothing was changed\n";
    return 2;
  }
  const std::string secret = NewToken();
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += "http-token = " + TokenValue(name, secret) + "\n";
  if (const std::string why = WriteReplacing(config, text); !why.empty()) {
    std::cerr << "zentrel-gateway: cannot write " << config << ": " << why << "\n";
    return 1;
  }
  std::cout << secret << "\n";
  std::cerr << "zentrel-gateway: token " << name << " added to " << config
            << "; it is shown this once only. SIGHUP does not re-read it: restart the gateway.\n";
  return 0;
}

}  // namespace zentrel::gateway
