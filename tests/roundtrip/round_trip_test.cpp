// Round trips of the demo store: export a pack, import it into a fresh store that holds the same codes and users,
// export that store again and compare the packs; then compare every row of the imported store with the source's,
// because a fault that drops a column both on export and on import leaves the two packs equal. Each row of the
// table is one way of moving profiles; the cross-store rows move the demo chain between an SQLite and a PostgreSQL
// store, whose packs of the same rows must be the same bytes.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "base/cipher.h"
#include "base/files.h"
#include "base/text.h"
#include "kestrel/cls_export.h"
#include "kestrel/cls_import.h"
#include "kestrel/registry.h"
#include "kestrel/store.h"
#include "support/pack_compare.h"
#include "store/schema.h"
#include "store/backends.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

struct Trip {
  const char* name;
  bool single = false, revisions = true, sync = false;
  int based_on = 0;           // a chain without the profiles up to this number
  bool traverse_parent = false;
  bool batch_path = false;    // application data through batch files of bulk-load lines
  bool recode = false;        // the selection gives the applications new codes
  int16_t new_number = 0;     // the number a single profile's pack announces
  bool from_postgres = false; // the source store on the PostgreSQL test server, else SQLite
  bool into_postgres = false; // the store imported into
  bool imported_again = false; // imported three times more, vacuumed after the first: new rows fill freed space
  int scale = 1;               // of the demo store: rules over many pages
};

const Trip kTrips[] = {
    {.name = "chain with revisions"}, {.name = "chain without revisions", .revisions = false},
    {.name = "chain for synchronisation", .sync = true}, {.name = "chain based on the root", .based_on = 10},
    {.name = "chain by the batch path", .batch_path = true},
    {.name = "chain under new application codes", .recode = true},
    {.name = "single with revisions", .single = true},
    {.name = "single without revisions under a new number, parents traversed", .single = true,
     .revisions = false, .traverse_parent = true, .new_number = 50},
    {.name = "single for synchronisation by the batch path", .single = true, .sync = true, .batch_path = true},
    {.name = "chain with revisions from SQLite into PostgreSQL", .into_postgres = true},
    // Tables of more rules than a piece read: their rows after the first come by COPY.
    {.name = "chain with revisions from PostgreSQL into SQLite", .from_postgres = true, .scale = 60},
    {.name = "single with revisions from PostgreSQL into SQLite", .single = true, .from_postgres = true, .scale = 20},
    {.name = "single with parents traversed from PostgreSQL into SQLite", .single = true, .traverse_parent = true,
     .from_postgres = true},
    {.name = "chain with revisions replaced in PostgreSQL around a vacuum", .into_postgres = true,
     .imported_again = true, .scale = 20},
};

// Failure messages name the trip.
void PrintTo(const Trip& trip, std::ostream* os) { *os << trip.name; }

// The tables whose rows belong to a profile's rules or function library.
bool IsRuleTable(const std::string& table) {
  return (table.rfind("qzmap1", 0) == 0 && table != "qzmap100" && table != "qzmap101" && table != "qzmap105" &&
          table != "qzmap150") ||
         table.rfind("qzlib", 0) == 0;
}

// The history tables, which travel only with revision information, and the
// development VRCs, which travel with them.
const std::set<std::string> kRevisionTables = {"qzmap105", "qzmap110", "qzmap125", "qzmap135", "qzmap145",
                                               "qzmap165", "qzmap175", "qzlib105"};

// How a store's rows are shown for comparing two stores.
struct View {
  std::set<std::string> masked;               // shown as "*"
  std::map<std::string, std::string> codes;   // application codes renamed
  bool drop_profile_key = false;              // rule rows without mprf, vers, rele, cust
  bool revisions = true;                      // history tables shown
  bool development = false;                   // rules under a development VRC shown
};

using TableRows = std::map<std::string, std::multiset<std::string>>;

// Rows of every table, values joined by "|" in the table's column order, owners deciphered. Rules kept under a
// development VRC travel only for synchronisation; a NULL login shows as the empty text a pack carries for it.
TableRows Rows(store::Connection& c, const View& view) {
  TableRows out;
  for (const auto& def : store::Tables()) {
    const std::string table(def.name);
    if (!view.revisions && kRevisionTables.count(table)) continue;
    const bool rules = IsRuleTable(table);
    auto rs = c.OpenRecordset("select * from " + table);
    for (; !rs->IsEOF(); rs->MoveNext()) {
      std::string row;
      bool development = false;
      for (int k = 0; k < rs->FieldCount(); ++k) {
        const std::string column = rs->FieldName(k);
        Value v = rs->Fields(k);
        std::string shown = v.IsNull() ? "NULL" : v.Text();
        if (rules && column == "vers" && shown.rfind('d', 0) == 0) development = true;
        if (rules && view.drop_profile_key &&
            (column == "mprf" || column == "vers" || column == "rele" || column == "cust")) continue;
        if (column == "ownr" && !v.IsNull()) shown = CipherField(shown, false);
        if (column == "logn" && v.IsNull()) shown = "";
        if (view.masked.count(column)) shown = "*";
        if (auto it = view.codes.find(shown);
            it != view.codes.end() && (column == "appl" || column == "sapp" || column == "tapp")) shown = it->second;
        row += (k ? "|" : "") + shown;
      }
      if (view.development || !development) out[table].insert(row);
    }
  }
  return out;
}

// "" when both hold the same rows; else, per table, the first rows only one side holds.
std::string Differences(const TableRows& expected, const TableRows& actual) {
  std::string out;
  std::set<std::string> tables;
  for (const auto& [t, rows] : expected) tables.insert(t);
  for (const auto& [t, rows] : actual) tables.insert(t);
  const std::multiset<std::string> none;
  for (const auto& t : tables) {
    const auto& e = expected.count(t) ? expected.at(t) : none;
    const auto& a = actual.count(t) ? actual.at(t) : none;
    if (e == a) continue;
    int lacking = 0, besides = 0;
    for (const auto& row : e) if (a.count(row) < e.count(row) && lacking++ < 3) out += t + " lacks: " + row + "\n";
    for (const auto& row : a) if (e.count(row) < a.count(row) && besides++ < 3) out += t + " has besides: " + row + "\n";
  }
  return out;
}

class RoundTrip : public ::testing::TestWithParam<Trip> {
 protected:
  void SetUp() override {
    if ((GetParam().from_postgres || GetParam().into_postgres) && !PostgresTestServer())
      GTEST_SKIP() << "KESTREL_TEST_POSTGRES is not set: no PostgreSQL server for the cross-store round trips";
    // The installation the import finds through the registry, as `kestrel setup` records it.
    install_ = RecordInstallation(Env::Default(), t_ / "registry.ini", t_ / "install");
    if (GetParam().batch_path) WriteFile(install_ + "/LumoStudio/bin/LumoConfig.ini", "IIS=1\r\n");
  }

  std::string Export(const StoreBuilder& from, int16_t profile, int based_on = 0) {
    const Trip& trip = GetParam();
    const std::string root = t_ / ("export-" + std::to_string(++exports_));
    files::CreateFolders(Env::Default(), root);
    Kestrel20ImpExp::clsExport e;
    e.putref_DataConnection(from.connection());
    e.put_Path(root);
    e.put_MigrationProfileTobeExported(profile);
    e.put_ExportToSingleProfile(trip.single);
    e.put_ExportRevisionInformation(trip.revisions);
    e.put_traveseparent(trip.traverse_parent);
    e.put_ExportForSync(Kestrel20ImpExp::Variant(trip.sync));
    if (based_on) e.put_ExportBasedOn(Kestrel20ImpExp::Variant(based_on));
    e.put_NewProfileNumber(trip.new_number);
    std::map<std::string, int64_t> reported, totals;
    e.SetProgress([&](const std::string& what, int64_t done, int64_t total) {
      reported[what] = done;
      if (total) totals[what] = total;
    });
    EXPECT_TRUE(e.ExportMigrationProfiles()) << e.get_ErrorDescription();
    // A single profile's objects are counted before they are written.
    EXPECT_EQ(totals.size(), trip.single ? 1u : 0u);
    EXPECT_EQ(totals["mapping objects"], trip.single ? reported["mapping objects"] : 0);
    // The progress reports every row file's rows, one line each.
    for (const auto& [file, rows] : reported) {
      const std::string name = text::LowerAscii(file);
      if (name.rfind("qzddi", 0) != 0 && name.rfind("qzlgy", 0) != 0 && name != "qzmap101.dat") continue;
      EXPECT_EQ(rows, static_cast<int64_t>(Count(ReadFile(e.PackFolder() + "/" + file), "\r\n"))) << file;
    }
    EXPECT_GT(reported.size(), 10u);
    // The manifest lists every file of the pack but itself and the sums.
    const std::string manifest = ReadFile(e.PackFolder() + "/ExportMR.log");
    const size_t first = manifest.find("--TESTFILES--\r\n") + 15, end = manifest.find("--END TESTFILES--");
    const std::vector<std::string> lines = CrLfLines(manifest.substr(first, end - first));
    std::set<std::string> listed(lines.begin(), lines.end()), present;
    for (const auto& entry : std::filesystem::directory_iterator(e.PackFolder()))
      if (auto name = entry.path().filename().string(); name != "ExportMR.log" && name != "ExportMR.sums")
        present.insert(name);
    EXPECT_EQ(listed, present);
    return e.PackFolder();
  }

  // Imports every profile of the pack under its own number, its applications renamed by `codes`.
  void Import(const StoreBuilder& into, const std::string& pack, const std::map<std::string, std::string>& codes) {
    Kestrel20ImpExp::clsImport i(std::make_shared<RegistryFile>(Env::Default(), t_ / "registry.ini"));
    i.putref_DataConnection(into.connection());
    i.put_Path(pack);
    i.put_LastModifiedUser("importer");
    i.put_DatabaseServer("local");
    i.put_DatabaseName(into->location());
    std::string details;
    ASSERT_TRUE(i.ShowLogicPackDetails(details)) << i.get_ErrorDescription();
    std::string chosen = details;
    std::erase(chosen, '*');
    for (const auto& [from, to] : codes) {
      const size_t targets = chosen.find('\r');
      for (size_t at = chosen.find(from, targets); at != std::string::npos; at = chosen.find(from, at + to.size()))
        chosen.replace(at, from.size(), to);
    }
    // Each step that tells its total, as the check counted it, ends there. A rule, library or function file is
    // counted by the thread that reads it for its load, so its last step always tells the total; the check counts
    // an application data file beside its load, which may end first.
    std::map<std::string, std::pair<int64_t, int64_t>> reported;
    i.SetProgress([&](const std::string& what, int64_t done, int64_t total) { reported[what] = {done, total}; });
    std::string message;
    ASSERT_TRUE(i.ImportLogicPack(chosen, message)) << message << " / " << i.get_ErrorDescription();
    size_t rule_steps = 0;
    for (const auto& [step, last] : reported) {
      if ((step.rfind("qzmap", 0) == 0 || step.rfind("qzlib", 0) == 0) && last.first != 0) {
        ++rule_steps;
        EXPECT_NE(last.second, 0) << step;
      }
      if (last.second != 0) { EXPECT_EQ(last.first, last.second) << step; }
    }
    EXPECT_GE(rule_steps, 6u);
  }

  // Where a new store goes: a file in the test's folder, or a schema of its own on the PostgreSQL test server.
  std::string Location(bool postgres, const std::string& file) const {
    return postgres ? PostgresStoreIn(t_.path()) : t_ / file;
  }

  TempFolder t_;
  std::string install_;
  int exports_ = 0;
};

TEST_P(RoundTrip, PacksAndRowsComeBackAsTheyWent) {
  const Trip& trip = GetParam();
  StoreBuilder source = StoreBuilder::Demo(Location(trip.from_postgres, "source.db"), trip.scale);
  StoreBuilder imported = StoreBuilder::SharedWith(Location(trip.into_postgres, "imported.db"), *source);
  std::map<std::string, std::string> codes, back;
  if (trip.recode) codes = {{"ACC10", "BKS10"}, {"ACCX2", "BKSX2"}};
  for (const auto& [from, to] : codes) back[to] = from;

  if (trip.based_on) Import(imported, Export(source, static_cast<int16_t>(trip.based_on)), codes);
  const std::string pack = Export(source, 30, trip.based_on);
  Import(imported, pack, codes);
  if (trip.imported_again) {
    Import(imported, pack, codes);
    imported->Execute("vacuum");
    Import(imported, pack, codes);
    Import(imported, pack, codes);
  }
  if (HasFatalFailure()) return;

  // A single profile arrives as a root under a VRC of its own, a pack without revisions leaves its profiles outside
  // revision control, and new codes change what travels again: only the other packs come back byte for byte.
  if (!trip.single && trip.revisions && !trip.recode) {
    EXPECT_EQ(ComparePacks(pack, Export(imported, 30, trip.based_on)), "");
  }
  // The same rows on the other backend give the same pack: its reads follow
  // the order of the source's indexes, not the order the rows were stored in.
  if (trip.from_postgres != trip.into_postgres) {
    StoreBuilder twin = StoreBuilder::Demo(Location(trip.into_postgres, "twin.db"), trip.scale);
    EXPECT_EQ(ComparePacks(pack, Export(twin, 30)), "");
  }

  // The importer's name and the time of the import on rules, unless the pack is for synchronisation; without
  // revisions the profiles are not under revision control where they arrive.
  View view{.masked = {}, .codes = {}, .drop_profile_key = false, .revisions = trip.revisions,
            .development = trip.sync};
  if (!trip.sync) view.masked = {"lusr", "ldat"};
  // A single profile's rules travel without the time of their last change.
  if (trip.single) view.masked.insert("ldat");
  if (!trip.revisions) view.masked.insert("scme");
  View imported_view = view;
  imported_view.codes = back;
  imported_view.revisions = true;  // what did not travel must not arrive
  if (!trip.single) {
    // Every row of the source, and nothing else, under the codes it had.
    EXPECT_EQ(Differences(Rows(*source, view), Rows(*imported, imported_view)), "");
    return;
  }
  // A single profile folds the rules of its ancestors into itself: every rule
  // row it carries is a row of the source's chain, its profile key aside.
  view.drop_profile_key = imported_view.drop_profile_key = true;
  const TableRows got = Rows(*imported, imported_view), all = Rows(*source, view);
  for (const auto& [table, rows] : all) {
    if (IsRuleTable(table) || table == "qzmap100" || table == "qzmap101" || table == "qzmap105" || table == "qzusr110")
      continue;
    EXPECT_EQ(Differences(TableRows{{table, rows}}, TableRows{{table, got.count(table) ? got.at(table) : rows}}), "");
    EXPECT_TRUE(got.count(table)) << table;
  }
  for (const auto& [table, rows] : got) {
    if (!IsRuleTable(table)) continue;
    for (const auto& row : rows) EXPECT_GT(all.at(table).count(row), 0u) << table << ": " << row;
  }
  const int arrived = trip.new_number ? trip.new_number : 30;
  EXPECT_EQ(imported.Rows("select mprf, deph, scme from qzmap100"),
            (std::vector<std::vector<std::string>>{{std::to_string(arrived), "1", trip.revisions ? "Y" : "N"}}));
  EXPECT_GT(imported.Count("select count(*) from qzmap120"), 0);
}

// The round trips test only what the demo store holds: rows in every table,
// rules at every level and under development VRCs, owners, NULL comments.
TEST(DemoStore, HoldsWhatTheRoundTripsNeed) {
  TempFolder t;
  StoreBuilder demo = StoreBuilder::Demo(t / "demo.db");
  for (const auto& [table, rows] : store::RowCounts(*demo)) EXPECT_GT(rows, 0) << table;
  EXPECT_EQ(demo.Count("select count(*) from qzmap101 where mprf = 30 and levl = 3 and pprf = 10"), 1);
  for (const char* table : {"qzmap120", "qzmap130", "qzmap140", "qzmap160", "qzmap170", "qzmap110", "qzmap125"})
    EXPECT_EQ(demo.Count(std::string("select count(distinct mprf) from ") + table), 3) << table;
  EXPECT_GT(demo.Count("select count(*) from qzmap120 where vers like 'd%'"), 0);
  EXPECT_EQ(demo.Count("select count(*) from qzmap100 where ownr is null"), 0);
  EXPECT_EQ(demo.Count("select count(distinct pexp) from qzmap110"), 2);
  EXPECT_GT(demo.Count("select count(*) from qzmap120 where comt is null"), 0);
  EXPECT_EQ(demo.Count("select count(distinct mprf) from qzlib100 where fnam = 'fnCalcTax'"), 2);
}

INSTANTIATE_TEST_SUITE_P(Demo, RoundTrip, ::testing::ValuesIn(kTrips), [](const auto& param_info) {
  std::string name;
  for (const char* c = param_info.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
});

}  // namespace
}  // namespace kestrel::testing
