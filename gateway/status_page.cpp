// The status page's HTML: a few tables inside a scrolling box each, so a
// narrow screen scrolls a table sideways instead of shrinking its text.
#include "gateway/status_page.h"

#include <ctime>

namespace zentrel::gateway {

namespace {

constexpr const char* kStyle =
    "body{font:15px/1.4 sans-serif;margin:0 auto;padding:8px;max-width:60em;color:#111}"
    "h1{font-size:1.3em;margin:.2em 0}h2{font-size:1.1em;margin:1em 0 .3em}"
    ".box{overflow-x:auto}table{border-collapse:collapse;width:100%}"
    "th,td{text-align:left;padding:4px 6px;border-bottom:1px solid #ddd;vertical-align:top}"
    "th{background:#f3f3f3}.accepted{color:#075}.refused,.expired{color:#b00}"
    ".queued,.on{color:#a60}.note{color:#555;font-size:.9em}";

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Clock(double when) {
  if (when <= 0) return "";
  const std::time_t t = static_cast<std::time_t>(when);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

std::string Cell(const std::string& text, const std::string& cls = "") {
  return "<td" + (cls.empty() ? "" : " class=\"" + cls + "\"") + ">" + Escape(text) + "</td>";
}

std::string Short(const std::string& text) {
  return text.size() > 80 ? text.substr(0, 77) + "..." : text;
}

std::string LinesTable(const std::vector<LineState>& lines) {
  if (lines.empty()) return "<p>No line is configured: pages wait in the queue.</p>";
  std::string out =
      "<div class=\"box\"><table><tr><th>Gateway</th><th>Line</th><th>Doing</th><th>Pages</th>"
      "<th>Calls</th></tr>";
  for (const LineState& l : lines) {
    std::string pages;
    for (queue::PageId id : l.pages) pages += (pages.empty() ? "" : " ") + std::to_string(id);
    std::string doing = l.state;
    if (l.state == "resting") doing += " until " + Clock(l.rest_until);
    if (!l.seen) doing = "not seen for " + std::to_string(static_cast<long>(l.age_s)) + " s";
    out += "<tr>" + Cell(l.gateway) + Cell(l.name) + Cell(doing, l.seen ? "" : "refused") +
           Cell(pages) + Cell(std::to_string(l.calls)) + "</tr>";
  }
  return out + "</table></div>";
}

std::string PagesTable(const std::vector<queue::Page>& pages, const char* none) {
  if (pages.empty()) return std::string("<p>") + none + "</p>";
  std::string out =
      "<div class=\"box\"><table><tr><th>#</th><th>Queued</th><th>To</th><th>Text</th>"
      "<th>State</th><th>Tries</th><th>Last reason</th></tr>";
  for (const queue::Page& p : pages) {
    const std::string state = queue::StateName(p.state);
    out += "<tr>" + Cell(std::to_string(p.id)) + Cell(Clock(p.queued_at)) +
           Cell(p.pin + " " + p.fname + " " + p.lname) + Cell(Short(p.text)) +
           Cell(state + (p.held ? " (held)" : ""), state.substr(0, state.find(' '))) +
           Cell(std::to_string(p.attempts.size())) + Cell(p.last_reason) + "</tr>";
  }
  return out + "</table></div>";
}

}  // namespace

std::string StatusPageHtml(const StatusView& view) {
  const std::string refresh = std::to_string(view.refresh_s);
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<meta http-equiv=\"refresh\" content=\"" +
         refresh +
         "\">"
         "<title>Zentrel gateway</title><style>" +
         kStyle +
         "</style></head><body>"
         "<h1>Zentrel gateway</h1><p class=\"note\">" +
         Escape(Clock(view.now)) + " UTC &middot; version " + Escape(view.version) +
         " &middot; reloads every " + refresh + " s</p><h2>Lines</h2>" + LinesTable(view.lines) +
         "<h2>Waiting (" + std::to_string(view.waiting.size()) + ")</h2>" +
         PagesTable(view.waiting, "No page is waiting.") + "<h2>Last 50 pages</h2>" +
         PagesTable(view.newest, "No page yet.") + "</body></html>\n";
}

}  // namespace zentrel::gateway
