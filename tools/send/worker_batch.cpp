// The batch line's fields, each checked for its type; unknown fields are
// ignored, as the protocol says.
#include "tools/send/worker_batch.h"

#include <nlohmann/json.hpp>

#include "delivery/send_options.h"

namespace zentrel {
namespace {

using nlohmann::json;

template <typename T>
T Field(const json& object, const char* name, T fallback) {
  const auto it = object.find(name);
  return it == object.end() || it->is_null() ? fallback : it->get<T>();
}

BatchPage Page(const json& page) {
  if (!page.is_object()) throw std::invalid_argument("a page is not an object");
  if (!page.contains("id") || !page.at("id").is_number_integer()) {
    throw std::invalid_argument("a page has no integer id");
  }
  return {page.at("id").get<std::int64_t>(), page.at("pin").get<std::string>(),
          AsMessageBoxText(page.at("text").get<std::string>())};
}

}  // namespace

bool ParseWorkerBatch(const std::string& line, BatchCall* batch, std::string* error) {
  try {
    const json j = json::parse(line);
    if (!j.is_object()) throw std::invalid_argument("the batch is not a JSON object");
    batch->line = j.at("line").get<int>();
    batch->lines_file = j.at("lines_file").get<std::string>();
    batch->phone = Field<std::string>(j, "phone", "");
    batch->split = Field<bool>(j, "split", false);
    const int max_chars = Field<int>(j, "max_chars", 199);
    batch->timeout_seconds = Field<int>(j, "timeout_s", 120);
    if (batch->line < 0) throw std::invalid_argument("line is negative");
    if (max_chars < 8 || max_chars > 10000)
      throw std::invalid_argument("max_chars is not 8 to 10000");
    if (batch->timeout_seconds < 1 || batch->timeout_seconds > 86400) {
      throw std::invalid_argument("timeout_s is not 1 to 86400");
    }
    batch->max_chars = static_cast<std::size_t>(max_chars);
    if (!j.at("pages").is_array()) throw std::invalid_argument("pages is not an array");
    batch->pages.clear();
    for (const json& page : j.at("pages")) batch->pages.push_back(Page(page));
    if (batch->pages.empty()) throw std::invalid_argument("the batch has no pages");
    return true;
  } catch (const std::exception& e) {
    *error = e.what();
    return false;
  }
}

}  // namespace zentrel
