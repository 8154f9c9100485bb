// The page ids of a line's call in one text column, shared by both back-ends.
#include "queue/line_report.h"

#include <sstream>

namespace zentrel::queue {

std::string JoinIds(const std::vector<PageId>& ids, const char* between) {
  std::string out;
  for (PageId id : ids) out += (out.empty() ? "" : between) + std::to_string(id);
  return out;
}

std::vector<PageId> SplitIds(const std::string& text) {
  std::vector<PageId> ids;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    try {
      std::size_t used = 0;
      const PageId id = std::stoll(word, &used);
      if (used == word.size()) ids.push_back(id);
    } catch (const std::exception&) {
      // not an id: left out
    }
  }
  return ids;
}

}  // namespace zentrel::queue
