// The database tool: init makes a file the store opens and never overwrites
// one, import is all or nothing, export and import round trip, and the
// zentrel-db program itself runs demo and list.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "db_file.h"
#include "recipients_csv.h"
#include "store/dao.h"
#include "tool_error.h"

namespace zentrel::dbtool {
namespace {

class DbTool : public ::testing::Test {
 protected:
  DbTool() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zt-dbtool-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
  }
  ~DbTool() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name));
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  std::string Export(const std::string& db) {
    std::ostringstream out;
    ExportRecipients(db, out);
    return out.str();
  }

  std::filesystem::path dir_;
};

TEST_F(DbTool, InitMakesAnEmptyFileTheStoreOpensAndNeverOverwrites) {
  const std::string path = Path("vp.mdb");
  InitDatabase(path);
  CZTSet set(nullptr, path);
  set.Open();
  EXPECT_EQ(set.GetRecordCount(), 0);
  std::ofstream(Path("keep.mdb")) << "precious";
  EXPECT_THROW(InitDatabase(Path("keep.mdb")), ToolError);
  EXPECT_THROW(MakeDemoDatabase(path), ToolError);
  EXPECT_EQ(Read("keep.mdb"), "precious");
}

TEST_F(DbTool, ImportIsAllOrNothingAndRoundTripsWithExport) {
  const std::string path = Path("vp.mdb");
  InitDatabase(path);
  const std::string good =
      "pin,fname,lname,pagephone\n1001,Ann,Lee,5551234\nO'Neil,\"Sm, J\",\"say \"\"hi\"\"\","
      "555\n";
  EXPECT_EQ(ImportRecipients(path, good), 2u);
  EXPECT_EQ(Export(path), good);
  const std::string bad[] = {
      "pin,fname,lname,pagephone\n1,a,b,c\n2,a,b\n",  // a short line
      "pin,fname,lname,pagephone\n1,a,b,\"c\n",       // a broken quote
      "pin,name,x,y\n1,a,b,c\n",                      // a wrong header
      "",                                             // no header
  };
  for (const auto& csv : bad) {
    EXPECT_THROW(ImportRecipients(path, csv), ToolError) << csv;
  }
  EXPECT_EQ(Export(path), good);
  const std::string copy = Path("copy.mdb");
  InitDatabase(copy);
  ImportRecipients(copy, "\xEF\xBB\xBF" + good);  // as some spreadsheets save it
  EXPECT_EQ(Export(copy), good);
  EXPECT_THROW(ImportRecipients(Path("missing.mdb"), good), CDaoException);
  EXPECT_FALSE(std::filesystem::exists(Path("missing.mdb")));
}

TEST_F(DbTool, ProgramMakesADemoFileAndListsIt) {
  const std::string path = Path("vp.mdb");
  const std::string tool = ZENTREL_DB_PROGRAM;
  ASSERT_EQ(std::system((tool + " demo '" + path + "'").c_str()), 0);
  const std::string list = tool + " list --db '" + path + "' > '" + Path("list.txt") + "'";
  ASSERT_EQ(std::system(list.c_str()), 0);
  const std::string listing = Read("list.txt");
  for (const char* line : {"Recipients: 4", "PIN 1001", "Stored messages: 3"}) {
    EXPECT_NE(listing.find(line), std::string::npos) << line << " in:\n" << listing;
  }
  CZTSet set(nullptr, path);
  set.m_strFilter = "pin = '1001'";
  set.Open();
  ASSERT_EQ(set.GetRecordCount(), 1);
  EXPECT_EQ(set.m_pagephone, "5551234");
  EXPECT_NE(std::system((tool + " init '" + path + "' 2>/dev/null").c_str()), 0);
  EXPECT_NE(std::system((tool + " list --db '" + Path("none.mdb") + "' 2>/dev/null").c_str()), 0);
}

TEST_F(DbTool, ProgramShowsControlCharactersOfTheFileEscaped) {
  // A name from a file another person wrote, or a file's name, reaches the terminal with
  // its escape sequences spelt out, never run by the terminal.
  const std::string path = Path("vp.mdb");
  const std::string tool = ZENTREL_DB_PROGRAM;
  InitDatabase(path);
  ImportRecipients(path, "pin,fname,lname,pagephone\n2001,\x1b]0;owned\x07,Lee,5551234\n");
  const struct {
    const char* name;
    std::string command;
    const char* shown;
  } rows[] = {
      {"delete names the recipient", tool + " delete 2001 --db '" + path + "'",
       "\\x1b]0;owned\\x07"},
      {"a missing file is named", tool + " list --db '" + Path("no\x1b[2J.mdb") + "'",
       "no\\x1b[2J.mdb"},
  };
  for (const auto& row : rows) {
    std::system((row.command + " > '" + Path("out.txt") + "' 2>&1").c_str());
    const std::string out = Read("out.txt");
    EXPECT_EQ(out.find_first_of("\x1b\x07"), std::string::npos) << row.name << ": " << out;
    EXPECT_NE(out.find(row.shown), std::string::npos) << row.name << ": " << out;
  }
}

}  // namespace
}  // namespace zentrel::dbtool
