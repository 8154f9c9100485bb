// What every HTTP route answers with: JSON bodies (an error is
// {"ok":false,"code":...,"error":...} as on the local socket), the HTTP
// status of a socket answer, and the content type check (415 when a body is
// not what the route reads).
#pragma once

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "gateway/line_calls.h"

namespace zentrel::gateway {

void ReplyJson(httplib::Response& res, int status, const nlohmann::json& body);
void ReplyError(httplib::Response& res, int status, const std::string& code,
                const std::string& error);
// True when the request's Content-Type is `type` (parameters such as
// charset allowed); else answers 415 and returns false.
bool RequireContentType(const httplib::Request& req, httplib::Response& res,
                        const std::string& type);
// The HTTP status of a socket answer: `ok_status` when it is ok, else by its
// code: 400 bad-request, 422 unknown-pin or refused (never acceptable), 404
// no-such-page, 409 final or on-the-line, 503 unavailable, 500 otherwise.
int StatusOf(const nlohmann::json& answer, int ok_status);
// The lines as GET /api/v1/lines shows them.
nlohmann::json LinesJson(const std::vector<LineState>& lines);

}  // namespace zentrel::gateway
