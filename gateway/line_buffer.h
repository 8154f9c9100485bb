// Bytes from a socket or a pipe cut into lines, with a bound: a line longer
// than the limit is never held whole; the buffer says so once and the caller
// drops the peer. Pure, so the fuzz target feeds it with the request parser.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zentrel::gateway {

class LineBuffer {
 public:
  explicit LineBuffer(std::size_t max_line) : max_line_(max_line) {}

  void Append(std::string_view bytes);
  // The next whole line without its newline (a CR before it is dropped too).
  std::optional<std::string> Next();
  // True once a line grew past the limit: nothing more comes out.
  bool Overflowed() const { return overflowed_; }
  bool Empty() const { return data_.size() == start_; }

 private:
  std::size_t max_line_;
  std::string data_;
  std::size_t start_ = 0;    // where the next line starts
  std::size_t scanned_ = 0;  // bytes after start_ known to hold no newline
  bool overflowed_ = false;
};

}  // namespace zentrel::gateway
