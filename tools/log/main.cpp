// zentrel-log: lists the page log (every page the form and zentrel-send
// tried, with its outcome and the terminal's words), filtered by time, PIN
// or failure, as a table, CSV or JSON. Exit 0, 1 when the log can't be read,
// 2 for bad usage.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <ctime>
#include <iostream>

#include "journal/page_log.h"
#include "tools/log/gateway_log.h"
#include "tools/log/gateway_pages.h"
#include "tools/log/log_format.h"
#include "tools/program_cli.h"

int main(int argc, char** argv) {
  using namespace zentrel;
  std::string path = DefaultPageLogPath(), since;
  PageFilter filter;
  bool csv = false, json = false;
  CLI::App app{"Lists the pages sent and tried, from the page log."};
  UseProgramConventions(app, "zentrel-log");
  app.add_option("--log", path, "the page log file")->capture_default_str();
  app.add_option("--since", since,
                 "from this UTC time (2026-12-07, '2026-12-07 08:30') or age (90m, 24h, 7d)");
  app.add_option("--pin", filter.pin, "only pages to this PIN");
  app.add_flag("--failed", filter.failed_only, "only pages that were not accepted");
  auto* csv_flag = app.add_flag("--csv", csv, "CSV with a header row");
  app.add_flag("--json", json, "a JSON array of records")->excludes(csv_flag);
  GatewayLogArgs gateway;
  AddGatewayLogOptions(app, gateway);
  try {
    app.parse(argc, argv);
    if (!since.empty()) {
      const auto time = SinceTime(since, std::time(nullptr));
      if (!time) throw CLI::ValidationError("--since", "not a time or an age: " + since);
      filter.since = *time;
    }
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  try {
    if (gateway.only) {
      std::cout << GatewayListing(gateway, filter, csv, json);
      return 0;
    }
    const PageLog log(path, 5000, LogAccess::kRead);
    const auto records = log.List(filter);
    std::cout << (csv ? AsCsv(records) : json ? AsJson(records) : AsTable(records));
    if (!csv && !json) std::cout << GatewaySection(gateway, filter);
    return 0;
  } catch (const JournalError& e) {
    std::fprintf(stderr, "zentrel-log: %s\n", e.what());
    return 1;
  } catch (const QueueFileError& e) {
    std::fprintf(stderr, "zentrel-log: %s\n", e.what());
    return 1;
  }
}
