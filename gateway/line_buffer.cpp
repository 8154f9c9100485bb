// The line cutter: consumed lines are dropped from the front once they are
// half the buffer, so a client sending many small lines keeps it small.
#include "gateway/line_buffer.h"

namespace zentrel::gateway {

void LineBuffer::Append(std::string_view bytes) {
  if (overflowed_) return;
  if (start_ > 0 && start_ * 2 >= data_.size()) {
    data_.erase(0, start_);
    start_ = 0;
  }
  data_.append(bytes);
  if (data_.find('\n', start_ + scanned_) == std::string::npos &&
      data_.size() - start_ > max_line_) {
    overflowed_ = true;
    data_.clear();
    start_ = scanned_ = 0;
  }
}

std::optional<std::string> LineBuffer::Next() {
  if (overflowed_) return std::nullopt;
  const std::size_t end = data_.find('\n', start_ + scanned_);
  if (end == std::string::npos) {
    scanned_ = data_.size() - start_;
    return std::nullopt;
  }
  if (end - start_ > max_line_) {
    overflowed_ = true;
    data_.clear();
    start_ = scanned_ = 0;
    return std::nullopt;
  }
  std::string line = data_.substr(start_, end - start_);
  start_ = end + 1;
  scanned_ = 0;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace zentrel::gateway
