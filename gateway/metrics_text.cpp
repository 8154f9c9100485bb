// The text format: "# HELP" and "# TYPE" before each family, label values
// with backslash, double quote and line break escaped, every page state
// listed (0 when none) so a dashboard's series never vanish.
#include "gateway/metrics_text.h"

#include <cstdio>

namespace zentrel::gateway {

namespace {

std::string Escape(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\' || c == '"') out += '\\';
    out += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return out;
}

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

void Family(std::string& out, const char* name, const char* type, const char* help) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void Sample(std::string& out, const std::string& name, const std::string& labels, double value) {
  out += name + (labels.empty() ? "" : "{" + labels + "}") + " " + Number(value) + "\n";
}

void Pages(std::string& out, const queue::QueueStats& stats, double now) {
  Family(out, "zentrel_pages", "gauge", "Pages kept in the queue, by state.");
  for (const char* state :
       {"queued", "on the line", "accepted", "refused", "expired", "cancelled"}) {
    const auto found = stats.pages.find(state);
    Sample(out, "zentrel_pages", "state=\"" + Escape(state) + "\"",
           found == stats.pages.end() ? 0 : static_cast<double>(found->second));
  }
  Family(out, "zentrel_attempts_total", "counter", "Tries of pages, by outcome and reason.");
  for (const auto& [key, count] : stats.attempts) {
    Sample(out, "zentrel_attempts_total",
           "outcome=\"" + Escape(key.first) + "\",reason=\"" + Escape(key.second) + "\"",
           static_cast<double>(count));
  }
  const auto count = [&](const char* state) {
    const auto found = stats.pages.find(state);
    return found == stats.pages.end() ? 0.0 : static_cast<double>(found->second);
  };
  Family(out, "zentrel_queue_depth", "gauge", "Pages not yet final (queued or on the line).");
  Sample(out, "zentrel_queue_depth", "", count("queued") + count("on the line"));
  Family(out, "zentrel_queue_oldest_age_seconds", "gauge",
         "Seconds the oldest queued page has waited (0 when none waits).");
  Sample(out, "zentrel_queue_oldest_age_seconds", "",
         stats.oldest_queued_at ? std::max(0.0, now - *stats.oldest_queued_at) : 0.0);
}

std::string LineLabels(const LineState& l) {
  return "gateway=\"" + Escape(l.gateway) + "\",line=\"" + Escape(l.name) + "\"";
}

// A line whose gateway is not seen keeps its last counts, is not counted as
// in a call, and says so in zentrel_line_seen.
void Lines(std::string& out, const std::vector<LineState>& lines) {
  Family(out, "zentrel_line_calls_total", "counter", "Calls started on each line.");
  for (const LineState& l : lines) {
    Sample(out, "zentrel_line_calls_total", LineLabels(l), static_cast<double>(l.calls));
  }
  Family(out, "zentrel_line_busy_seconds_total", "counter", "Seconds each line spent in calls.");
  for (const LineState& l : lines) {
    Sample(out, "zentrel_line_busy_seconds_total", LineLabels(l), l.busy_s);
  }
  Family(out, "zentrel_line_in_call", "gauge", "1 while a line is in a call.");
  for (const LineState& l : lines) {
    Sample(out, "zentrel_line_in_call", LineLabels(l), l.seen && l.state == "in a call" ? 1 : 0);
  }
  Family(out, "zentrel_line_seen", "gauge",
         "1 while the line's gateway keeps telling its state (0: stopped, killed or cut off).");
  for (const LineState& l : lines) {
    Sample(out, "zentrel_line_seen", LineLabels(l), l.seen ? 1 : 0);
  }
}

void Durations(std::string& out, const CallDurations& d) {
  const char* name = "zentrel_call_duration_seconds";
  Family(out, name, "histogram", "How long calls took.");
  long cumulative = 0;
  for (std::size_t i = 0; i < CallDurations::kBounds.size(); ++i) {
    cumulative += d.counts[i];
    Sample(out, std::string(name) + "_bucket", "le=\"" + Number(CallDurations::kBounds[i]) + "\"",
           static_cast<double>(cumulative));
  }
  Sample(out, std::string(name) + "_bucket", "le=\"+Inf\"", static_cast<double>(d.count));
  Sample(out, std::string(name) + "_sum", "", d.sum);
  Sample(out, std::string(name) + "_count", "", static_cast<double>(d.count));
}

}  // namespace

std::string MetricsText(const MetricsView& view) {
  std::string out;
  Pages(out, view.stats, view.now);
  Lines(out, view.lines);
  Durations(out, view.durations);
  Family(out, "zentrel_build_info", "gauge", "The gateway's version.");
  Sample(out, "zentrel_build_info", "version=\"" + Escape(view.version) + "\"", 1);
  return out;
}

}  // namespace zentrel::gateway
