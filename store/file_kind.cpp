// Reads the first bytes of a file and names its kind: SQLite files begin with
// "SQLite format 3\0"; Jet files carry "Standard Jet DB" (or "Standard ACE
// DB") at offset 4; anything else is called a text file or an unknown format.
#include "store/file_kind.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace zentrel::store {

namespace {

bool LooksLikeText(const char* bytes, std::size_t size) {
  return std::all_of(bytes, bytes + size, [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 || c == '\n' || c == '\r' || c == '\t';
  });
}

}  // namespace

std::optional<std::string> DescribeForeignFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return "a directory, not a database file";
  if (!std::filesystem::exists(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::array<char, 64> head{};
  in.read(head.data(), head.size());
  const auto size = static_cast<std::size_t>(in.gcount());
  if (size == 0) return "an empty file, with none of the tables VPdata and stored";
  static constexpr char kSqlite[] = "SQLite format 3";  // followed by a NUL
  if (size >= sizeof kSqlite && std::memcmp(head.data(), kSqlite, sizeof kSqlite) == 0) {
    return std::nullopt;
  }
  if (size >= 19 && (std::memcmp(head.data() + 4, "Standard Jet DB", 15) == 0 ||
                     std::memcmp(head.data() + 4, "Standard ACE DB", 15) == 0)) {
    return "a Jet database file (the old .mdb format), not an SQLite database";
  }
  if (LooksLikeText(head.data(), size)) return "a text file, not an SQLite database";
  return "not an SQLite database (its format is unknown)";
}

}  // namespace zentrel::store
