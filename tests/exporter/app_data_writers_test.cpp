// The application data writers and the code table writer, on stores built
// for each case: which applications get which files, what an application
// without rows means to each member, writing in pieces, and the traps.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

#include "base/errors_ours.h"
#include "exporter/app_data_writers.h"
#include "exporter/writer_store.h"
#include "support/error_of.h"

namespace kestrel::testing {
namespace {

using namespace detail;

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  for (size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
    lines.push_back(text.substr(pos, end + 2 - pos));
  EXPECT_EQ(pos, text.size()) << "text after the last line end";
  std::sort(lines.begin(), lines.end());
  return lines;
}

class AppDataWritersTest : public WriterStoreTest {
 protected:
  // A base application with one row in each of its tables; returns the
  // expected content by file name.
  std::map<std::string, std::string> AddBase(const std::string& a) {
    std::map<std::string, std::string> files;
    files["qzddi100" + a + ".dat"] = AddApplication(a, 0, "Ledger base application");
    files["qzddi101" + a + ".dat"] = Add("qzddi101", {{"appl", a}, {"cpac", "FI"}, {"cmod", "GL"}, {"flno", "0010"},
                                                      {"dsca", "General ledger"}, {"rlen", "120"}});
    files["qzlgy140" + a + ".dat"] = Add("qzlgy140", {{"appl", a}, {"cpac", "FI"}, {"cmod", "GL"}, {"flno", "0010"},
                                                      {"dsca", "Ledger accounts"}, {"ftyp", "F"}});
    files["qzlgy141" + a + ".dat"] = Add("qzlgy141", {{"appl", a}, {"cpac", "FI"}, {"cmod", "GL"}, {"flno", "0010"},
                                                      {"fldn", "ACCNO"}, {"fdsc", "Account number"}, {"flen", "10"}});
    files["qzlgy150" + a + ".dat"] =
        Add("qzlgy150", {{"appl", a}, {"grpn", "FIN"}, {"dsca", "Finance"}, {"seqn", "1"}});
    return files;
  }

  // An extension application with one row in each of its tables.
  std::map<std::string, std::string> AddExtension(const std::string& a) {
    std::map<std::string, std::string> files;
    files["qzddi100" + a + ".dat"] = AddApplication(a, 1, "CRM extension");
    files["qzddi140" + a + ".dat"] = Add("qzddi140", {{"appl", a}, {"cpac", "SD"}, {"cmod", "CU"}, {"flno", "0001"},
                                                      {"dsca", "Customers"}, {"ftyp", "T"}});
    files["qzddi150" + a + ".dat"] =
        Add("qzddi150", {{"appl", a}, {"cpac", "SD"}, {"cmod", "CU"}, {"flno", "0001"}, {"fldn", "KUNNR"},
                         {"fdsc", "Kunden\xE4nderung"}, {"ftyp", "C"}, {"flen", "10"}});
    // The last column NULL: the line ends in the separator.
    files["qzddi160" + a + ".dat"] = Add("qzddi160", {{"appl", a}, {"domn", "LAND"}, {"dval", "DE"}, {"dsca", Value()}});
    files["qzddi200" + a + ".dat"] = Add("qzddi200", {{"appl", a}, {"cpac", "SD"}, {"cmod", "CU"}, {"flno", "0001"},
                                                      {"kseq", "1"}, {"fldn", "KUNNR"}});
    files["qzddi220" + a + ".dat"] = Add("qzddi220", {{"appl", a}, {"cpac", "SD"}, {"cmod", "CU"}, {"flno", "0001"},
                                                      {"rpac", "SD"}, {"rmod", "OR"}, {"rfln", "0002"}});
    files["qzddi230" + a + ".dat"] = Add("qzddi230", {{"appl", a}, {"grpn", "SALES"}, {"cpac", "SD"}, {"cmod", "CU"},
                                                      {"flno", "0001"}, {"seqn", "1"}});
    return files;
  }

  // Runs the writer of `table` on the selection.
  bool Run(const std::string& table, const std::string& selection) {
    return ExportAppDataTable(ctx_, r_, AppDataMemberOf(table), selection);
  }
};

// The members in the order the single-profile export calls them.
const std::vector<std::string> kFamily = {"qzddi100", "qzddi101", "qzddi140", "qzddi150", "qzddi160",
                                          "qzddi200", "qzddi220", "qzddi230", "qzlgy140", "qzlgy150"};

TEST(AppDataMembers, OnlyApplicationTablesHaveAWriter) {
  for (const std::string& table : kFamily) EXPECT_NO_THROW(AppDataMemberOf(table)) << table;
  EXPECT_NO_THROW(AppDataMemberOf("qzlgy141"));
  for (const char* name : {"qzmap120", "QZDDI100", "qzddi", "qzlgy115", ""}) {
    ComError err = kestrel::testing::CaughtFrom([&] { AppDataMemberOf(name); });
    EXPECT_EQ(err.number(), Number(Ours::Internal)) << name;
  }
}

TEST_F(AppDataWritersTest, BaseAndExtensionApplicationsGetTheirOwnTables) {
  auto expected = AddBase("ERPB");
  expected.merge(AddExtension("CRMX"));
  // Rows in tables the application's extn does not call for stay behind.
  Add("qzddi140", {{"appl", "ERPB"}, {"cpac", "FI"}, {"cmod", "GL"}, {"flno", "0010"}});
  Add("qzddi101", {{"appl", "CRMX"}, {"cpac", "SD"}, {"cmod", "CU"}, {"flno", "0001"}});
  Add("qzlgy150", {{"appl", "CRMX"}, {"grpn", "SALES"}});

  for (const auto& table : kFamily) EXPECT_TRUE(Run(table, "ERPB|CRMX")) << table << r_.Error.ErrorDescription;

  EXPECT_EQ(r_.Error.ErrorNumber, 0);
  EXPECT_EQ(r_.ApplicationList, "ERPB\r\nCRMX\r\n");
  EXPECT_EQ(r_.DataFileList,
            "qzddi100ERPB.dat\r\nqzddi100CRMX.dat\r\nqzddi101ERPB.dat\r\nqzddi140CRMX.dat\r\nqzddi150CRMX.dat\r\n"
            "qzddi160CRMX.dat\r\nqzddi200CRMX.dat\r\nqzddi220CRMX.dat\r\nqzddi230CRMX.dat\r\nqzlgy140ERPB.dat\r\n"
            "qzlgy141ERPB.dat\r\nqzlgy150ERPB.dat\r\n");
  EXPECT_EQ(ctx_.ManifestText, "");
  std::set<std::string> names;
  for (const auto& [name, content] : expected) {
    names.insert(name);
    EXPECT_EQ(Read(name), content) << name;
  }
  EXPECT_EQ(PackFiles(), names);
  EXPECT_EQ(Read("qzddi160CRMX.dat"), "CRMX\x01LAND\x01" "DE\x01\r\n");
  EXPECT_EQ(Read("qzddi100ERPB.dat"), "ERPB\x01Ledger base application\x01" "4.2\x01" "2024-03-18 09:30:00\x01" "0\r\n");
}

TEST_F(AppDataWritersTest, AnApplicationMissingFromQzddi100FailsOnlyQzddi100) {
  AddBase("ERPB");
  AddExtension("CRMX");

  EXPECT_FALSE(Run("qzddi100", "ERPB|NEW CRM|CRMX"));
  EXPECT_EQ(r_.Error.ErrorNumber, 100);
  EXPECT_EQ(r_.Error.ErrorDescription, "Error : Qzddi100 - No Data Present with Applications's ERPB|NEW-CRM|CRMX");
  // What came before the missing application stays written and listed.
  EXPECT_EQ(r_.ApplicationList, "ERPB\r\n");
  EXPECT_EQ(r_.DataFileList, "qzddi100ERPB.dat\r\n");
  EXPECT_EQ(PackFiles(), (std::set<std::string>{"qzddi100ERPB.dat"}));

  r_.Error.Clear();
  for (const auto& table : kFamily) {
    if (table == "qzddi100") continue;
    EXPECT_TRUE(Run(table, "NEW CRM|ERPB|CRMX")) << table;
  }
  EXPECT_EQ(r_.Error.ErrorNumber, 0);
  EXPECT_EQ(PackFiles().size(), 1u + 4 + 6);  // nothing for the missing one, all for the others
  EXPECT_TRUE(Exists("qzddi230CRMX.dat"));
  EXPECT_TRUE(Exists("qzlgy150ERPB.dat"));
}

TEST_F(AppDataWritersTest, EachMemberReportsAnApplicationWithoutRowsInItsOwnWords) {
  AddApplication("ERPB", 0, "Ledger base application");
  AddApplication("CRMX", 1, "CRM extension");
  struct Case {
    std::string table;
    std::string selection;
    bool result;
    int32_t number;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"qzddi101", "ERPB|OLD ERP", false, 101, "Error : Qzddi101 - No Data Present with Applications's ERPB|OLD-ERP"},
      {"qzddi140", "CRMX|OLD CRM", false, 140, "Error : Qzddi140 - No Data Present for Applications  CRMX|OLD-CRM"},
      {"qzddi150", "CRMX|OLD CRM", false, 150, "Error : Qzddi150 - No Data Present for Applications CRMX|OLD-CRM"},
      {"qzddi200", "CRMX|OLD CRM", false, 200, "Error : Qzddi200 - No Data Present for Applications CRMX|OLD-CRM"},
      {"qzddi220", "CRMX|OLD CRM", false, 220, "Error : Qzddi220 - No Data Present for Applications CRMX|OLD-CRM"},
      {"qzddi230", "CRMX|OLD CRM", false, 230, "Error : Qzddi230 - No Data Present for Applications CRMX|OLD-CRM"},
      {"qzlgy150", "ERPB|OLD ERP", true, 101, "Error : qzlgy150 - No Data Present with Applications's ERPB|OLD-ERP"},
      {"qzlgy140", "ERPB|OLD ERP", false, 101,
       "Error : qzlgy140 and qzlgy141 - No Data Present with Applications's ERPB|OLD-ERP"},
  };
  for (const auto& c : cases) {
    r_.Error.Clear();
    EXPECT_EQ(Run(c.table, c.selection), c.result) << c.text;
    EXPECT_EQ(r_.Error.ErrorNumber, c.number) << c.text;
    EXPECT_EQ(r_.Error.ErrorDescription, c.text);
  }
  EXPECT_EQ(r_.DataFileList, "");
  EXPECT_TRUE(PackFiles().empty());
  EXPECT_EQ(ctx_.ManifestText, "");
}

TEST_F(AppDataWritersTest, AnExtensionWithoutQzddi160RowsLeavesANoteAndEndsTheTable) {
  AddApplication("CRMA", 1, "CRM extension A");
  AddExtension("CRMB");
  r_.Error.Set(7, "earlier");

  EXPECT_TRUE(Run("qzddi160", "CRMA|CRMB"));
  EXPECT_EQ(ctx_.ManifestText, "\tQzddi160 - No Data Present for Applications \r\n");
  EXPECT_FALSE(Exists("qzddi160CRMB.dat"));  // the applications after it are not processed
  EXPECT_EQ(r_.DataFileList, "");
  EXPECT_EQ(r_.Error.ErrorNumber, 7);

  // An application the member does not serve is passed over, not an end.
  EXPECT_TRUE(Run("qzddi160", "ERPB|CRMB"));
  EXPECT_TRUE(Exists("qzddi160CRMB.dat"));
}

TEST_F(AppDataWritersTest, Qzlgy141TravelsWithQzlgy140) {
  // Only qzlgy141 rows: its file alone, and true; the applications after it
  // are not processed.
  AddApplication("ERPA", 0, "Base A");
  std::string only141 = Add("qzlgy141", {{"appl", "ERPA"}, {"cpac", "FI"}, {"fldn", "ACCNO"}});
  AddBase("ERPB");
  EXPECT_TRUE(Run("qzlgy140", "ERPA|ERPB"));
  EXPECT_EQ(PackFiles(), (std::set<std::string>{"qzlgy141ERPA.dat"}));
  EXPECT_EQ(Read("qzlgy141ERPA.dat"), only141);
  EXPECT_EQ(r_.DataFileList, "qzlgy141ERPA.dat\r\n");
}

TEST_F(AppDataWritersTest, Qzlgy140RowsWithoutQzlgy141GoOnToTheNextApplication) {
  AddApplication("ERPA", 0, "Base A");
  Add("qzlgy140", {{"appl", "ERPA"}, {"cpac", "FI"}});
  AddBase("ERPB");

  EXPECT_TRUE(Run("qzlgy140", "ERPA|ERPB"));
  EXPECT_EQ(r_.DataFileList, "qzlgy140ERPA.dat\r\nqzlgy140ERPB.dat\r\nqzlgy141ERPB.dat\r\n");
  // The companion's own answer is left standing: the number alone.
  EXPECT_EQ(r_.Error.ErrorNumber, 101);
  EXPECT_EQ(r_.Error.ErrorDescription, "");
}

TEST_F(AppDataWritersTest, NeitherQzlgy140NorQzlgy141RowsEndTheWalkWithFailure) {
  AddApplication("ERPC", 0, "Base C");
  AddBase("ERPB");

  EXPECT_FALSE(Run("qzlgy140", "ERPC|ERPB"));
  EXPECT_EQ(r_.Error.ErrorNumber, 101);
  EXPECT_EQ(r_.Error.ErrorDescription, "Error : qzlgy140 and qzlgy141 - No Data Present with Applications's ERPC|ERPB");
  EXPECT_TRUE(PackFiles().empty());

  r_.Error.Clear();
  EXPECT_FALSE(Run("qzlgy141", "ERPC"));
  EXPECT_EQ(r_.Error.ErrorNumber, 101);
  EXPECT_EQ(r_.Error.ErrorDescription, "");
}

TEST_F(AppDataWritersTest, ALargeTableIsWrittenInPiecesIntoOneFile) {
  AddApplication("CRMX", 1, "CRM extension");
  std::vector<std::string> lines = AddMany("qzddi150", 25000, [](int i) {
    char field[16];
    std::snprintf(field, sizeof field, "F%05d", i);
    return Named{{"appl", "CRMX"}, {"cpac", "SD"}, {"cmod", "CU"}, {"flno", std::to_string(i / 100)},
                 {"fldn", std::string(field)}, {"fdsc", i % 7 == 0 ? Value() : Value("Field " + std::string(field))},
                 {"ftyp", "C"}, {"flen", "10"}};
  });
  std::vector<int64_t> pieces;
  ctx_.Progress = [&](const std::string& what, int64_t done) {
    if (what == "qzddi150CRMX.dat") pieces.push_back(done);
  };

  ASSERT_TRUE(Run("qzddi150", "CRMX")) << r_.Error.ErrorDescription;
  EXPECT_EQ(pieces, (std::vector<int64_t>{10000, 20000, 25000}));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(SortedLines(Read("qzddi150CRMX.dat")), lines);
  EXPECT_EQ(r_.DataFileList, "qzddi150CRMX.dat\r\n");
}

TEST_F(AppDataWritersTest, ATableWrittenAtOnceIsTheSameFileAndEmptyWhenARowIsRefused) {
  AddApplication("ERPB", 0, "Ledger base application");
  auto row = [](int i) {
    char flno[16];
    std::snprintf(flno, sizeof flno, "%05d", i);
    return Named{{"appl", "ERPB"}, {"cpac", "FI"}, {"cmod", "GL"}, {"flno", std::string(flno)},
                 {"dsca", i % 9 == 0 ? Value() : Value("Ledger file " + std::string(flno))}, {"rlen", "120"}};
  };
  std::vector<std::string> lines = AddMany("qzddi101", 23000, row);
  std::vector<int64_t> reports;
  ctx_.Progress = [&](const std::string& what, int64_t done) {
    if (what == "qzddi101ERPB.dat") reports.push_back(done);
  };
  ASSERT_TRUE(Run("qzddi101", "ERPB")) << r_.Error.ErrorDescription;
  EXPECT_EQ(reports, (std::vector<int64_t>{23000}));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(SortedLines(Read("qzddi101ERPB.dat")), lines);

  // A row the format cannot carry, wherever it comes among more rows than a
  // piece holds: the file is there, listed and empty.
  r_.DataFileList.clear();
  Add("qzddi101", {{"appl", "ERPB"}, {"cpac", "FI"}, {"cmod", "GL"}, {"flno", "99999"}, {"dsca", "two\r\nlines"}});
  EXPECT_FALSE(Run("qzddi101", "ERPB"));
  EXPECT_EQ(r_.Error.ErrorNumber, 999);
  EXPECT_EQ(r_.Error.ErrorDescription.rfind("UnSpecified Error: --Qzddi101--9013   ", 0), 0u)
      << r_.Error.ErrorDescription;
  EXPECT_EQ(r_.DataFileList, "qzddi101ERPB.dat\r\n");
  EXPECT_EQ(Read("qzddi101ERPB.dat"), "");
}

TEST_F(AppDataWritersTest, FailuresAreTrappedUnderTheMembersTag) {
  AddApplication("CRMX", 1, "CRM extension");
  Add("qzddi140", {{"appl", "CRMX"}, {"cpac", "SD"}, {"dsca", "two\r\nlines"}});

  // A value the row format cannot carry: the file is created and listed, no
  // broken row is written.
  EXPECT_FALSE(Run("qzddi140", "CRMX"));
  EXPECT_EQ(r_.Error.ErrorNumber, 999);
  EXPECT_EQ(r_.Error.ErrorDescription.rfind("UnSpecified Error: --Qzddi140--9013   ", 0), 0u)
      << r_.Error.ErrorDescription;
  EXPECT_EQ(r_.DataFileList, "qzddi140CRMX.dat\r\n");
  EXPECT_EQ(Read("qzddi140CRMX.dat"), "");

  // No connection.
  ctx_.DataConnection.reset();
  EXPECT_FALSE(Run("qzlgy150", "ERPB"));
  EXPECT_EQ(r_.Error.ErrorDescription,
            "UnSpecified Error: --qzlgy150--91   Object variable or With block variable not set");
  EXPECT_FALSE(ExportCodes(ctx_, r_));
  EXPECT_EQ(r_.Error.ErrorDescription,
            "UnSpecified Error: --Export Code--91   Object variable or With block variable not set");
}

TEST_F(AppDataWritersTest, AnApplicationCodeThatWouldLeaveThePackFolderWritesNothing) {
  AddApplication("../CRMX", 1, "Stray code");
  Add("qzddi140", {{"appl", "../CRMX"}, {"cpac", "SD"}});

  EXPECT_FALSE(Run("qzddi140", "../CRMX"));
  EXPECT_EQ(r_.Error.ErrorNumber, 999);
  EXPECT_EQ(r_.Error.ErrorDescription.rfind("UnSpecified Error: --Qzddi140--9006   ", 0), 0u)
      << r_.Error.ErrorDescription;
  EXPECT_FALSE(std::filesystem::exists(tmp_.path() + "/qzddi140CRMX.dat"));
  EXPECT_TRUE(PackFiles().empty());
  EXPECT_EQ(r_.DataFileList, "");
}

TEST_F(AppDataWritersTest, CodesAreWrittenAsRowsAndAnEmptyTableLeavesANote) {
  EXPECT_TRUE(ExportCodes(ctx_, r_));
  EXPECT_TRUE(Exists("Qzlgy115.dat"));
  EXPECT_EQ(Read("Qzlgy115.dat"), "");
  EXPECT_EQ(r_.RuleFileList, "Qzlgy115.dat\r\n");
  EXPECT_EQ(ctx_.ManifestText, "\tNo Codes in the Conversion Table Present\r\n");
  EXPECT_EQ(r_.DataFileList, "");

  Add("qzlgy115", {{"code", "CURR"}, {"dsca", "Currency"}, {"ival", "DEM"}, {"oval", "EUR"}});
  Add("qzlgy115", {{"code", "LAND"}, {"dsca", Value()}, {"ival", "BRD"}, {"oval", "DE"}});
  r_.RuleFileList.clear();
  ctx_.ManifestText.clear();
  EXPECT_TRUE(ExportCodes(ctx_, r_));
  EXPECT_EQ(SortedLines(Read("Qzlgy115.dat")),
            (std::vector<std::string>{"CURR\x01" "Currency\x01" "DEM\x01" "EUR\r\n", "LAND\x01\x01" "BRD\x01" "DE\r\n"}));
  EXPECT_EQ(r_.RuleFileList, "Qzlgy115.dat\r\n");
  EXPECT_EQ(ctx_.ManifestText, "");
}

}  // namespace
}  // namespace kestrel::testing
