// A queued page as the socket shows it (the PAGE object of every answer),
// and the JSON text of an answer: one line, invalid UTF-8 from the stored
// names replaced rather than failing the answer.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "queue/page_record.h"

namespace zentrel::gateway {

nlohmann::json PageJson(const queue::Page& page);

// The answer as one line, ending in a newline.
std::string AnswerLine(const nlohmann::json& answer);

}  // namespace zentrel::gateway
