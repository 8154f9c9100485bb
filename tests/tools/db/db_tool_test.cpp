// The database tool: init makes a file the store opens and never overwrites
// one, demo fills it, import is all or nothing, export and import round
// trip, and the zentrel-db program itself runs demo and list.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "db_file.h"
#include "listing.h"
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
  set.Close();
  std::ofstream(Path("keep.mdb")) << "precious";
  EXPECT_THROW(InitDatabase(Path("keep.mdb")), ToolError);
  EXPECT_THROW(MakeDemoDatabase(path), ToolError);
  std::ifstream in(Path("keep.mdb"));
  std::string kept((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(kept, "precious");
}

TEST_F(DbTool, DemoHoldsRecipientsAndMessages) {
  const std::string path = Path("vp.mdb");
  MakeDemoDatabase(path);
  std::ostringstream listing;
  ListDatabase(path, listing);
  EXPECT_NE(listing.str().find("Recipients: 4"), std::string::npos) << listing.str();
  EXPECT_NE(listing.str().find("Stored messages: 3"), std::string::npos);
  CZTSet set(nullptr, path);
  set.m_strFilter = "pin = '1001'";
  set.Open();
  ASSERT_EQ(set.GetRecordCount(), 1);
  EXPECT_EQ(set.m_pagephone, "5551234");
}

TEST_F(DbTool, ImportIsAllOrNothingAndRoundTripsWithExport) {
  const std::string path = Path("vp.mdb");
  InitDatabase(path);
  const std::string good =
      "pin,fname,lname,pagephone\n1001,Ann,Lee,5551234\nO'Neil,\"Sm, J\",\"say \"\"hi\"\"\","
      "555\n";
  EXPECT_EQ(ImportRecipients(path, good), 2u);
  const std::string exported = Export(path);
  EXPECT_EQ(exported, good);
  const std::string bad[] = {
      "pin,fname,lname,pagephone\n1,a,b,c\n2,a,b\n",        // a short line
      "pin,fname,lname,pagephone\n1,a,b,\"c\n",             // a broken quote
      "pin,name,x,y\n1,a,b,c\n",                            // a wrong header
      "",                                                   // no header
  };
  for (const auto& csv : bad) {
    SCOPED_TRACE(csv);
    EXPECT_THROW(ImportRecipients(path, csv), ToolError);
  }
  EXPECT_EQ(Export(path), good);
  const std::string copy = Path("copy.mdb");
  InitDatabase(copy);
  ImportRecipients(copy, "\xEF\xBB\xBF" + exported);  // as some spreadsheets save it
  EXPECT_EQ(Export(copy), good);
  EXPECT_THROW(ImportRecipients(Path("missing.mdb"), good), CDaoException);
  EXPECT_FALSE(std::filesystem::exists(Path("missing.mdb")));
}

TEST_F(DbTool, ProgramRunsDemoThenList) {
  const std::string path = Path("vp.mdb");
  const std::string tool = ZENTREL_DB_PROGRAM;
  ASSERT_EQ(std::system((tool + " demo '" + path + "'").c_str()), 0);
  const std::string out = Path("list.txt");
  ASSERT_EQ(std::system((tool + " list --db '" + path + "' > '" + out + "'").c_str()), 0);
  std::ifstream in(out);
  const std::string listing((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(listing.find("PIN 1001"), std::string::npos) << listing;
  EXPECT_NE(std::system((tool + " init '" + path + "' 2>/dev/null").c_str()), 0);
  EXPECT_NE(std::system((tool + " list --db '" + Path("none.mdb") + "' 2>/dev/null").c_str()), 0);
}

}  // namespace
}  // namespace zentrel::dbtool
