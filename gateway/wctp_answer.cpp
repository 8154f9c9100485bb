// The steps of wctp_answer.h, each ending the answer with its code: 401/402
// for the sender, 403 for a PIN no page can go to, 302 for a text that may
// not stand in a page, 411 for a long text that may not be cut, then the
// queue's own answer (403 for an unknown recipient, 604 when it could not
// commit). The XML is built by pugixml, which escapes what it writes.
#include "gateway/wctp_answer.h"

#include <pugixml.hpp>

#include <sstream>

#include "paging/message_block.h"
#include "paging/page_check.h"

namespace zentrel::gateway {

namespace {

constexpr const char* kDoctype = "wctp-Operation SYSTEM \"http://dtd.wctp.org/wctp-dtd-v1r3.dtd\"";

struct Verdict {
  int code;
  std::string text;
};

// The queue's answer as a WCTP code; the page's id on success.
Verdict FromSubmit(const nlohmann::json& answer, std::string* tracking) {
  if (answer.value("ok", false)) {
    const auto ids = answer.find("ids");
    if (ids != answer.end() && ids->is_array() && !ids->empty())
      *tracking = std::to_string(ids->front().get<long long>());
    return {200, "The page is queued."};
  }
  const std::string code = answer.value("code", "");
  const std::string error = answer.value("error", "the page could not be queued");
  if (code == "unknown-pin" || code == "refused") return {403, error};
  if (code == "bad-request") return {302, error};
  return {604, error};
}

Verdict Check(const WctpSubmission& s, const WctpSenderCheck& senders) {
  switch (senders(s.sender_id, s.security_code)) {
    case SenderVerdict::kUnknownSender:
      return {401, "The senderID \"" + s.sender_id + "\" is not known here."};
    case SenderVerdict::kWrongCode:
      return {402, "The securityCode is not the one of senderID \"" + s.sender_id + "\"."};
    case SenderVerdict::kKnown: break;
  }
  if (std::string why = PinRefusal(s.recipient); !why.empty()) return {403, why};
  if (std::string found = FirstControlCharacter(s.text, true); !found.empty())
    return {302, "The message holds " + found + "; only line breaks may stand in a page."};
  if (!s.allow_truncation && s.text.size() > kMaxMessageChars)
    return {411, "The message has " + std::to_string(s.text.size()) + " bytes, more than the " +
                     std::to_string(kMaxMessageChars) +
                     " a page holds, and allowTruncation is false."};
  return {200, ""};
}

}  // namespace

std::string WctpReply(WctpOperation operation, int code, const std::string& text,
                      const std::string& tracking) {
  pugi::xml_document doc;
  pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  doc.append_child(pugi::node_doctype).set_value(kDoctype);
  pugi::xml_node root = doc.append_child("wctp-Operation");
  root.append_attribute("wctpVersion") = "wctp-dtd-v1r3";
  const bool client = operation == WctpOperation::kSubmitClientMessage;
  pugi::xml_node answer =
      root.append_child(client ? "wctp-SubmitClientResponse" : "wctp-Confirmation");
  const bool success = code == 200;
  pugi::xml_node result = answer.append_child(!success ? "wctp-Failure"
                                              : client ? "wctp-ClientSuccess"
                                                       : "wctp-Success");
  result.append_attribute(success ? "successCode" : "errorCode") = code;
  result.append_attribute(success ? "successText" : "errorText") = text.c_str();
  if (success && client) result.append_attribute("trackingNumber") = tracking.c_str();
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_default | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

std::string AnswerWctp(std::string_view body, const WctpSenderCheck& senders,
                       const WctpSubmit& submit) {
  const auto parsed = ParseWctpSubmission(body);
  if (const auto* failure = std::get_if<WctpFailure>(&parsed))
    return WctpReply(failure->operation, failure->code, failure->text);
  const WctpSubmission& s = std::get<WctpSubmission>(parsed);
  if (Verdict v = Check(s, senders); v.code != 200) return WctpReply(s.operation, v.code, v.text);
  Request request;
  request.op = Op::kSubmit;
  request.pages.push_back(SubmittedPage{s.recipient, s.text, 0, 0});
  request.via = "wctp";
  std::string tracking;
  const Verdict v = FromSubmit(submit(request), &tracking);
  return WctpReply(s.operation, v.code, v.text, tracking);
}

}  // namespace zentrel::gateway
