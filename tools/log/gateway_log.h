// zentrel-log's gateway part, kept out of main.cpp: the --queue and
// --gateway options, the section of gateway pages after the page log's table
// (when the queue file exists), and --gateway's listing of those pages alone.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "journal/page_log.h"

namespace zentrel {

struct GatewayLogArgs {
  std::string queue_path;
  CLI::Option* queue_opt = nullptr;
  bool only = false;  // --gateway
};

void AddGatewayLogOptions(CLI::App& app, GatewayLogArgs& args);

// The table's second part: "" when the default queue file does not exist.
// Throws QueueFileError when a queue file cannot be read.
std::string GatewaySection(const GatewayLogArgs& args, const PageFilter& filter);

// --gateway: the gateway's pages alone, as a table, CSV or JSON.
std::string GatewayListing(const GatewayLogArgs& args, const PageFilter& filter, bool csv,
                           bool json);

}  // namespace zentrel
