// The alert webhook's payloads: the two tools' documented examples read and
// turned into page text, the bodies that can never be an alert group, and
// the key that tells a re-post from a change.
#include "gateway/alert_payload.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace zentrel::gateway {
namespace {

std::string Payload(const std::string& name) {
  std::ifstream in(std::string(PAYLOADS) + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

AlertGroup Parsed(const std::string& body) {
  auto parsed = ParseAlertGroup(body);
  if (auto* why = std::get_if<std::string>(&parsed)) ADD_FAILURE() << *why;
  return std::get_if<AlertGroup>(&parsed) ? std::get<AlertGroup>(parsed) : AlertGroup{};
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

// The example as a storm: its alert `alerts` times, `cut` more left out.
std::string Storm(const std::string& body, int alerts, int cut) {
  nlohmann::json group = nlohmann::json::parse(body);
  const nlohmann::json one = group["alerts"][0];
  group["alerts"] = nlohmann::json::array();
  for (int n = 0; n < alerts; ++n) group["alerts"].push_back(one);
  group["truncatedAlerts"] = cut;
  return group.dump();
}

TEST(AlertPayload, TheToolsOwnExamplesBecomeOnePagesText) {
  const std::string alertmanager = Payload("alertmanager_v4.json");
  struct Row {
    const char* name;
    std::string body;
    const char* pattern;
    const char* text;
  };
  const Row rows[] = {
      {"Alertmanager", alertmanager, kDefaultAlertTemplate,
       "FIRING ProbeFailure critical: BlackBox Probe Failure: https://server.example.org"},
      {"Alertmanager resolved",
       Replace(alertmanager, "\"status\": \"firing\"", "\"status\": \"resolved\""),
       kDefaultAlertTemplate,
       "RESOLVED ProbeFailure critical: BlackBox Probe Failure: https://server.example.org"},
      {"a storm past what is read, and alerts the sender left out", Storm(alertmanager, 1200, 5),
       "{count}{more}", "1205 (+1204 more)"},
      {"Grafana, two alerts", Payload("grafana.json"), kDefaultAlertTemplate,
       "FIRING High memory usage: This alert was triggered for zone us-1 (+1 more)"},
      {"labels, the receiver, an unknown name, a brace left open", alertmanager,
       "{receiver}/{job}/{nothing}/{count} {instance", "sms/http_checks//1 {instance"},
      {"Grafana's message, its line breaks made spaces", Payload("grafana.json"),
       "{title} {message}", "[FIRING:2] (blue) **Firing** Labels: - alertname = T2"},
  };
  for (const Row& row : rows) {
    const std::string text = AlertText(Parsed(row.body), row.pattern);
    EXPECT_EQ(text.substr(0, std::string(row.text).size()), row.text) << row.name;
    EXPECT_EQ(text.find_first_of("\n\t\r"), std::string::npos) << row.name;
  }
}

TEST(AlertPayload, BodiesThatCanNeverBeAnAlertGroupAreRefusedWithTheCause) {
  struct Row {
    const char* body;
    const char* says;
  };
  const Row rows[] = {
      {"", "not a JSON object"},
      {"[1,2]", "not a JSON object"},
      {R"({"alerts":[{"status":"firing"}]})", "\"status\""},
      {R"({"status":"pending","alerts":[{"status":"firing"}]})", "\"status\""},
      {R"({"status":"firing"})", "no \"alerts\""},
      {R"({"status":"firing","alerts":[]})", "at least one"},
      {R"({"status":"firing","alerts":{}})", "at least one"},
      {R"({"status":"firing","alerts":[7]})", "an object"},
      {R"({"status":"firing","alerts":[{"status":"gone"}]})", "each alert's status"},
  };
  for (const Row& row : rows) {
    auto parsed = ParseAlertGroup(row.body);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << row.body;
    EXPECT_NE(std::get<std::string>(parsed).find(row.says), std::string::npos)
        << row.body << ": " << std::get<std::string>(parsed);
  }
}

TEST(AlertPayload, TheKeyIsTheSameForARepostAndDiffersForAChange) {
  const std::string grafana = Payload("grafana.json");
  const std::string key = AlertKey(Parsed(grafana));
  // The same alerts in the other order are the same post.
  std::string swapped = Replace(grafana, "c6eadffa33fcdf37", "SWAP");
  swapped = Replace(swapped, "bc97ff14869b13e3", "c6eadffa33fcdf37");
  swapped = Replace(swapped, "SWAP", "bc97ff14869b13e3");
  EXPECT_EQ(AlertKey(Parsed(swapped)), key);
  EXPECT_EQ(AlertKey(Parsed(Replace(grafana, "\"title\"", "\"ignored\""))), key);
  struct Row {
    const char* name;
    std::string body;
  };
  const Row changes[] = {
      {"another alert", Replace(grafana, "c6eadffa33fcdf37", "0000000000000001")},
      {"one alert resolved", Replace(grafana, "\"status\": \"firing\",\n      \"labels\"",
                                     "\"status\": \"resolved\",\n      \"labels\"")},
      {"another group", Replace(grafana, "\"groupKey\": \"{}:{}\"", "\"groupKey\": \"{}:{a}\"")},
      {"another receiver", Replace(grafana, "My Super Webhook", "ops")},
  };
  for (const Row& row : changes) EXPECT_NE(AlertKey(Parsed(row.body)), key) << row.name;
}

}  // namespace
}  // namespace zentrel::gateway
