// The request parser: nlohmann::json without exceptions for the syntax, then
// one small reader per field, each naming what is wrong.
#include "gateway/request.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <optional>
#include <utility>

namespace zentrel::gateway {

namespace {

using nlohmann::json;

constexpr std::array<std::pair<const char*, Op>, 8> kOps{{
    {"submit", Op::kSubmit},
    {"list", Op::kList},
    {"show", Op::kShow},
    {"cancel", Op::kCancel},
    {"retry", Op::kRetry},
    {"hold", Op::kHold},
    {"release", Op::kRelease},
    {"watch", Op::kWatch},
}};

Refusal Bad(const std::string& why) { return Refusal{"bad-request", why}; }

std::optional<Op> OpNamed(const json& request) {
  const auto found = request.find("op");
  if (found == request.end() || !found->is_string()) return std::nullopt;
  for (const auto& [name, op] : kOps) {
    if (*found == name) return op;
  }
  return std::nullopt;
}

// A whole number within [low, high], or nullopt.
std::optional<std::int64_t> WholeNumber(const json& value, double low, double high) {
  if (!value.is_number()) return std::nullopt;
  const double number = value.get<double>();
  if (!std::isfinite(number) || number < low || number > high || std::floor(number) != number) {
    return std::nullopt;
  }
  return value.is_number_float() ? static_cast<std::int64_t>(number) : value.get<std::int64_t>();
}

std::optional<Refusal> ReadPage(const json& item, std::size_t n, SubmittedPage& page) {
  const std::string where = "page " + std::to_string(n + 1) + ": ";
  if (!item.is_object()) return Bad(where + "each page is an object with a pin and a text");
  const auto pin = item.find("pin");
  const auto text = item.find("text");
  if (pin == item.end() || !pin->is_string()) return Bad(where + "the pin must be a string");
  if (text == item.end() || !text->is_string()) return Bad(where + "the text must be a string");
  page.pin = pin->get<std::string>();
  page.text = text->get<std::string>();
  if (const auto hold = item.find("hold_until"); hold != item.end() && !hold->is_null()) {
    if (!hold->is_number() || !std::isfinite(hold->get<double>()) || hold->get<double>() < 0) {
      return Bad(where + "hold_until must be a time in Unix seconds");
    }
    page.hold_until = hold->get<double>();
  }
  if (const auto level = item.find("priority"); level != item.end() && !level->is_null()) {
    const auto value = WholeNumber(*level, -1000, 1000);
    if (!value) return Bad(where + "priority must be a whole number from -1000 to 1000");
    page.priority = static_cast<int>(*value);
  }
  return std::nullopt;
}

std::optional<Refusal> ReadSubmit(const json& request, Request& out) {
  const auto pages = request.find("pages");
  if (pages == request.end() || !pages->is_array() || pages->empty()) {
    return Bad("a submission needs \"pages\": a list of at least one page");
  }
  if (pages->size() > kMaxPagesPerRequest) {
    return Bad("a submission holds at most " + std::to_string(kMaxPagesPerRequest) + " pages");
  }
  out.pages.resize(pages->size());
  for (std::size_t n = 0; n < pages->size(); ++n) {
    if (auto refusal = ReadPage((*pages)[n], n, out.pages[n])) return refusal;
  }
  if (const auto split = request.find("split"); split != request.end()) {
    if (!split->is_boolean()) return Bad("split must be true or false");
    out.split = split->get<bool>();
  }
  if (const auto max = request.find("max_chars"); max != request.end() && !max->is_null()) {
    const auto value = WholeNumber(*max, 0, 100000);
    if (!value) return Bad("max_chars must be a whole number from 0 to 100000");
    out.max_chars = static_cast<int>(*value);
  }
  if (const auto via = request.find("via"); via != request.end()) {
    if (!via->is_string() || via->get<std::string>().empty() ||
        via->get<std::string>().size() > 64) {
      return Bad("via must be the submitting program's name (at most 64 characters)");
    }
    out.via = via->get<std::string>();
  }
  return std::nullopt;
}

std::optional<Refusal> ReadIds(const json& request, Request& out) {
  const auto ids = request.find("ids");
  if (ids == request.end() || !ids->is_array() || ids->size() > kMaxPagesPerRequest) {
    return Bad("watch needs \"ids\": a list of at most " + std::to_string(kMaxPagesPerRequest) +
               " page ids");
  }
  for (const json& id : *ids) {
    const auto value = WholeNumber(id, 1, 9.0e15);
    if (!value) return Bad("each id must be a page number");
    out.ids.push_back(*value);
  }
  return std::nullopt;
}

std::optional<Refusal> ReadFields(const json& request, Request& out) {
  switch (out.op) {
    case Op::kSubmit: return ReadSubmit(request, out);
    case Op::kList: return std::nullopt;
    case Op::kWatch: return ReadIds(request, out);
    default: break;
  }
  const auto id = request.find("id");
  const auto value = id == request.end() ? std::nullopt : WholeNumber(*id, 1, 9.0e15);
  if (!value) return Bad("this request needs \"id\": a page number");
  out.id = *value;
  return std::nullopt;
}

}  // namespace

std::variant<Request, Refusal> ParseRequest(std::string_view line) {
  const json request = json::parse(line.begin(), line.end(), nullptr, false);
  if (request.is_discarded() || !request.is_object()) {
    return Bad("a request is one JSON object on one line");
  }
  const std::optional<Op> op = OpNamed(request);
  if (!op) {
    return Bad("\"op\" must be submit, list, show, cancel, retry, hold, release or watch");
  }
  Request out;
  out.op = *op;
  if (auto refusal = ReadFields(request, out)) return *refusal;
  return out;
}

}  // namespace zentrel::gateway
