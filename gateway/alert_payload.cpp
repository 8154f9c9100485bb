// The payload's reader (nlohmann::json without exceptions) and the template.
// Label and annotation values that are not strings are kept as their JSON.
#include "gateway/alert_payload.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <optional>

namespace zentrel::gateway {

namespace {

using nlohmann::json;

std::string Text(const json& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end() || found->is_null()) return "";
  return found->is_string() ? found->get<std::string>()
                            : found->dump(-1, ' ', false, json::error_handler_t::replace);
}

Labels ReadLabels(const json& object, const char* name) {
  Labels labels;
  const auto found = object.find(name);
  if (found == object.end() || !found->is_object()) return labels;
  for (const auto& [key, value] : found->items()) {
    labels[key] = value.is_string() ? value.get<std::string>()
                                    : value.dump(-1, ' ', false, json::error_handler_t::replace);
  }
  return labels;
}

bool GoodStatus(const std::string& status) { return status == "firing" || status == "resolved"; }

std::optional<std::string> ReadAlerts(const json& alerts, AlertGroup& group) {
  if (!alerts.is_array() || alerts.empty())
    return "\"alerts\" must be a list of at least one alert";
  // A storm's group still pages: the first alerts are read, the rest counted.
  const std::size_t read = std::min(alerts.size(), kMaxAlertsPerGroup);
  group.left_out += alerts.size() - read;
  for (std::size_t n = 0; n < read; ++n) {
    const json& item = alerts[n];
    if (!item.is_object()) return "each alert must be an object";
    Alert alert{Text(item, "status"), ReadLabels(item, "labels"), ReadLabels(item, "annotations"),
                Text(item, "fingerprint")};
    if (!GoodStatus(alert.status)) return "each alert's status must be firing or resolved";
    group.alerts.push_back(std::move(alert));
  }
  return std::nullopt;
}

std::string Lookup(const Labels& labels, const std::string& name) {
  const auto found = labels.find(name);
  return found == labels.end() ? "" : found->second;
}

// A name's value from the labels and annotations, the group's first.
std::string Field(const AlertGroup& group, const std::string& name) {
  const Alert& first = group.alerts.front();
  for (const Labels* labels :
       {&group.common_labels, &first.labels, &group.common_annotations, &first.annotations}) {
    if (std::string value = Lookup(*labels, name); !value.empty()) return value;
  }
  return "";
}

std::string Value(const AlertGroup& group, const std::string& name) {
  const std::size_t count =
      group.left_out + static_cast<std::size_t>(
                           std::count_if(group.alerts.begin(), group.alerts.end(),
                                         [&](const Alert& a) { return a.status == group.status; }));
  if (name == "status") return group.status == "resolved" ? "RESOLVED" : "FIRING";
  if (name == "count") return std::to_string(count);
  if (name == "more") return count > 1 ? " (+" + std::to_string(count - 1) + " more)" : "";
  if (name == "receiver") return group.receiver;
  if (name == "title") return group.title;
  if (name == "message") return group.message;
  std::string value = Field(group, name);
  if (value.empty() && name == "summary") value = Field(group, "description");
  if (value.empty() && name == "summary")
    value = group.message.empty() ? group.title : group.message;
  if (value.empty() && name == "alertname") value = group.title;
  return value;
}

std::string Tidy(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool space = static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ' ';
    if (space && (out.empty() || out.back() == ' ')) continue;
    if (c == ':' && !out.empty() && out.back() == ' ') out.pop_back();
    out += space ? ' ' : c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

std::variant<AlertGroup, std::string> ParseAlertGroup(std::string_view body) {
  const json payload = json::parse(body.begin(), body.end(), nullptr, false);
  if (payload.is_discarded() || !payload.is_object())
    return std::string("the body is not a JSON object");
  AlertGroup group;
  group.status = Text(payload, "status");
  if (!GoodStatus(group.status)) return std::string("\"status\" must be firing or resolved");
  const auto alerts = payload.find("alerts");
  if (alerts == payload.end()) return std::string("the payload has no \"alerts\"");
  if (auto why = ReadAlerts(*alerts, group)) return *why;
  if (const auto cut = payload.find("truncatedAlerts");
      cut != payload.end() && cut->is_number_unsigned()) {
    group.left_out += std::min<std::size_t>(cut->get<std::uint64_t>(), 1u << 30);
  }
  group.receiver = Text(payload, "receiver");
  group.group_key = Text(payload, "groupKey");
  group.group_labels = ReadLabels(payload, "groupLabels");
  group.common_labels = ReadLabels(payload, "commonLabels");
  group.common_annotations = ReadLabels(payload, "commonAnnotations");
  group.title = Text(payload, "title");
  group.message = Text(payload, "message");
  return group;
}

std::string AlertText(const AlertGroup& group, std::string_view pattern) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const std::size_t close = pattern[i] == '{' ? pattern.find('}', i) : std::string_view::npos;
    if (close == std::string_view::npos) {
      out += pattern[i];
      continue;
    }
    out += Value(group, std::string(pattern.substr(i + 1, close - i - 1)));
    i = close;
  }
  return Tidy(out);
}

std::string AlertKey(const AlertGroup& group) {
  std::vector<std::string> alerts;
  for (const Alert& a : group.alerts) {
    const std::string id = a.fingerprint.empty() ? json(a.labels).dump() : a.fingerprint;
    alerts.push_back(id + "=" + a.status);
  }
  std::sort(alerts.begin(), alerts.end());
  json key = {group.receiver, group.group_key, group.status, alerts, group.left_out};
  return key.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace zentrel::gateway
