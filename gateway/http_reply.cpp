// The replies of http_reply.h.
#include "gateway/http_reply.h"

#include <strings.h>

#include "gateway/page_json.h"

namespace zentrel::gateway {

void ReplyJson(httplib::Response& res, int status, const nlohmann::json& body) {
  res.status = status;
  res.set_content(AnswerLine(body), "application/json");
}

void ReplyError(httplib::Response& res, int status, const std::string& code,
                const std::string& error) {
  ReplyJson(res, status, {{"ok", false}, {"code", code}, {"error", error}});
}

bool RequireContentType(const httplib::Request& req, httplib::Response& res,
                        const std::string& type) {
  std::string given = req.get_header_value("Content-Type");
  given = given.substr(0, given.find(';'));
  while (!given.empty() && given.back() == ' ') given.pop_back();
  if (strcasecmp(given.c_str(), type.c_str()) == 0) return true;
  ReplyError(res, 415, "bad-request",
             "This takes a body of type " + type + ", not \"" + given + "\"; nothing was queued.");
  return false;
}

}  // namespace zentrel::gateway

namespace zentrel::gateway {

int StatusOf(const nlohmann::json& answer, int ok_status) {
  if (answer.value("ok", false)) return ok_status;
  const std::string code = answer.value("code", "");
  if (code == "bad-request") return 400;
  if (code == "unknown-pin" || code == "refused") return 422;
  if (code == "no-such-page") return 404;
  if (code == "final" || code == "on-the-line") return 409;
  if (code == "unavailable") return 503;
  return 500;
}

nlohmann::json LinesJson(const std::vector<LineState>& lines) {
  nlohmann::json out = nlohmann::json::array();
  for (const LineState& line : lines) {
    out.push_back({{"gateway", line.gateway},
                   {"name", line.name},
                   {"state", line.state},
                   {"pages", line.pages},
                   {"since", line.since},
                   {"rest_until", line.rest_until},
                   {"failures", line.failures},
                   {"calls", line.calls},
                   {"busy_seconds", line.busy_s},
                   {"seen", line.seen},
                   {"age_s", line.age_s}});
  }
  return out;
}

}  // namespace zentrel::gateway
