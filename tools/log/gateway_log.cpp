// A missing queue file is no error unless it was named: most users run no
// gateway, and their zentrel-log stays as it was.
#include "tools/log/gateway_log.h"

#include <filesystem>

#include "queue/page_queue.h"
#include "tools/log/gateway_format.h"
#include "tools/log/gateway_pages.h"

namespace zentrel {

void AddGatewayLogOptions(CLI::App& app, GatewayLogArgs& args) {
  args.queue_path = queue::DefaultQueuePath();
  args.queue_opt =
      app.add_option("--queue", args.queue_path,
                     "the gateway's queue file, or the postgresql:// address gateways share")
          ->capture_default_str();
  app.add_flag("--gateway", args.only, "only the gateway's pages, with their attempts");
}

std::string GatewaySection(const GatewayLogArgs& args, const PageFilter& filter) {
  std::error_code ec;
  if (!*args.queue_opt && !std::filesystem::exists(args.queue_path, ec)) return "";
  const auto pages = ReadGatewayPages(args.queue_path, filter);
  if (pages.empty()) return "";
  return "\nThe gateway's pages (" + queue::ShownAddress(args.queue_path) + "):\n" +
         GatewayTable(pages);
}

std::string GatewayListing(const GatewayLogArgs& args, const PageFilter& filter, bool csv,
                           bool json) {
  const auto pages = ReadGatewayPages(args.queue_path, filter);
  return csv ? GatewayCsv(pages) : json ? GatewayJson(pages) : GatewayTable(pages);
}

}  // namespace zentrel
