// The whole import where an ordinary round trip does not reach: its run log
// in order, profiles and applications replaced over a store that holds them
// with the derived chain repaired, and a store write or a reading of the
// manifest failing at any step rolling everything back. Damaged packs,
// refused with the store left as it was, are the command line's refusal rows.
#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <functional>
#include <map>
#include <regex>
#include <set>

#include "import_fixture.h"
#include "base/errors_ours.h"
#include "importer/import_unit.h"
#include "kestrel/run_log_text.h"
#include "importer/transaction.h"
#include "kestrel/interruption.h"
#include "store/schema.h"

namespace kestrel::testing {
namespace {

using ::testing::HasSubstr;

const std::string kRolledBack(kestrel::kImportRolledBack);

// The targets that put pack profile 20 below the store's profile 15.
const std::vector<std::string> kBranch = {"10|ACC10|ACCX2|0|0|1", "20|ACC10|ACCX2|15|0|1"};

class WholeImportTest : public ImportFixture {
 protected:
  // The branch's targets imported; `between` runs after the pack's showing.
  bool Import(const StoreBuilder& into, const std::string& pack, std::string& message, Env& env = Env::Default(),
              const std::function<void()>& between = {}) {
    i_ = NewImport(into, pack, env);
    // Tests that take the sums away, to know how often a file is read, mean it.
    i_->SetAllowPackWithoutSums(true);
    std::string details = Selection(*i_, kBranch);
    ClearLog();
    if (between) between();
    return i_->ImportLogicPack(details, message);
  }
  // Profile 15 between 10 and 20's new place: the pack of 20 (with its base
  // 10) imported with 20 below 15 replaces 10, 20 and their applications and
  // repairs the chain of 30, derived from 20.
  static void AddBranch(const StoreBuilder& b) {
    static const TestProfile kBase{
        .mprf = 10, .sapp = "ACC10", .tapp = "ACCX2", .vrc = {"X40", "R1", "base"}, .base = std::nullopt};
    b.AddProfile({.mprf = 15, .sapp = "ACC10", .tapp = "ACCX2", .vrc = {"X45U", "R1", "cu15"}, .base = kBase.vrc},
                 {&kBase});
  }
  // A demo store with the branch (`lacking_nvl`: without a shared function the
  // pack brings). Temporary triggers on every table count its writes row by
  // row; the k-th fails (none when k is 0, when each write is listed with its table).
  StoreBuilder BranchStore(const std::string& name, bool lacking_nvl = false) {
    StoreBuilder b = StoreBuilder::Demo(t_ / name);
    AddBranch(b);
    if (lacking_nvl) b.Exec("delete from qzmap150 where func = 'NVL'");
    std::string script = "create temp table fault_clock (n integer, k integer); insert into fault_clock values (0, 0);"
                         "create temp table fault_log (n integer, what text);";
    for (const auto& table : store::Tables())
      for (const std::string t(table.name); const char* op : {"insert", "update", "delete"})
        script += "create temp trigger fault_" + t + "_" + op + " before " + op + " on main." + t +
                  " begin update fault_clock set n = n + 1; insert into fault_log select n, '" + t + " " + op +
                  "' from fault_clock where k = 0; select raise(abort, 'injected fault') from fault_clock where n = k; end;";
    b->ExecuteScript(script);
    return b;
  }
  std::unique_ptr<Kestrel20ImpExp::clsImport> i_;
};

TEST_F(WholeImportTest, ReplacedProfileIsDeletedAndItsDescendantsChainRebuilt) {
  AddBranch(Demo());
  const std::string pack = Export(Demo(), 20);
  // The rows of each profile and application: the pack brings back those of
  // 10, 20 and their applications (not their development rules), and 30 keeps its own.
  auto rows_of = [&] {
    std::map<std::string, int64_t> n;
    for (std::string_view t : store::ProfileTables()) {
      const auto& columns = store::FindTable(t)->columns;
      const bool vrc = std::ranges::any_of(columns, [](const auto& c) { return c.name == "vers"; });
      for (int mprf : {10, 20, 30})
        n[std::string(t) + std::to_string(mprf)] = t == "qzmap101" ? 0 : Demo().Count(
            "select count(*) from " + std::string(t) + " where cast(mprf as int)=" + std::to_string(mprf) +
            (vrc ? " and vers not like 'd%'" : ""));
    }
    for (std::string_view t : store::ApplicationTables())
      n[std::string(t)] = Demo().Count("select count(*) from " + std::string(t));
    return n;
  };
  const auto before = rows_of();
  // A rule and an application row no pack brings back.
  Demo().Exec("insert into qzmap120 (mprf,vers,rele,cust,tcpac,tcmod,tflno) values (20,'X41U','R1','cu01','OLD','GONE','1')");
  Demo().Exec("insert into qzddi140 (appl) values ('ACCX2')");
  std::string message;
  ASSERT_TRUE(Import(Demo(), pack, message)) << message;

  EXPECT_EQ(rows_of(), before);
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(Demo().Rows("select mprf, levl, pprf, vers from qzmap101 where mprf in (20, 30)"),
            (Rows{{"20", "1", "20", "X41U"}, {"20", "2", "15", "X45U"}, {"20", "3", "10", "X40"},
                  {"30", "1", "30", "X42U"}, {"30", "2", "20", "X41U"}, {"30", "3", "15", "X45U"},
                  {"30", "4", "10", "X40"}}));
  EXPECT_EQ(Demo().Rows("select mprf, deph from qzmap100 where mprf in (20, 30)"), (Rows{{"20", "3"}, {"30", "4"}}));

  // What was derived from 20 is listed in an order of the store's own.
  EXPECT_THAT(Log(), ::testing::Contains(::testing::AnyOf("Profiles to adjust: 20_20, 30",
                                                          "Profiles to adjust: 20_30, 20")));
  // Each header line as read and as renumbered, then the profiles in the order they are imported.
  const auto log = Log();
  EXPECT_EQ(std::ranges::count_if(log, [](const std::string& l) { return l.starts_with("qzmap100.dat ----> "); }), 4);
  const std::vector<std::string> sorted(std::ranges::find(log, "Sorting array ..."), log.end());
  EXPECT_THAT(sorted, ::testing::IsSupersetOf({"0---->10_X40_R1_base", "1---->20_X41U_R1_cu01"}));
  EXPECT_THAT(sorted, ::testing::Contains("Imported profiles: 10_X40_R1_base\x01" "20_X41U_R1_cu01"));
}

// A stop requested anywhere in the process (a signal's handler, a host)
// ends the import of the component's class wherever it is: it fails with its
// own number and the store comes out as it went in.
TEST_F(WholeImportTest, AStopRequestedInTheProcessRollsTheImportBack) {
  AddBranch(Demo());
  const std::string pack = Export(Demo(), 20);
  for (int at : {1, 20}) {
    SCOPED_TRACE(at);
    const auto before = Demo().Dump();
    int reports = 0;
    std::string message;
    EXPECT_FALSE(Import(Demo(), pack, message, Env::Default(), [&] {
      i_->SetProgress([&](const std::string&, int64_t, int64_t) { if (++reports == at) RequestInterruption(); });
    }));
    ClearInterruption();
    EXPECT_GE(reports, at);
    EXPECT_EQ(i_->get_ErrorNumber(), Number(Ours::ImportInterrupted)) << i_->get_ErrorDescription();
    EXPECT_EQ(Demo().Dump(), before);
  }
}

// The step the run log shows as the last one begun.
std::string StepOf(const std::vector<std::string>& log) {
  static const std::vector<std::pair<std::string, std::string>> kMarkers = {
      {"Deleting existing", "deletes"}, {"Importing Application ...", "application data"},
      {"Importing qzmap100...", "headers"}, {"Importing qzlib100...", "library"}, {"Importing qzmap120...", "rules"},
      {"Importing qzmap150...", "shared functions"}, {"Importing qzmap110, 125...", "revisions"},
      {"Importing qzmap110, 125...done", "chain repair"}};
  std::string step = "before the walk";
  for (const auto& line : log)
    for (const auto& [marker, name] : kMarkers)
      if (line == marker || (marker == "Deleting existing" && line.starts_with(marker))) step = name;
  return step;
}

class ImportFaultTest : public WholeImportTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ImportFaultTest, AnyFailedWriteLeavesTheStoreAsItWas) {
  FaultEnv env;
  env.SetVariable("KESTREL_BCP", "");  // our own bcp, beside the test program
  if (GetParam()) UseBatchPath();
  AddBranch(Demo());
  const std::string pack = Export(Demo(), 20);
  StoreBuilder counted = BranchStore("counted.db", true);
  std::string message;
  ASSERT_TRUE(Import(counted, pack, message, env)) << message;
  std::set<int64_t> ks;  // the first write of each table and kind, and a few more
  int64_t writes = 0;
  for (const auto& row : counted.Rows("select min(n), max(n) from fault_log group by what")) {
    ks.insert(std::stoll(row[0]));
    writes = std::max<int64_t>(writes, std::stoll(row[1]));
  }
  ASSERT_GT(writes, 200);
  ks.insert({1, 2, writes / 2, writes});

  StoreBuilder target = BranchStore("target.db", true);
  const auto before = target.Dump();
  std::set<std::string> steps;
  for (int64_t k : ks) {
    SCOPED_TRACE("write " + std::to_string(k) + " of " + std::to_string(writes));
    target.Exec("update fault_clock set n = 0, k = " + std::to_string(k));
    std::string failed;
    EXPECT_FALSE(Import(target, pack, failed, env));
    const auto log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_THAT(failed + log.back(), HasSubstr("injected fault"));
    EXPECT_EQ(log.back(), kRolledBack);
    EXPECT_FALSE(target->InTransaction());
    ASSERT_EQ(target.Dump(), before) << StepOf(log);
    steps.insert(StepOf(log));
    // The direct path names the table whose load failed, in the message and the log.
    if (std::smatch table; !GetParam() && StepOf(log) == "application data") {
      ASSERT_TRUE(std::regex_search(failed, table, std::regex("Loading to table (\\w+) failed\\.\r\n"))) << failed;
      EXPECT_THAT(log, ::testing::Contains("Application Loading failed while loading " + table[1].str() + "."));
    }
  }
  EXPECT_EQ(steps, (std::set<std::string>{"deletes", "application data", "headers", "library", "rules",
                                          "shared functions", "revisions", "chain repair"}));
  // One write past the last: nothing fails, and the import is the clean one.
  target.Exec("update fault_clock set n = 0, k = " + std::to_string(writes + 1));
  ASSERT_TRUE(Import(target, pack, message, env)) << message;
  EXPECT_EQ(target.Dump(true), counted.Dump(true));

  // A pack changed between its showing and its import: its sums refuse it, and the run log says why.
  const std::string rules = ReadFile(pack + "/Qzmap130.dat");
  EXPECT_FALSE(Import(target, pack, message, env, [&] { WriteFile(pack + "/Qzmap130.dat", rules + " "); }));
  EXPECT_THAT(Log(), ::testing::Contains(HasSubstr("Qzmap130.dat")));
  WriteFile(pack + "/Qzmap130.dat", rules);

  // The rules are read on a thread of their own, ahead of the inserts, and
  // the pack check shares that reading: a read failing there halfway through
  // the file fails the rules loader after the rows before it, is named as
  // the check's refusal with the file and line, and the whole import rolls
  // back. Without its sums the pack's rule file is opened once, by the
  // loader (the sums may be read once or twice: the showing and the import
  // share what they verified when the folder's stamps allow it).
  std::filesystem::remove(pack + "/ExportMR.sums");
  StoreBuilder read_fault = BranchStore("read_fault.db", true);
  const auto unchanged = read_fault.Dump();
  env.FailRead("/Qzmap120.dat", 1, std::filesystem::file_size(pack + "/Qzmap120.dat") / 2, EIO);
  std::string failed;
  EXPECT_FALSE(Import(read_fault, pack, failed, env));
  EXPECT_THAT(failed, ::testing::StartsWith("Unspecified Error : --LoadToMAP120_130_140_160-- " +
                                            std::to_string(EIO) + "   Input/output error ("));
  EXPECT_THAT(failed, HasSubstr("Qzmap120.dat, line "));
  EXPECT_EQ(Log().back(), kRolledBack);
  EXPECT_EQ(read_fault.Dump(), unchanged);

  // The manifest failing at any of the import's readings of it: the import
  // fails naming it and changes nothing.
  const auto manifest_read = [&](size_t failing) {
    size_t opened = 0;
    std::string said;
    const bool imported = Import(read_fault, pack, said, env, [&] {
      opened = env.Openings("/ExportMR.log");
      if (failing) env.FailRead("/ExportMR.log", failing, 0, EIO);
    });
    return std::make_tuple(imported, said, env.Openings("/ExportMR.log") - opened);
  };
  const size_t readings = std::get<2>(manifest_read(0));
  ASSERT_GE(readings, 1u);
  const auto imported_once = read_fault.Dump();
  for (size_t k = 1; k <= readings; ++k) {
    const auto [imported, said, _] = manifest_read(k);
    EXPECT_FALSE(imported) << "reading " << k;
    EXPECT_THAT(said, HasSubstr("Number: 100Description: ExportMR.log could not be read.")) << "reading " << k;
    EXPECT_EQ(read_fault.Dump(), imported_once) << "reading " << k;
  }
}

// The check shares the loaders' reading of the rule files, and reads the
// ones a failed load did not read through: a fault of the pack in a later
// file is named as the check finds it (number, text and place), not as the
// write that failed before it, and the whole import rolls back. A fault the
// loader's own reading meets is named the same way, with no write failing.
TEST_F(WholeImportTest, APackFaultPastAFailedWriteIsNamedAsTheCheckFindsIt) {
  AddBranch(Demo());
  const std::string pack = Export(Demo(), 20);
  std::filesystem::remove(pack + "/ExportMR.sums");
  StoreBuilder counted = BranchStore("counted.db");
  std::string message;
  ASSERT_TRUE(Import(counted, pack, message)) << message;
  const auto first_rule = counted.Rows("select min(n) from fault_log where what = 'qzmap120 insert'");
  ASSERT_EQ(first_rule.size(), 1u);

  // The rules of profile 20 in Qzmap160.dat become rules of a profile the
  // pack does not hold.
  ReplaceIn(pack + "/Qzmap160.dat", ":MPRF:20\r\n", ":MPRF:97\r\n");

  // The write that fails ("0": none).
  for (const std::string& failing_write : {first_rule[0][0], std::string("0")}) {
    SCOPED_TRACE("failing write " + failing_write);
    StoreBuilder target = BranchStore("target-" + failing_write + ".db");
    const auto before = target.Dump();
    target.Exec("update fault_clock set n = 0, k = " + failing_write);
    std::string failed;
    EXPECT_FALSE(Import(target, pack, failed));
    EXPECT_EQ(i_->get_ErrorNumber(), Number(Ours::ProfileNotInPack)) << failed;
    for (const char* part : {"profile 97 in ", "Qzmap160.dat, line "}) EXPECT_THAT(failed, HasSubstr(part));
    EXPECT_THAT(failed, ::testing::Not(HasSubstr("injected fault")));
    // The log names the refusal's cause, then where the check found it.
    const auto log = Log();
    const auto refused = std::find_if(log.begin(), log.end(), [](const std::string& line) {
      return line.starts_with(importer::kCheckRefused);
    });
    ASSERT_NE(refused, log.end());
    ASSERT_NE(refused, log.begin());
    EXPECT_EQ(*std::prev(refused), i_->get_ErrorDescription());
    EXPECT_THAT(*refused, HasSubstr("Qzmap160.dat, line "));
    EXPECT_EQ(log.back(), kRolledBack);
    EXPECT_EQ(target.Dump(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(BulkLoadPaths, ImportFaultTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "BatchFiles" : "Direct"; });

}  // namespace
}  // namespace kestrel::testing
