// Hashes through libcrypt: crypt_gensalt_rn picks yescrypt and a random
// salt, crypt_rn hashes; a check hashes the password with the stored hash as
// its setting and compares the whole result in constant time.
#include "gateway/snpp_users.h"

#include <crypt.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <iostream>
#include <memory>

namespace zentrel::gateway {

namespace {

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') {
      return false;
    }
  }
  return true;
}

std::string Crypt(const std::string& password, const std::string& setting) {
  auto data = std::make_unique<crypt_data>();
  std::memset(data.get(), 0, sizeof *data);
  const char* out = crypt_rn(password.c_str(), setting.c_str(), data.get(), sizeof *data);
  if (!out || out[0] == '*') return {};
  return out;
}

// One line from standard input; on a terminal without echo, after a prompt.
std::optional<std::string> ReadPassword(const char* prompt) {
  const bool tty = isatty(STDIN_FILENO);
  termios saved{};
  if (tty) {
    std::cerr << prompt << std::flush;
    tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (tty) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << "\n";
  }
  if (!got) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::optional<SnppUsers> ParseSnppUsers(const std::vector<std::string>& entries,
                                        std::string& error) {
  SnppUsers users;
  for (const std::string& entry : entries) {
    const std::size_t colon = entry.find(':');
    const std::string name = entry.substr(0, colon);
    if (colon == std::string::npos || !ValidName(name) || entry.size() < colon + 4 ||
        entry[colon + 1] != '$') {
      error = "snpp-user \"" + name +
              "\" is not NAME:HASH with a hash made by `zentrel-gateway passwd NAME`";
      return std::nullopt;
    }
    users[name] = entry.substr(colon + 1);
  }
  return users;
}

bool PasswordMatches(const std::string& hash, const std::string& password) {
  const std::string got = Crypt(password, hash);
  if (got.empty() || got.size() != hash.size()) return false;
  unsigned char differ = 0;
  for (std::size_t i = 0; i < got.size(); ++i) differ |= got[i] ^ hash[i];
  return differ == 0;
}

std::string HashPassword(const std::string& password) {
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  if (!crypt_gensalt_rn("$y$", 0, nullptr, 0, setting, sizeof setting)) return {};
  return Crypt(password, setting);
}

int RunPasswd(const std::string& name) {
  if (!ValidName(name)) {
    std::cerr << "zentrel-gateway: a user name is letters, digits, '.', '_' or '-'\n";
    return 2;
  }
  const auto password = ReadPassword("Password: ");
  if (!password || password->empty()) {
    std::cerr << "zentrel-gateway: no password given; nothing was made\n";
    return 2;
  }
  if (isatty(STDIN_FILENO)) {
    const auto again = ReadPassword("Again: ");
    if (!again || *again != *password) {
      std::cerr << "zentrel-gateway: the passwords differ; nothing was made\n";
      return 2;
    }
  }
  const std::string hash = HashPassword(*password);
  if (hash.empty()) {
    std::cerr << "zentrel-gateway: the system's crypt could not hash the password\n";
    return 1;
  }
  std::cout << "snpp-user = " << name << ":" << hash << "\n";
  return 0;
}

}  // namespace zentrel::gateway
