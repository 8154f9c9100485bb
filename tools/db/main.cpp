// zentrel-db: makes and fills the database file that Zentrel reads
// (Zentrel itself never creates one). Subcommands: init, demo, import,
// export, list; FILE defaults to vp.mdb in the current directory.
#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <sstream>

#include "db_file.h"
#include "listing.h"
#include "recipients_csv.h"
#include "store/dao.h"
#include "tool_error.h"
#include "tools/program_cli.h"

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw zentrel::dbtool::ToolError(path + " cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zentrel::dbtool;
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
  bool allow_duplicates = false;
  import->add_flag("--allow-duplicates", allow_duplicates,
                   "import a PIN that is already in the file or the table");
  auto* exporter = app.add_subcommand("export", "write the recipients as CSV to standard output");
  exporter->add_option("--db", db, "database file")->capture_default_str();
  auto* list = app.add_subcommand("list", "show the recipients and stored messages");
  list->add_option("--db", db, "database file")->capture_default_str();

  CLI11_PARSE(app, argc, argv);
  try {
    if (init->parsed()) InitDatabase(db);
    if (demo->parsed()) MakeDemoDatabase(db);
    if (import->parsed()) {
      const std::size_t added = ImportRecipients(db, ReadWholeFile(csv), allow_duplicates);
      std::cout << "Imported " << added << " recipients into " << db << "\n";
    }
    if (exporter->parsed()) ExportRecipients(db, std::cout);
    if (list->parsed()) ListDatabase(db, std::cout);
  } catch (const std::exception& e) {
    std::cerr << "zentrel-db: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
