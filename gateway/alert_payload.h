// An alert group as the alerting tools post it to a webhook: Alertmanager's
// payload (version 4: receiver, status, alerts with labels, annotations and
// fingerprints, the group's common labels and its groupKey) and Grafana's
// (the same, plus title, state and message). Parsed whole into plain data,
// then turned into one page's text through a template, and into the key
// that tells a re-post of the same group from a change. Pure: no I/O, so the
// fuzz target runs it on any bytes.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zentrel::gateway {

using Labels = std::map<std::string, std::string>;

struct Alert {
  std::string status;  // "firing" or "resolved"
  Labels labels;
  Labels annotations;
  std::string fingerprint;  // "" when the sender gave none
};

struct AlertGroup {
  std::string receiver;
  std::string status;  // "firing" or "resolved"
  std::string group_key;
  std::vector<Alert> alerts;  // at most kMaxAlertsPerGroup
  std::size_t left_out = 0;   // alerts not read, and those the sender left out
  Labels group_labels;
  Labels common_labels;
  Labels common_annotations;
  std::string title;    // Grafana's
  std::string message;  // Grafana's
};

// Alerts read of one group; those past it only counted.
inline constexpr std::size_t kMaxAlertsPerGroup = 1000;

// The group, or why the body can never be one (a sentence for a person).
std::variant<AlertGroup, std::string> ParseAlertGroup(std::string_view body);

// "{status} {alertname} {severity}: {summary}{more}"
inline constexpr const char* kDefaultAlertTemplate =
    "{status} {alertname} {severity}: {summary}{more}";

// The page's text: `pattern` with each {name} replaced: status (FIRING or
// RESOLVED), count, more (" (+N more)" when the group has N more alerts),
// receiver, title, message, and any other name from the labels, then the
// annotations (the group's common ones first, then its first alert's);
// summary falls back to description, then Grafana's message and title.
// Control characters and runs of spaces become one space.
std::string AlertText(const AlertGroup& group, std::string_view pattern);

// The same for every post of this group in this state with these alerts.
std::string AlertKey(const AlertGroup& group);

}  // namespace zentrel::gateway
