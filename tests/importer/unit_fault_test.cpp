// An import is one unit: whichever write to the store fails, at every step of
// a chain import with revisions that replaces profiles and applications and
// repairs a derived chain, on both ways of loading application data, the
// store afterwards holds exactly what it held before.
#include <gmock/gmock.h>

#include <map>
#include <set>

#include "base/text.h"
#include "support/fault_env.h"
#include "importer/import_unit.h"
#include "import_fixture.h"

namespace kestrel::testing {
namespace {

using ::testing::HasSubstr;

// Temporary triggers on every table of the store count its writes, row by
// row, in the connection that made them; the k-th write fails (none when k
// is 0). With k 0 each write is also listed with its table and kind.
void InstallFaults(store::Connection& c) {
  std::string script =
      "create temp table fault_clock (n integer not null, k integer not null);"
      "insert into fault_clock values (0, 0);"
      "create temp table fault_log (n integer, what text);";
  for (const auto& table : store::Tables())
    for (const char* op : {"insert", "update", "delete"}) {
      const std::string t(table.name);
      script += "create temp trigger fault_" + t + "_" + op + " before " + op + " on main." + t +
                " begin update fault_clock set n = n + 1;"
                " insert into fault_log select n, '" + t + " " + op + "' from fault_clock where k = 0;"
                " select raise(abort, 'injected fault') from fault_clock where n = k; end;";
    }
  c.ExecuteScript(script);
}

void ArmFault(store::Connection& c, int64_t k) {
  c.Execute("update fault_clock set n = 0, k = " + std::to_string(k));
  c.Execute("delete from fault_log");
}

// The step of the import the run log shows as the last one begun.
std::string StepOf(const std::vector<std::string>& log) {
  static const std::vector<std::pair<std::string, std::string>> kMarkers = {
      {"Deleting existing", "deletes"},
      {"Importing Application ...", "application data"},
      {"Importing qzmap100...", "headers"},
      {"Importing qzlib100...", "library"},
      {"Importing qzmap120...", "rules"},
      {"Importing qzmap150...", "shared functions"},
      {"Importing qzmap110, 125...", "revisions"},
      {"Importing qzmap110, 125...done", "chain repair"},
  };
  std::string step = "before the walk";
  for (const auto& line : log)
    for (const auto& [marker, name] : kMarkers)
      if (line == marker || (marker == "Deleting existing" && line.rfind(marker, 0) == 0)) step = name;
  return step;
}

class ImportFaultTest : public ImportFixture, public ::testing::WithParamInterface<bool> {
 protected:
  FaultEnv env_;

 protected:
  // The demo store with profile 15 between 10 and 20's new place: importing
  // the pack of 20 (and its base 10) with 20 below 15 replaces 10 and 20 and
  // their applications and repairs the chain of 30, derived from 20. One
  // shared function is missing from stores imported into, for the pack (of
  // the demo store) to bring.
  std::shared_ptr<store::Connection> StoreWithBranch(const std::string& name) {
    auto c = name.empty() ? demo_ : store::CreateDemoStore(t_ / name, 1);
    c->Execute("insert into qzmap100 (mprf,sapp,tapp,vers,rele,cust,verf,relf,cusf,dsca,scme,deph) values "
               "(15,'ACC10','ACCX2','X45U','R1','cu15','X40','R1','base','Branch','N',2)");
    c->Execute("insert into qzmap101 (mprf,levl,vers,rele,cust,pprf) values (15,1,'X45U','R1','cu15',15)");
    c->Execute("insert into qzmap101 (mprf,levl,vers,rele,cust,pprf) values (15,2,'X40','R1','base',10)");
    if (c != demo_) c->Execute("delete from qzmap150 where func = 'NVL'");
    return c;
  }
  bool Import(const std::shared_ptr<store::Connection>& into, const std::string& pack, std::string& message) {
    auto i = NewImport(into, pack, env_);
    std::string details = WithTargets(Proposal(*i), {"10|ACC10|ACCX2|0|0|1", "20|ACC10|ACCX2|15|0|1"});
    ClearLog();
    return i->ImportLogicPack(details, message);
  }
};

TEST_P(ImportFaultTest, AnyFailedWriteLeavesTheStoreAsItWas) {
  const bool batch_path = GetParam();
  env_.SetVariable("KESTREL_BCP", "");  // our own bcp, beside the test program
  if (batch_path) {
    files::CreateFolders(Env::Default(), install_ + "/LumoStudio/bin");
    auto ini = files::TextWriter::Create(Env::Default(), install_ + "/LumoStudio/bin/LumoConfig.ini");
    ini->WriteLine("IIS=5");
    ini->Close();
  }
  StoreWithBranch("");
  const std::string pack = Export(demo_, {.profile = 20, .revisions = true});

  // A clean import, counting and listing its writes.
  auto counted = StoreWithBranch("counted.db");
  InstallFaults(*counted);
  std::string message;
  ASSERT_TRUE(Import(counted, pack, message)) << message;
  std::map<std::string, int64_t> first_write;  // table and kind -> its first write
  int64_t writes = 0;
  for (auto rs = counted->OpenRecordset("select n, what from fault_log order by n"); !rs->IsEOF(); rs->MoveNext()) {
    writes = rs->Fields(0).Integer();
    first_write.emplace(rs->Fields(1).Text(), writes);
  }
  ASSERT_GT(writes, 200);
  std::set<int64_t> ks = {1, 2, writes / 2, writes};
  for (const auto& [what, k] : first_write) ks.insert(k);

  auto target = StoreWithBranch("target.db");
  InstallFaults(*target);
  const auto before = Dump(*target);
  std::set<std::string> steps;
  for (int64_t k : ks) {
    ArmFault(*target, k);
    std::string failed;
    EXPECT_FALSE(Import(target, pack, failed)) << "write " << k;
    const auto log = Log();
    EXPECT_THAT(failed + log.back(), HasSubstr("injected fault")) << "write " << k << " of " << writes;
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), importer::kImportRolledBack) << "write " << k;
    EXPECT_FALSE(target->InTransaction()) << "write " << k;
    ASSERT_EQ(Dump(*target), before) << "write " << k << " of " << writes << " (" << StepOf(log) << ")";
    steps.insert(StepOf(log));
  }
  EXPECT_EQ(steps, (std::set<std::string>{"deletes", "application data", "headers", "library", "rules",
                                          "shared functions", "revisions", "chain repair"}));

  // One write past the last: nothing fails, and the import is the clean one.
  ArmFault(*target, writes + 1);
  ASSERT_TRUE(Import(target, pack, message)) << message;
  EXPECT_EQ(kestrel::testing::DumpStore(*target, true), kestrel::testing::DumpStore(*counted, true));
}

INSTANTIATE_TEST_SUITE_P(BulkLoadPaths, ImportFaultTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "BatchFiles" : "Direct"; });

}  // namespace
}  // namespace kestrel::testing
