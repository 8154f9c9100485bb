// The answer to one WCTP submission: the body is read, the sender and its
// security code checked, the page checked as a direct send checks it and
// handed to the same submit as every listener's (committed before success),
// and the outcome written back as WCTP XML: wctp-Confirmation for a
// wctp-SubmitRequest, wctp-SubmitClientResponse with the page's id as its
// trackingNumber for a wctp-SubmitClientMessage. The HTTP status is 200
// either way; the code inside says what became of the page.
#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <string_view>

#include "gateway/request.h"
#include "gateway/wctp_request.h"

namespace zentrel::gateway {

enum class SenderVerdict { kKnown, kUnknownSender, kWrongCode };

// Whether `sender_id` may submit with `security_code`.
using WctpSenderCheck =
    std::function<SenderVerdict(const std::string& sender_id, const std::string& security_code)>;

// The listeners' one submit: the socket's JSON answer to a submit request.
using WctpSubmit = std::function<nlohmann::json(const Request& request)>;

// The XML answer to `body`.
std::string AnswerWctp(std::string_view body, const WctpSenderCheck& senders,
                       const WctpSubmit& submit);

// The answer's XML: success when `code` is 200 (with `tracking` on a client
// message's answer), else a wctp-Failure with `code` and `text`.
std::string WctpReply(WctpOperation operation, int code, const std::string& text,
                      const std::string& tracking = "");

inline constexpr const char* kWctpContentType = "text/xml; charset=utf-8";

}  // namespace zentrel::gateway
