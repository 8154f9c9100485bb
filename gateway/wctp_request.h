// A WCTP 1.3 submission read from the body of a POST: wctp-SubmitRequest or
// wctp-SubmitClientMessage with an alphanumeric payload, or the failure code
// and sentence its answer carries (301 not XML, 302 not a submission we
// take). Pure: no I/O, so the fuzz target runs it on any bytes. A DTD is
// never fetched; a document that declares anything of its own (an internal
// subset: entities, billion laughs) is refused before any of it is read.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace zentrel::gateway {

enum class WctpOperation { kSubmitRequest, kSubmitClientMessage };

struct WctpSubmission {
  WctpOperation operation = WctpOperation::kSubmitRequest;
  std::string sender_id;
  std::string security_code;
  std::string recipient;  // the PIN
  std::string text;       // UTF-8, line breaks as the sender wrote them
  bool allow_truncation = true;
  std::string message_id;  // the sender's, if given
};

struct WctpFailure {
  int code = 302;
  std::string text;  // for a person
  // The operation the answer is for, when it was read that far.
  WctpOperation operation = WctpOperation::kSubmitRequest;
};

// The most a submission's body may hold.
inline constexpr std::size_t kMaxWctpBody = 64 * 1024;

std::variant<WctpSubmission, WctpFailure> ParseWctpSubmission(std::string_view body);

}  // namespace zentrel::gateway
