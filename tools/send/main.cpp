// zentrel-send: sends one page from a command line, for scripts, monitoring
// systems and people without a desktop. Exit status 0 when the terminal
// accepted the page, 1 when it did not, 2 for bad usage or a store error.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "seriallink/trace.h"
#include "tools/send/message_file.h"
#include "tools/send/send_options.h"
#include "tools/send/send_page.h"

int main(int argc, char** argv) {
  using namespace zentrel;
  SendOptions options;
  std::string message, message_file, phone;
  CLI::App app{"Sends one page to a pager through the configured modem."};
  app.add_option("--pin", options.pin, "the recipient's PIN, as listed in the database")->required();
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
  app.add_option("--wake-interval-ms", options.timer_interval_ms,
                 "interval of the wake-up carriage returns")
      ->capture_default_str()
      ->check(CLI::Range(10, 60000))
      ->group("");
  try {
    app.parse(argc, argv);
    if (!*text_opt && !*file_opt) throw CLI::RequiredError("--message or --message-file");
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : kExitUsage;
  }
  if (*file_opt) {
    const MessageFile file = ReadMessageFile(message_file);
    if (!file.error.empty()) {
      std::fprintf(stderr, "zentrel-send: %s\n", file.error.c_str());
      return kExitUsage;
    }
    message = file.text;
  }
  options.message = AsMessageBoxText(message);
  if (*phone_opt) options.phone = phone;
  return SendPage(options, stdout, stderr);
}
