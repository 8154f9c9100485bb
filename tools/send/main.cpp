// zentrel-send: sends pages from a command line, for scripts, monitoring
// systems and people without a desktop. By default one page, as the form
// sends it; with --full-tap several pages in one call through the full TAP
// session; with --worker one call for the gateway (worker.h). Exit status 0
// when the terminal accepted every page, 1 when it did not, 2 for bad usage.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <iostream>
#include <stdexcept>

#include "delivery/full_tap_send.h"
#include "delivery/interruption.h"
#include "delivery/send_options.h"
#include "delivery/send_page.h"
#include "paging/line_text.h"
#include "seriallink/trace.h"
#include "tools/program_cli.h"
#include "tools/send/gateway_submit.h"
#include "tools/send/message_file.h"
#include "tools/send/pages_file.h"
#include "tools/send/worker.h"

namespace {

// The message as the line carries it, said on stderr when that changes it
// (naming the page's PIN when there are several): plain ASCII; line breaks
// stay for the TAP session (which sends them as the terminal takes them) and
// become spaces in the form's one block.
std::string ForTheLine(const std::string& message, bool full_tap, const std::string& pin = "") {
  const std::string notice = zentrel::LineAsciiNotice(message);
  const std::string whose = pin.empty() ? "" : "the page to " + pin + ": ";
  if (!notice.empty()) std::fprintf(stderr, "zentrel-send: %s%s\n", whose.c_str(), notice.c_str());
  return full_tap ? zentrel::ToLineAscii(message) : zentrel::PageMessageText(message);
}

struct MessageFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct FullTapArgs {
  bool on = false;
  std::vector<std::string> pages;  // PIN=TEXT
  std::string pages_file;
};

// The pages a --full-tap run sends, in the order given: each --pin with the
// message, then each --page, then the --pages file's lines.
std::vector<zentrel::PageOrder> Requests(const std::vector<std::string>& pins,
                                         const std::string& message, const std::string& typed,
                                         const FullTapArgs& tap) {
  using namespace zentrel;
  std::vector<PageOrder> requests;
  for (const auto& pin : pins) requests.push_back({pin, message, typed});
  for (const auto& page : tap.pages) {
    const auto eq = page.find('=');
    if (eq == std::string::npos || eq == 0) {
      throw CLI::ValidationError("--page", "expected PIN=TEXT: " + page);
    }
    const std::string pin = page.substr(0, eq);
    const std::string text = page.substr(eq + 1);
    requests.push_back({pin, ForTheLine(AsMessageBoxText(text), true, pin), text});
  }
  if (!tap.pages_file.empty()) {
    PagesFile file = ReadPagesFile(tap.pages_file);
    if (!file.error.empty()) throw CLI::ValidationError("--pages", file.error);
    for (auto& page : file.pages) {
      requests.push_back({page.pin, ForTheLine(page.text, true, page.pin), page.text});
    }
  }
  if (requests.empty()) throw CLI::RequiredError("--pin, --page or --pages");
  return requests;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zentrel;
  CatchInterruptions();
  SendOptions options;
  FullTapArgs tap;
  std::vector<std::string> pins;
  std::string message, typed, message_file, phone;
  CLI::App app{"Sends pages to pagers through the configured line."};
  UseProgramConventions(app, "zentrel-send");
  app.add_option("--pin", pins,
                 "the recipient's PIN, as listed in the database (with --full-tap: repeat it)");
  auto* text_opt = app.add_option("--message", message, "the message text");
  auto* file_opt = app.add_option("--message-file", message_file,
                                  "a text file holding the message (at most 64 KiB)");
  text_opt->excludes(file_opt);
  auto* phone_opt = app.add_option("--phone", phone, "dial this number instead of the recipient's");
  app.add_option("--db", options.db, "the database file")->capture_default_str();
  app.add_option("--timeout", options.timeout_seconds, "seconds before the call is ended")
      ->capture_default_str()
      ->check(CLI::Range(1, 86400));
  app.add_option("--wait", options.wait_seconds,
                 "seconds to wait for the line while other senders use it")
      ->capture_default_str()
      ->check(CLI::Range(0, 86400));
  app.add_flag("--trace", options.trace, "write the diagnostic trace to standard error");
  auto* wake_opt = app.add_option("--wake-interval-ms", options.timer_interval_ms,
                                  "interval of the wake-up carriage returns")
                       ->capture_default_str()
                       ->check(CLI::Range(10, 60000))
                       ->group("");
  auto* full =
      app.add_flag("--full-tap", tap.on, "several pages in one call, with the full TAP session");
  app.add_option("--page", tap.pages, "PIN=TEXT: one page (repeat it)")->needs(full);
  app.add_option("--pages", tap.pages_file, "a file of PIN<TAB>TEXT lines, one page each")
      ->check(CLI::ExistingFile)
      ->needs(full);
  app.add_flag("--split", options.split, "send a long message as several numbered pages")
      ->needs(full);
  app.add_option("--max-chars", options.max_chars, "a page's limit in characters")
      ->capture_default_str()
      ->check(CLI::Range(8, 10000))
      ->needs(full);
  app.add_flag("--json", options.json, "each page's outcome as JSON")->needs(full);
  GatewayArgs gateway;
  AddGatewayOptions(app, gateway);
  bool worker = false;
  app.add_flag("--worker", worker,
               "one call for the gateway: the batch on standard input, events on standard output");
  std::vector<PageOrder> requests;
  try {
    app.parse(argc, argv);
    if (worker) return RunWorker(STDIN_FILENO, stdout, stderr);
    const bool have_message = *text_opt || *file_opt;
    if (*file_opt) {
      const MessageFile file = ReadMessageFile(message_file);
      if (!file.error.empty()) throw MessageFileError(file.error);
      message = file.text;
    }
    typed = message;
    message = ForTheLine(AsMessageBoxText(message), tap.on);
    if (!pins.empty() && !have_message) throw CLI::RequiredError("--message or --message-file");
    if (tap.on) {
      requests = Requests(pins, message, typed, tap);
    } else if (pins.size() != 1) {
      throw CLI::ValidationError("--pin", "give one --pin (several need --full-tap)");
    }
    CheckGatewayOptions(app, gateway);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : kExitUsage;
  } catch (const MessageFileError& e) {
    std::fprintf(stderr, "zentrel-send: %s\n", e.what());
    return kExitUsage;
  }
  if (*phone_opt) options.phone = phone;
  if (UsesGateway(gateway)) {
    std::vector<GatewayPage> pages;
    if (!tap.on) requests = {{pins.front(), message, typed}};
    for (const auto& r : requests) pages.push_back({r.pin, r.text});
    return SubmitToGateway(gateway, options, pages, stdout, stderr);
  }
  if (tap.on) {
    if (*wake_opt)
      options.tap_timings.wake_interval = std::chrono::milliseconds(options.timer_interval_ms);
    return SendFullTap(options, requests, stdout, stderr);
  }
  options.pin = pins.front();
  options.message = message;
  options.typed = typed;
  return SendPage(options, stdout, stderr);
}
