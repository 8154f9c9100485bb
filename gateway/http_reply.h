// What every HTTP route answers with: JSON bodies (an error is
// {"ok":false,"code":...,"error":...} as on the local socket), and the
// content type check (415 when a body is not what the route reads).
#pragma once

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <string>

namespace zentrel::gateway {

void ReplyJson(httplib::Response& res, int status, const nlohmann::json& body);
void ReplyError(httplib::Response& res, int status, const std::string& code,
                const std::string& error);
// True when the request's Content-Type is `type` (parameters such as
// charset allowed); else answers 415 and returns false.
bool RequireContentType(const httplib::Request& req, httplib::Response& res,
                        const std::string& type);

}  // namespace zentrel::gateway
