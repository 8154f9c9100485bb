// The local socket's requests, parsed from one line of JSON into a typed
// request or a refusal with its code ("bad-request") and a sentence for a
// person. Pure: no I/O, no queue, so the fuzz target runs it on any bytes.
// Unknown fields are ignored; a field of the wrong type refuses the request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zentrel::gateway {

enum class Op { kSubmit, kList, kShow, kCancel, kRetry, kHold, kRelease, kWatch };

struct SubmittedPage {
  std::string pin;
  std::string text;
  double hold_until = 0;  // Unix seconds; 0 for at once
  int priority = 0;
};

struct Request {
  Op op = Op::kList;
  std::vector<SubmittedPage> pages;  // submit
  bool split = false;                // submit: long text in several pages
  int max_chars = 0;                 // submit: 0 for the terminal's default
  std::string via = "socket";        // submit: the submitting program
  std::int64_t id = 0;               // show, cancel, retry, hold, release
  std::vector<std::int64_t> ids;     // watch
};

struct Refusal {
  std::string code;   // "bad-request", "unknown-pin", "refused", "unavailable", ...
  std::string error;  // for a person
};

inline constexpr std::size_t kMaxPagesPerRequest = 1000;

std::variant<Request, Refusal> ParseRequest(std::string_view line);

}  // namespace zentrel::gateway
