// zentrel-db: makes and fills the database file that Zentrel reads
// (Zentrel itself never creates one). Subcommands: init, demo, import,
// export, list, delete; FILE defaults to vp.mdb in the current directory.
#include <CLI/CLI.hpp>

#include <iostream>

#include "base/bounded_file.h"
#include "base/terminal_text.h"
#include "db_file.h"
#include "listing.h"
#include "recipient_delete.h"
#include "recipients_csv.h"
#include "store/dao.h"
#include "tool_error.h"
#include "tools/program_cli.h"

namespace {

// A CSV of 100,000 recipients is a few MiB; a file this size is no list.
constexpr std::size_t kMaxCsvBytes = 64 * 1024 * 1024;

std::string ReadCsvFile(const std::string& path) {
  zentrel::BoundedText file = zentrel::ReadBoundedFile(path, kMaxCsvBytes, "the CSV file");
  if (!file.error.empty()) throw zentrel::dbtool::ToolError(file.error + "; nothing was imported");
  return std::move(file.text);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zentrel::dbtool;
  using zentrel::TerminalSafe;
  CLI::App app{"Makes and fills Zentrel's database file."};
  zentrel::UseProgramConventions(app, "zentrel-db");
  app.require_subcommand(1);
  std::string db = "vp.mdb";
  std::string csv;

  auto* init = app.add_subcommand("init", "create FILE with empty tables (never overwrites)");
  init->add_option("FILE", db, "database file")->capture_default_str();
  auto* demo = app.add_subcommand("demo", "create FILE with a few recipients and messages");
  demo->add_option("FILE", db, "database file")->capture_default_str();
  auto* import = app.add_subcommand("import", "add the recipients of a CSV file");
  import->add_option("CSV", csv, "pin,fname,lname,pagephone with a header line")->required();
  import->add_option("--db", db, "database file")->capture_default_str();
  ImportRules rules;
  import->add_flag("--allow-duplicates", rules.allow_duplicates,
                   "import a PIN that is already in the file or the table");
  import->add_flag("--allow-unpageable", rules.allow_unpageable,
                   "import rows a page could not go to (empty or long PIN, bad number), each said");
  auto* exporter = app.add_subcommand("export", "write the recipients as CSV to standard output");
  exporter->add_option("--db", db, "database file")->capture_default_str();
  auto* list = app.add_subcommand("list", "show the recipients and stored messages");
  list->add_option("--db", db, "database file")->capture_default_str();
  auto* remove = app.add_subcommand("delete", "delete the recipient with a PIN");
  std::string pin;
  bool all = false;
  remove->add_option("PIN", pin, "the recipient's PIN")->required();
  remove->add_option("--db", db, "database file")->capture_default_str();
  remove->add_flag("--all", all, "delete every recipient with the PIN when several have it");

  CLI11_PARSE(app, argc, argv);
  try {
    if (init->parsed()) InitDatabase(db);
    if (demo->parsed()) MakeDemoDatabase(db);
    if (import->parsed()) {
      std::vector<std::string> notes;
      const std::size_t added = ImportRecipients(db, ReadCsvFile(csv), rules, &notes);
      for (const std::string& note : notes)
        std::cerr << "zentrel-db: " << TerminalSafe(note) << "\n";
      std::cout << "Imported " << added << " recipients into " << db << "\n";
    }
    if (exporter->parsed()) ExportRecipients(db, std::cout);
    if (list->parsed()) ListDatabase(db, std::cout);
    if (remove->parsed()) std::cout << TerminalSafe(DeleteRecipient(db, pin, all)) << "\n";
  } catch (const std::exception& e) {
    std::cerr << "zentrel-db: " << TerminalSafe(e.what()) << "\n";
    return 1;
  }
  return 0;
}
