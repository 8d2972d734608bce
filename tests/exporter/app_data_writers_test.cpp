// The application data writers and the code table writer: which
// applications get which files, what an application without rows means to
// each member, writing in pieces, bytes as stored, and the traps.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "exporter/app_data_writers.h"
#include "exporter/export_context.h"
#include "exporter/export_results.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

using exporter::AppDataMemberOf;
using ::testing::StartsWith;

// The lines of a data file, sorted; text after the last line end fails.
std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  for (size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
    lines.push_back(text.substr(pos, end + 2 - pos));
  EXPECT_EQ(pos, text.size());
  std::sort(lines.begin(), lines.end());
  return lines;
}

class AppDataWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(tmp / "pack");
    ctx.DataConnection = store.connection();
    ctx.PackFolder = tmp / "pack";
  }
  bool Run(const std::string& table, const std::string& selection) {
    return ExportAppDataTable(ctx, r, AppDataMemberOf(table), selection);
  }
  std::string Read(const std::string& name) const { return ReadFile(ctx.PackFolder + "/" + name); }
  TempFolder tmp;
  StoreBuilder store = StoreBuilder::Empty(tmp / "store.db");
  exporter::ExportContext ctx{Env::Default()};
  exporter::ExportResults r;
};

TEST_F(AppDataWriters, EachApplicationGetsTheTablesOfItsKindAndBytesAsStored) {
  store.AddApplication("ERPB", 0);
  store.AddApplication("CRMX", 1);
  // Rows in tables the application's extn does not call for stay behind, as
  // do applications whose extn is neither 0 nor 1, even past 32 bits.
  store.Add("qzddi101", {{"appl", "CRMX"}});
  store.Add("qzddi100", {{"appl", "WIDE"}, {"extn", int64_t{1} << 32}});
  store.Add("qzddi100", {{"appl", "NOEX"}, {"extn", Value()}});
  for (const char* appl : {"ERPB", "WIDE", "NOEX"}) store.Add("qzddi150", {{"appl", appl}});
  for (const char* appl : {"CRMX", "WIDE", "NOEX"}) store.Add("qzlgy150", {{"appl", appl}});
  // A NULL last column ends the line in the separator.
  const std::string domain = store.Add("qzddi160", {{"appl", "CRMX"}, {"domn", "L\xC4ND"}, {"dsca", Value()}});
  for (const char* table : {"qzddi100", "qzddi101", "qzddi150", "qzddi160", "qzlgy150"})
    EXPECT_TRUE(Run(table, "ERPB|CRMX|WIDE|NOEX")) << table << r.Error.ErrorDescription;
  EXPECT_EQ(r.ApplicationList, "ERPB\r\nCRMX\r\nWIDE\r\nNOEX\r\n");
  EXPECT_EQ(r.DataFileList,
            "qzddi100ERPB.dat\r\nqzddi100CRMX.dat\r\nqzddi100WIDE.dat\r\nqzddi100NOEX.dat\r\nqzddi101ERPB.dat\r\n"
            "qzddi150CRMX.dat\r\nqzddi160CRMX.dat\r\nqzlgy150ERPB.dat\r\n");
  EXPECT_EQ(SortedLines(Read("qzddi160CRMX.dat")), (std::vector<std::string>{domain, "CRMX\1YN\1Y\1Yes\r\n"}));
  EXPECT_EQ(Read("qzddi100NOEX.dat"), "NOEX\1\1\1\1\r\n");
}

TEST_F(AppDataWriters, EachMemberAnswersAnApplicationWithoutRowsInItsOwnWay) {
  for (auto [appl, extn] : {std::pair{"ERPA", 0}, {"ERPC", 0}, {"ERPD", 0}, {"CRMA", 1}})
    store.Add("qzddi100", {{"appl", appl}, {"extn", extn}});
  store.AddApplication("ERPB", 0);
  store.AddObject("ERPB", 0, {"FI", "GL", "0010"});
  store.AddApplication("CRMB", 1);
  store.Add("qzlgy141", {{"appl", "ERPA"}, {"cpac", "FI"}, {"fldn", "ACCNO"}});
  store.Add("qzlgy140", {{"appl", "ERPC"}, {"cpac", "FI"}});
  // text "" with a number: the description left as it was; note: in the manifest.
  struct Row { std::string table, selection; bool result; int number; std::string text, data_files, note; };
  const Row rows[] = {
      // qzddi100 fails on an application it does not hold; what came before stays written and listed.
      {"qzddi100", "ERPB|NEW CRM|CRMB", false, 100, "Error : Qzddi100 - No Data Present with Applications's "
       "ERPB|NEW-CRM|CRMB", "qzddi100ERPB.dat\r\n", ""},
      {"qzddi150", "NEW CRM|CRMB", true, 7, "earlier", "qzddi150CRMB.dat\r\n", ""},  // the others pass it over
      {"qzddi101", "ERPA|OLD ERP", false, 101, "Error : Qzddi101 - No Data Present with Applications's ERPA|OLD-ERP", "", ""},
      {"qzddi140", "CRMA|OLD CRM", false, 140, "Error : Qzddi140 - No Data Present for Applications  CRMA|OLD-CRM", "", ""},
      {"qzddi150", "CRMA|OLD CRM", false, 150, "Error : Qzddi150 - No Data Present for Applications CRMA|OLD-CRM", "", ""},
      {"qzddi200", "CRMA|OLD CRM", false, 200, "Error : Qzddi200 - No Data Present for Applications CRMA|OLD-CRM", "", ""},
      {"qzddi220", "CRMA|OLD CRM", false, 220, "Error : Qzddi220 - No Data Present for Applications CRMA|OLD-CRM", "", ""},
      {"qzddi230", "CRMA|OLD CRM", false, 230, "Error : Qzddi230 - No Data Present for Applications CRMA|OLD-CRM", "", ""},
      {"qzlgy150", "ERPA|OLD ERP", true, 101, "Error : qzlgy150 - No Data Present with Applications's ERPA|OLD-ERP", "", ""},
      // A note, and the applications after it are not processed.
      {"qzddi160", "CRMA|CRMB", true, 7, "earlier", "", "\tQzddi160 - No Data Present for Applications \r\n"},
      {"qzddi160", "ERPB|CRMB", true, 7, "earlier", "qzddi160CRMB.dat\r\n", ""},
      // qzlgy141 answers for an application without qzlgy140 rows; the walk ends there.
      {"qzlgy140", "ERPA|ERPB", true, 7, "earlier", "qzlgy141ERPA.dat\r\n", ""},
      {"qzlgy140", "ERPC|ERPB", true, 101, "earlier", "qzlgy140ERPC.dat\r\nqzlgy140ERPB.dat\r\nqzlgy141ERPB.dat\r\n", ""},
      {"qzlgy140", "CRMA|ERPB|ERPD", false, 101, "Error : qzlgy140 and qzlgy141 - No Data Present with "
       "Applications's CRMA|ERPB|ERPD", "qzlgy140ERPB.dat\r\nqzlgy141ERPB.dat\r\n", ""},
      {"qzlgy141", "ERPC", false, 101, "earlier", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.table + " " + row.selection);
    std::filesystem::remove_all(ctx.PackFolder);
    std::filesystem::create_directory(ctx.PackFolder);
    r = {};
    r.Error.Set(7, "earlier");
    ctx.ManifestText.clear();
    EXPECT_EQ(Run(row.table, row.selection), row.result);
    EXPECT_EQ(r.Error.ErrorNumber, row.number);
    EXPECT_EQ(r.Error.ErrorDescription, row.text);
    EXPECT_EQ(r.DataFileList, row.data_files);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ctx.PackFolder), {}),
              std::count(row.data_files.begin(), row.data_files.end(), '\n'));
    EXPECT_EQ(ctx.ManifestText.str(), row.note);
  }
}

TEST_F(AppDataWriters, ALargeTableIsWrittenInPiecesIntoOneFile) {
  store.Add("qzddi100", {{"appl", "CRMX"}, {"extn", 1}});
  std::vector<std::string> lines = store.AddMany("qzddi150", 25000, [](int i) {
    return Named{{"appl", "CRMX"}, {"flno", std::to_string(i)}, {"fdsc", i % 7 ? Value("F\xA7" + std::to_string(i)) : Value()}};
  });
  std::vector<int64_t> reports;
  ctx.Progress = [&](const std::string& what, int64_t done) {
    if (what == "qzddi150CRMX.dat") reports.push_back(done);
  };
  ASSERT_TRUE(Run("qzddi150", "CRMX")) << r.Error.ErrorDescription;
  EXPECT_EQ(reports, (std::vector<int64_t>{10000, 20000, 25000}));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(SortedLines(Read("qzddi150CRMX.dat")), lines);
}

TEST_F(AppDataWriters, FailuresAreTrappedUnderTheMembersTag) {
  for (auto [appl, extn] : {std::pair{"CRMX", 1}, {"ERPB", 0}, {"../CRMX", 1}})
    store.Add("qzddi100", {{"appl", appl}, {"extn", extn}});
  store.Add("qzddi140", {{"appl", "../CRMX"}, {"cpac", "SD"}});
  store.Add("qzddi140", {{"appl", "CRMX"}, {"cpac", "SD"}, {"dsca", "two\r\nlines"}});
  // A row the format cannot carry, wherever it comes among more rows than a piece holds.
  store.AddMany("qzddi101", 12000, [](int i) { return Named{{"appl", "ERPB"}, {"flno", std::to_string(i)}}; });
  store.Add("qzddi101", {{"appl", "ERPB"}, {"flno", "99999"}, {"dsca", "two\r\nlines"}});
  struct Row { std::string table, selection, head, data_files; };
  const Row rows[] = {
      // The file is created, listed and left empty: no broken row is written.
      {"qzddi140", "CRMX", "UnSpecified Error: --Qzddi140--9013   ", "qzddi140CRMX.dat\r\n"},
      {"qzddi101", "ERPB", "UnSpecified Error: --Qzddi101--9013   ", "qzddi101ERPB.dat\r\n"},
      // A code that would leave the pack folder writes nothing.
      {"qzddi140", "../CRMX", "UnSpecified Error: --Qzddi140--9006   ", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.selection);
    r = {};
    EXPECT_FALSE(Run(row.table, row.selection));
    EXPECT_EQ(r.Error.ErrorNumber, 999);
    EXPECT_THAT(r.Error.ErrorDescription, StartsWith(row.head));
    EXPECT_EQ(r.DataFileList, row.data_files);
    if (!row.data_files.empty()) { EXPECT_EQ(Read(row.data_files.substr(0, row.data_files.size() - 2)), ""); }
  }
  EXPECT_FALSE(std::filesystem::exists(tmp / "qzddi140CRMX.dat"));

  ctx.DataConnection.reset();
  EXPECT_FALSE(Run("qzlgy150", "ERPB"));
  EXPECT_EQ(r.Error.ErrorDescription,
            "UnSpecified Error: --qzlgy150--91   Object variable or With block variable not set");
  EXPECT_FALSE(ExportCodes(ctx, r));
  EXPECT_EQ(r.Error.ErrorDescription,
            "UnSpecified Error: --Export Code--91   Object variable or With block variable not set");
}

}  // namespace
}  // namespace kestrel::testing
