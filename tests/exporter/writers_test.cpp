// The table writers of an export called on their own: which applications
// get which files and what each writer answers for one without rows, and the
// tags their traps carry. The ordinary rows of every table travel in the round
// trips (tests/roundtrip/).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <functional>

#include "exporter/app_data_writers.h"
#include "exporter/export_context.h"
#include "exporter/export_results.h"
#include "exporter/library_writers.h"
#include "exporter/rows_in_object_order.h"
#include "exporter/rule_table_writers.h"
#include "pack/component_text.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

using exporter::AppDataMemberOf;

class Writers : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.DataConnection = store.connection();
    ctx.PackFolder = tmp / "pack";
    Fresh();
  }
  // An empty pack folder and results holding an earlier error, which the
  // writers must leave alone unless they fail or note something.
  void Fresh() {
    std::filesystem::remove_all(ctx.PackFolder);
    std::filesystem::create_directory(ctx.PackFolder);
    r = {};
    r.Error.Set(7, "earlier");
    ctx.ManifestText.clear();
  }
  bool AppData(const std::string& table, const std::string& selection) {
    return ExportAppDataTable(ctx, r, AppDataMemberOf(table), selection);
  }
  bool Rules(const std::string& procedure, const std::string& profiles = "9 5") {
    return exporter::ExportRuleTable(ctx, r, exporter::RuleTableMemberOf(procedure), profiles, false);
  }
  std::string Read(const std::string& name) const { return ReadFile(ctx.PackFolder + "/" + name); }

  TempFolder tmp;
  StoreBuilder store = StoreBuilder::Empty(tmp / "store.db");
  exporter::ExportContext ctx{Env::Default()};
  exporter::ExportResults r;
};

// An application's extn says which tables it exports: 0 base, 1 extension,
// any other value (even past 32 bits, or NULL) none but its qzddi100 row.
TEST_F(Writers, EachApplicationGetsTheTablesOfItsKind) {
  for (auto [appl, extn] : {std::pair{"ERPB", 0}, {"CRMX", 1}}) store.AddApplication(appl, extn);
  store.Add("qzddi101", {{"appl", "CRMX"}});
  store.Add("qzddi100", {{"appl", "WIDE"}, {"extn", int64_t{1} << 32}});
  store.Add("qzddi100", {{"appl", "NOEX"}, {"extn", Value()}});
  for (const char* appl : {"ERPB", "WIDE", "NOEX"}) store.Add("qzddi150", {{"appl", appl}});
  for (const char* appl : {"CRMX", "WIDE", "NOEX"}) store.Add("qzlgy150", {{"appl", appl}});
  r = {};
  for (const char* table : {"qzddi100", "qzddi101", "qzddi150", "qzlgy150"})
    EXPECT_TRUE(AppData(table, "ERPB|CRMX|WIDE|NOEX")) << table << r.Error.text();
  EXPECT_EQ(r.ApplicationList, "ERPB\r\nCRMX\r\nWIDE\r\nNOEX\r\n");
  EXPECT_EQ(r.DataFileList, "qzddi100ERPB.dat\r\nqzddi100CRMX.dat\r\nqzddi100WIDE.dat\r\nqzddi100NOEX.dat\r\n"
                            "qzddi101ERPB.dat\r\nqzddi150CRMX.dat\r\nqzlgy150ERPB.dat\r\n");
  // A NULL last column ends the line in the separator.
  EXPECT_EQ(Read("qzddi100NOEX.dat"), "NOEX\1\1\1\1\r\n");
}

TEST_F(Writers, EachAppDataWriterAnswersAnApplicationWithoutRowsInItsOwnWay) {
  for (auto [appl, extn] : {std::pair{"ERPA", 0}, {"ERPC", 0}, {"ERPD", 0}, {"CRMA", 1}})
    store.Add("qzddi100", {{"appl", appl}, {"extn", extn}});
  store.AddApplication("ERPB", 0);
  store.AddObject("ERPB", 0, {"FI", "GL", "0010"});
  store.AddApplication("CRMB", 1);
  store.Add("qzlgy141", {{"appl", "ERPA"}, {"cpac", "FI"}, {"fldn", "ACCNO"}});
  store.Add("qzlgy140", {{"appl", "ERPC"}, {"cpac", "FI"}});
  // text "earlier": the description left as it was; note: in the manifest.
  struct Row { std::string table, selection; bool result; int number; std::string text, data_files = "", note = ""; };
  const Row rows[] = {
      // qzddi100 fails on an application it does not hold; what came before stays written and listed.
      {"qzddi100", "ERPB|NEW CRM|CRMB", false, 100, "Error : Qzddi100 - No Data Present with Applications's "
       "ERPB|NEW-CRM|CRMB", "qzddi100ERPB.dat\r\n"},
      {"qzddi150", "NEW CRM|CRMB", true, 7, "earlier", "qzddi150CRMB.dat\r\n"},  // the others pass it over
      {"qzddi101", "ERPA|OLD ERP", false, 101, "Error : Qzddi101 - No Data Present with Applications's ERPA|OLD-ERP"},
      {"qzddi140", "CRMA|OLD CRM", false, 140, "Error : Qzddi140 - No Data Present for Applications  CRMA|OLD-CRM"},
      {"qzddi150", "CRMA|OLD CRM", false, 150, "Error : Qzddi150 - No Data Present for Applications CRMA|OLD-CRM"},
      {"qzddi230", "CRMA|OLD CRM", false, 230, "Error : Qzddi230 - No Data Present for Applications CRMA|OLD-CRM"},
      {"qzlgy150", "ERPA|OLD ERP", true, 101, "Error : qzlgy150 - No Data Present with Applications's ERPA|OLD-ERP"},
      // A note, and the applications after it are not processed.
      {"qzddi160", "CRMA|CRMB", true, 7, "earlier", "", "\tQzddi160 - No Data Present for Applications \r\n"},
      {"qzddi160", "ERPB|CRMB", true, 7, "earlier", "qzddi160CRMB.dat\r\n"},
      // qzlgy141 answers for an application without qzlgy140 rows; the walk ends there.
      {"qzlgy140", "ERPA|ERPB", true, 7, "earlier", "qzlgy141ERPA.dat\r\n"},
      {"qzlgy140", "ERPC|ERPB", true, 101, "earlier", "qzlgy140ERPC.dat\r\nqzlgy140ERPB.dat\r\nqzlgy141ERPB.dat\r\n"},
      {"qzlgy140", "CRMA|ERPB|ERPD", false, 101, "Error : qzlgy140 and qzlgy141 - No Data Present with "
       "Applications's CRMA|ERPB|ERPD", "qzlgy140ERPB.dat\r\nqzlgy141ERPB.dat\r\n"},
      {"qzlgy141", "ERPC", false, 101, "earlier"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.table + " " + row.selection);
    Fresh();
    EXPECT_EQ(AppData(row.table, row.selection), row.result);
    EXPECT_EQ(r.Error.number(), row.number);
    EXPECT_EQ(pack::ComponentDescription(r.Error.value()), row.text);
    EXPECT_EQ(r.DataFileList, row.data_files);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ctx.PackFolder), {}),
              std::count(row.data_files.begin(), row.data_files.end(), '\n'));
    EXPECT_EQ(ctx.ManifestText.str(), row.note);
  }
}

// Every writer traps what fails under its own tag as 999; a text ending in
// blanks is the start of the description (the rest names the file).
TEST_F(Writers, FailuresAreTrappedUnderEachWritersTag) {
  for (auto [appl, extn] : {std::pair{"CRMX", 1}, {"ERPB", 0}, {"../CRMX", 1}})
    store.Add("qzddi100", {{"appl", appl}, {"extn", extn}});
  store.Add("qzddi140", {{"appl", "../CRMX"}, {"cpac", "SD"}});
  store.Add("qzddi140", {{"appl", "CRMX"}, {"cpac", "SD"}, {"dsca", "two\r\nlines"}});
  // A row the format cannot carry, after more rows than a piece holds.
  store.AddMany("qzddi101", 12000, [](int i) { return Named{{"appl", "ERPB"}, {"flno", std::to_string(i)}}; });
  store.Add("qzddi101", {{"appl", "ERPB"}, {"flno", "99999"}, {"dsca", "two\r\nlines"}});
  store.Add("qzmap150", {{"func", "LPAD"}, {"defn", Value()}, {"help", "pads"}});  // a function without definition
  store.AddRevisionInfo(9, {"X41U", "c", "ab1"}, {"AR", "INVC", "020"}, "revised INVC", /*null_sdat=*/true);
  struct Row { std::string name; std::function<bool()> run; std::string text, data_files; };
  std::vector<Row> rows = {
      // The file is created, listed and left empty: no broken row is written.
      {"two lines", [&] { return AppData("qzddi140", "CRMX"); }, "UnSpecified Error: --Qzddi140--9013   ",
       "qzddi140CRMX.dat\r\n"},
      {"two lines later", [&] { return AppData("qzddi101", "ERPB"); }, "UnSpecified Error: --Qzddi101--9013   ",
       "qzddi101ERPB.dat\r\n"},
      // A code that would leave the pack folder writes nothing.
      {"leaving the folder", [&] { return AppData("qzddi140", "../CRMX"); },
       "UnSpecified Error: --Qzddi140--9006   ", ""},
      {"revisions of a bad list", [&] { return ExportQzlib105(ctx, r, "9,5"); },
       "UnSpecified Error: --Qzlib105--13   Type mismatch", ""},
      {"function without definition", [&] { return exporter::ExportFunctions(ctx, r); },
       "UnSpecified Error: --Export Functions--94   Invalid use of Null", ""},
      {"revision without date", [&] { return Rules("ExportQzmap110"); },
       "UnSpecified Error: --Qzmap110--94   Invalid use of Null", ""},
  };
  // A profile list is numbers joined by single blanks; anything else, which
  // no statement could carry, fails every rule table writer.
  const char* bad_lists[] = {"7,5", "", "40  31", "40 ", " 40", "4x", "12; drop table qzmap100"};
  size_t i = 0;
  for (const char* tag : {"Qzmap101", "Qzmap105", "Qzmap120", "Qzmap130", "Qzmap140", "Qzmap160", "qzmap170",
                          "Qzmap110", "Qzmap125", "Qzmap135", "Qzmap145", "Qzmap165", "qzmap175"}) {
    const std::string list = bad_lists[i++ % std::size(bad_lists)];
    rows.push_back({std::string(tag) + " [" + list + "]", [&, tag, list] {
                      return Rules("ExportQzmap" + std::string(tag + 5), list); },
                    "UnSpecified Error: --" + std::string(tag) + "--13   Type mismatch", ""});
  }
  // The connection goes in the first of these rows, and stays gone.
  for (const auto& [tag, run] : std::vector<std::pair<std::string, std::function<bool()>>>{
           {"qzlgy150", [&] { ctx.DataConnection.reset(); return AppData("qzlgy150", "ERPB"); }},
           {"Export Code", [&] { return ExportCodes(ctx, r); }},
           {"QZLIB100", [&] { return exporter::ExportIncludes(ctx, r, "9", {}); }},
           {"Export Functions", [&] { return exporter::ExportFunctions(ctx, r); }}})
    rows.push_back({tag + " without a connection", run,
                    "UnSpecified Error: --" + tag + "--91   Object variable or With block variable not set", ""});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    r = {};
    EXPECT_FALSE(row.run());
    const std::string said = std::to_string(r.Error.number()) + " " + pack::ComponentDescription(r.Error.value());
    EXPECT_TRUE(row.text.ends_with("   ") ? said.starts_with("999 " + row.text) : said == "999 " + row.text) << said;
    EXPECT_EQ(r.DataFileList, row.data_files);
    if (!row.data_files.empty()) { EXPECT_EQ(Read(row.data_files.substr(0, row.data_files.size() - 2)), ""); }
  }
  EXPECT_FALSE(std::filesystem::exists(tmp / "qzddi140CRMX.dat"));
}

// Records come back by their objects' places, those of one place in the
// order they came, whether they waited in memory or in run files, read by
// place as the mapping objects are or straight through; the runs go with
// the sorter.
TEST_F(Writers, RecordsComeBackInTheirObjectsOrder) {
  // The rules of twenty units' objects in the order of their keys; an
  // object's place is its listing's (GLACC first), its rules 0 to 2.
  const std::string modules[] = {"GLACC", "GLBAL", "APINV", "ARREC", "FAAST", "COCTR", "HRPAY", "MMMAT"};
  struct Row {
    uint32_t place;
    std::string record, note;
    bool operator==(const Row&) const = default;
  };
  std::vector<Row> in;
  const uint32_t units = 20;
  for (uint32_t unit = 0; unit < units; ++unit) {
    for (const uint32_t j : {2u, 3u, 5u, 4u, 0u, 1u, 6u, 7u})  // by key
      for (uint32_t rule = 0; rule < j % 3; ++rule)
        in.push_back({unit * 8 + j + 1,
                      "MO\r\n:TCPAC:P00" + std::to_string(unit + 1) + "\r\n:TCMOD:" + modules[j] +
                          "\r\n:PRTX:START\r\nrule " + std::to_string(rule + 1) + "\r\n:PRTX:END\r\n",
                      rule == 1 ? "bsmith" : ""});
  }
  std::vector<Row> expected = in;
  std::stable_sort(expected.begin(), expected.end(), [](const Row& a, const Row& b) { return a.place < b.place; });
  const struct { const char* name; size_t memory; bool release, by_place; size_t min_runs, max_runs; } cases[] = {
      {"in memory", exporter::RowsInObjectOrder::kDefaultMemory, false, true, 0, 0},
      {"held, then released as a run", exporter::RowsInObjectOrder::kDefaultMemory, true, false, 1, 1},
      {"a run every few records", 1000, true, true, 5, in.size() / 10},
      // Past the most runs read side by side, those written are merged into one.
      {"a run for each record", 1, false, false, 2, exporter::RowsInObjectOrder::kMostRuns},
  };
  ASSERT_GT(in.size(), exporter::RowsInObjectOrder::kMostRuns);
  const std::string runs = tmp / "runs";
  std::filesystem::create_directory(runs);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    {
      exporter::RowsInObjectOrder sorted(Env::Default(), runs + "/run-", c.memory);
      for (const Row& row : in) sorted.Add(row.place, row.record, row.note);
      if (c.release) sorted.Release();
      std::vector<Row> out;
      auto take = [&] { out.push_back({sorted.place(), std::string(sorted.record()), std::string(sorted.note())}); };
      if (c.by_place) {
        for (uint32_t place = 1; place <= 8 * units; ++place) while (sorted.NextIsAt(place) && sorted.Next()) take();
        EXPECT_FALSE(sorted.Next());
      } else {
        while (sorted.Next()) take();
      }
      EXPECT_EQ(out, expected);
      EXPECT_GE(sorted.runs(), c.min_runs);
      EXPECT_LE(sorted.runs(), c.max_runs);
    }
    EXPECT_TRUE(std::filesystem::is_empty(runs));
  }
}

}  // namespace
}  // namespace kestrel::testing
