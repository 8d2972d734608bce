// The engine's interface end to end on the demo store: a profile exported,
// its pack read, imported renumbered into a second store and compared with
// the same import made through the component's details string; the
// selection's findings with their entries; the check's refusal with its file
// and line; the replace policy; and a stop through the context, rolled back.
#include <gmock/gmock.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kestrel/cls_import.h"
#include "kestrel/engine.h"
#include "kestrel/errors.h"
#include "kestrel/registry.h"
#include "kestrel/run_log_text.h"
#include "pack/sums.h"
#include "support/error_of.h"
#include "support/fault_env.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordInstallation(Env::Default(), registry_, t_ / "install");
    std::filesystem::create_directories(t_ / "export");
  }

  // A store holding the demo store's codes and users and no profile.
  Store EmptyStore(const std::string& name) {
    const std::string path = t_ / (name + ".db");
    return Store(StoreBuilder::SharedWith(path, *demo_.Connection()).connection(), path);
  }
  ImportRequest Request(const std::string& pack) const { return {.pack = pack, .user = "engine", .registry = registry_}; }
  // The demo store's `profile` exported with revisions (`single`: it alone).
  ExportReport ExportOf(int profile, bool single = false) {
    return Export(demo_, {.profile = profile, .root = t_ / "export", .single_profile = single, .revisions = true,
                          .overwrite = true});
  }

  TempFolder t_;
  const std::string registry_ = t_ / "registry.ini";
  Store demo_ = Store::Create(t_ / "demo.db", 1);
};

struct Placed {
  int number;
  int64_t entry;
  bool operator==(const Placed&) const = default;
};
void PrintTo(const Placed& p, std::ostream* os) { *os << p.number << " at entry " << p.entry; }
std::vector<Placed> NumbersAndEntries(const std::vector<Error>& errors) {
  std::vector<Placed> out;
  for (const Error& e : errors) out.push_back({e.number(), e.place().entry});
  return out;
}

struct Stored {
  int64_t number, parent, depth;
  bool operator==(const Stored&) const = default;
};
std::vector<Stored> Hierarchy(Store& store) {
  std::vector<Stored> out;
  for (const auto& p : store.Profiles()) out.push_back({p.number, p.parent, p.depth});
  return out;
}

TEST_F(EngineTest, AProfileGoesThroughRenumberedAsTheDetailsStringTakesIt) {
  const struct Row {
    std::string name;
    int profile;
    bool single;
    std::map<int, int> renumber;
    std::vector<int> pack_parents, pack_depths;
    std::vector<Stored> stored;
  } kRows[] = {
      {"chain of three", 30, false, {{10, 110}, {20, 120}, {30, 130}}, {0, 10, 20}, {1, 2, 3},
       {{110, 0, 1}, {120, 110, 2}, {130, 120, 3}}},
      {"child alone, its parent renumbered outside the pack", 20, true, {{20, 220}}, {0}, {1}, {{220, 0, 1}}},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    const ExportReport exported = ExportOf(row.profile, row.single);
    EXPECT_THAT(exported.applications, ElementsAre("ACC10", "ACCX2"));
    EXPECT_THAT(exported.files, ::testing::Contains("Qzmap100.dat"));

    const PackInfo info = PackReader(exported.folder).Info();
    // The rows the export counted are the ones the pack holds.
    std::map<std::string, int64_t, std::less<>> held;
    for (const inspect::PackFile& f : info.files)
      if (f.rows) held[f.name] = *f.rows;
    EXPECT_EQ(exported.rows, held);
    std::vector<int> parents, depths;
    for (const PackProfile& p : info.profiles) {
      parents.push_back(p.parent), depths.push_back(p.depth);
      EXPECT_EQ(p.source_extn, "0");
      EXPECT_EQ(p.target_extn, "1");
    }
    // The header file lists a chain's profile before its bases.
    std::reverse(parents.begin(), parents.end()), std::reverse(depths.begin(), depths.end());
    EXPECT_EQ(parents, row.pack_parents);
    EXPECT_EQ(depths, row.pack_depths);

    Store typed = EmptyStore(row.name + " typed");
    ImportRequest import = Request(exported.folder);
    import.renumber = row.renumber;
    Context logged;
    logged.run_log = AppendRunLog;
    const ImportReport report = Import(typed, import, logged);
    EXPECT_TRUE(report.committed);
    EXPECT_EQ(Hierarchy(typed), row.stored);
    EXPECT_TRUE(std::filesystem::exists(report.run_log));
    EXPECT_GT(report.rows.at("qzmap100").added, 0);

    // The same targets written as a details string into the component.
    Store legacy = EmptyStore(row.name + " legacy");
    Kestrel20ImpExp::clsImport object(std::make_shared<RegistryFile>(Env::Default(), registry_));
    object.putref_DataConnection(legacy.Connection());
    object.put_Path(exported.folder);
    object.put_LastModifiedUser("engine");
    std::string details, message;
    ASSERT_TRUE(object.ShowLogicPackDetails(details));
    details.resize(details.find('\r') + 1);
    for (size_t i = 0; i < report.targets.size(); ++i) {
      const Target& t = report.targets[i];
      details += (i ? "\x01" : "") + std::to_string(t.profile) + "|" + t.source_application + "|" +
                 t.target_application + "|" + std::to_string(t.parent) + "|" + t.source_extn + "|" + t.target_extn;
    }
    ASSERT_TRUE(object.ImportLogicPack(details, message)) << message;
    for (const auto& [from, to] : row.renumber) {
      const diff::Result d = Diff({diff::Side::Kind::StoreProfile, typed.Location(), to},
                                  {diff::Side::Kind::StoreProfile, legacy.Location(), to});
      EXPECT_TRUE(d.Equal()) << "profile " << to << ": " << d.changes.size() << " changes";
    }
  }
}

TEST_F(EngineTest, VerifyNamesEachFindingWithItsEntry) {
  const std::string pack = ExportOf(30).folder;
  Store empty = EmptyStore("empty");
  // The proposal lists the bases first: 10, 20 (parent 10), 30 (parent 20).
  // The check alone refuses what needs no store, naming the entry too.
  const struct Row {
    std::string name;
    bool into_demo;
    std::function<void(ImportRequest&)> change;
    std::vector<Placed> findings;
    std::optional<Placed> check{};
  } kRows[] = {
      {"the proposal", false, nullptr, {}},
      {"parent above its child", false, [](ImportRequest& r) { r.targets[1].parent = 25; }, {{502, 1}}},
      {"number repeated", false, [](ImportRequest& r) { r.targets[2].profile = 20; }, {{501, 2}, {502, 2}},
       Placed{501, 2}},
      {"number beyond 16 bits", false, [](ImportRequest& r) { r.targets[0].profile = 40000; }, {{6, 0}},
       Placed{6, 0}},
      {"code the details cannot carry", false, [](ImportRequest& r) { r.targets[1].source_application = "AC|C"; },
       {{9006, 1}}, Placed{9006, 1}},
      {"renumbered root beside the served pair", true, [](ImportRequest& r) { r.renumber = {{10, 11}}; },
       {{504, 0}}},
  };
  const std::vector<Target> proposal = PackReader(pack).Proposal(empty);
  ASSERT_EQ(proposal.size(), 3u);
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    ImportRequest request = Request(pack);
    request.targets = proposal;
    if (row.change) row.change(request);
    Store& into = row.into_demo ? demo_ : empty;
    EXPECT_EQ(NumbersAndEntries(Verify(into, request)), row.findings);
    // The verdict's refusal is the one the import gives.
    const SelectionVerdict verdict = Verdict(into, request);
    EXPECT_EQ(NumbersAndEntries(verdict.findings), row.findings);
    ASSERT_EQ(verdict.refusal.has_value(), !row.findings.empty());
    if (verdict.refusal) {
      request.dry_run = true;
      const Error refused = CaughtFrom([&] { Import(into, request); });
      EXPECT_EQ(verdict.refusal->number(), refused.number());
      EXPECT_EQ(verdict.refusal->text(), refused.text());
      EXPECT_EQ(verdict.refusal->place(), refused.place());
    }
    if (row.check) {
      const Error e = CaughtFrom([&] { Check(into, request); });
      EXPECT_EQ(NumbersAndEntries({e}), std::vector<Placed>{*row.check}) << e.text();
    }
  }
  EXPECT_TRUE(Hierarchy(empty).empty());
}

TEST_F(EngineTest, CheckThrowsTheRefusalWithItsFileAndLine) {
  const struct Row {
    std::string file, from, to;
    int number;
    std::string says;
  } kRows[] = {
      {"qzddi150ACCX2.dat", "ACCX2\x01", "ZZZ99\x01", 9046, "the row's application \"ZZZ99\""},
      {"Qzmap101.dat", "base\x01" "10\r\n", "base\x01" "10\x01" "7\r\n", 100, "7 fields, 6 wanted"},
  };
  const std::string pack = ExportOf(30).folder;
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.file);
    const std::string copy = t_ / ("damaged-" + row.file);
    std::filesystem::copy(pack, copy);
    ReplaceIn(copy + "/" + row.file, row.from, row.to);
    pack::WriteSums(Env::Default(), copy);

    Store into = EmptyStore("check " + row.file);
    const Error e = CaughtFrom([&] { Check(into, Request(copy)); });
    EXPECT_EQ(e.number(), row.number);
    EXPECT_THAT(e.text(), HasSubstr(row.says));
    EXPECT_EQ(e.place().file, row.file);
    EXPECT_EQ(e.place().line, 1);
    EXPECT_EQ(e.place().path, copy + "/" + row.file);
  }
}

TEST_F(EngineTest, ReplacingTakesTheCallersConsent) {
  const std::string pack = ExportOf(30).folder;
  const auto before = StoreBuilder(demo_.Connection()).Dump();
  for (const Target& t : Targets(demo_, Request(pack)))
    EXPECT_EQ(t.stored, (Target::Stored{true, true, true, false})) << t.profile;
  // (What the refusal says, and a dry run's report, are seen through the command line.)
  EXPECT_EQ(CaughtFrom([&] { Import(demo_, Request(pack)); }).number(), Number(Ours::ReplaceNotConfirmed));
  EXPECT_EQ(StoreBuilder(demo_.Connection()).Dump(), before);
}

// The depth below a parent (a root's below 0); a number no profile can have is
// refused before the store is asked, one the store lacks is named.
TEST_F(EngineTest, TheDepthBelowAParent) {
  const std::pair<int, int> rows[] = {{0, 1}, {20, 3}, {-1, rt::Overflow}, {40000, rt::Overflow}, {77, 9131}};
  for (const auto& [parent, depth_or_error] : rows) {
    int depth = 0;
    const int error = ErrorOf([&, parent = parent] { depth = ProfileDepth(demo_, parent); });
    EXPECT_EQ(error != 0 ? error : depth, depth_or_error) << parent;
  }
  // An export's numbers are refused alike beyond 16 bits.
  for (const auto& [profile, new_number] : {std::pair{40000, 0}, std::pair{30, 70000}}) {
    const ExportRequest request{.profile = profile, .root = t_ / "export", .single_profile = true, .new_number = new_number};
    EXPECT_EQ(ErrorOf([&] { Export(demo_, request); }), rt::Overflow) << profile << " as " << new_number;
  }
}

// A store is created empty unless the demo's scale is asked for.
TEST_F(EngineTest, ANewStoreHoldsNothingButTheDemoWhenAsked) {
  Store empty = Store::Create(t_ / "empty.db");
  EXPECT_TRUE(empty.Profiles().empty());
  for (const TableCount& c : empty.Counts()) EXPECT_EQ(c.rows, 0) << c.table;
  EXPECT_EQ(demo_.Profiles().size(), 3u);  // 10, 20 and 30
}

TEST_F(EngineTest, AnImportFindsItsInstallationThroughTheRegistryFile) {
  const std::string pack = ExportOf(30).folder;
  Store into = EmptyStore("installation");
  ImportRequest unrecorded = Request(pack);
  unrecorded.registry = t_ / "no-registry.ini";
  EXPECT_EQ(CaughtFrom([&] { Import(into, unrecorded); }).number(), 505);

  std::filesystem::rename(t_ / "install", t_ / "moved");
  const Error gone = CaughtFrom([&] { Import(into, Request(pack)); });
  EXPECT_EQ(gone.number(), rt::PathNotFound);
  EXPECT_EQ(gone.text(), "Path not found: the installation folder " + t_ / "install" + " (Path= in " + registry_ +
                             ") does not exist");
  EXPECT_TRUE(Hierarchy(into).empty());
}

// A call that only reads writes its lines of the run log where an
// installation is recorded, and runs without one where none is.
TEST_F(EngineTest, ReadingCallsKeepTheRunLogOfARecordedInstallation) {
  const std::string pack = ExportOf(30).folder;
  const std::string log = t_ / "install/LumoStudio/tmp/importmr.log";
  std::filesystem::create_directories(t_ / "install/LumoStudio/tmp");
  Context logged;
  logged.run_log = AppendRunLog;
  Check(demo_, Request(pack), logged);
  EXPECT_EQ(Verify(demo_, Request(pack), logged).size(), 0u);
  EXPECT_THAT(ReadFile(log), ::testing::AllOf(HasSubstr("Check Logic Pack"), HasSubstr("Verify User Selection")));
  std::filesystem::remove(log);
  ImportRequest unrecorded = Request(pack);
  unrecorded.registry = t_ / "no-registry.ini";
  Check(demo_, unrecorded, logged);
  EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(EngineTest, AStopThroughTheContextRollsTheImportBack) {
  const std::string pack = ExportOf(30).folder;
  Store into = EmptyStore("stopped");
  const auto before = StoreBuilder(into.Connection()).Dump();
  std::atomic<bool> stop{false};
  // The first rows loaded ask for the stop, as another thread would.
  Context context;
  context.stop = &stop;
  context.progress = [&](const std::string&, int64_t done, int64_t) { if (done > 0) stop = true; };
  const Error e = CaughtFrom([&] { Import(into, Request(pack), context); });
  EXPECT_EQ(e.number(), Number(Ours::ImportInterrupted));
  EXPECT_TRUE(stop);
  EXPECT_EQ(StoreBuilder(into.Connection()).Dump(), before);
}

// A rule table's progress comes every thousand rows and once at its end: a
// host that draws it is not called for every row.
TEST_F(EngineTest, ARuleTableReportsItsProgressEveryThousandRows) {
  Store larger = Store::Create(t_ / "larger.db", 100);
  const ExportReport exported =
      Export(larger, {.profile = 30, .root = t_ / "export", .revisions = true, .overwrite = true});
  const std::string into_path = t_ / "into.db";
  Store into(StoreBuilder::SharedWith(into_path, *larger.Connection()).connection(), into_path);
  std::vector<int64_t> reported;
  Context context;
  context.progress = [&](const std::string& step, int64_t done, int64_t) {
    if (step == "qzmap120") reported.push_back(done);
  };
  const ImportReport report = Import(into, Request(exported.folder), context);
  ASSERT_GE(reported.size(), 2u);
  for (size_t i = 0; i + 1 < reported.size(); ++i) EXPECT_EQ(reported[i] % 1000, 0) << reported[i];
  EXPECT_EQ(reported.back(), report.rows.at("qzmap120").added);
}

// The undo copy of what an import replaces is exported beside the import, on
// a connection of its own: a copy that cannot be written fails the import,
// in the copy's own words, and the store stays as it was.
TEST_F(EngineTest, AnUndoCopyThatCannotBeWrittenFailsTheImport) {
  const std::string pack = ExportOf(30).folder;
  const auto before = StoreBuilder(demo_.Connection()).Dump();
  std::filesystem::create_directories(t_ / "tmp");
  FaultEnv full;
  full.SetVariable("TMPDIR", t_ / "tmp");
  full.FillDiskAfter(0, t_ / "tmp");
  Context context;
  context.env = &full;
  ImportRequest request = Request(pack);
  request.replace = ReplacePolicy::Replace;
  const Error e = CaughtFrom([&] { Import(demo_, request, context); });
  EXPECT_THAT(e.text() + " " + e.place().path, HasSubstr(t_ / "tmp/kestrel-undo")) << e.number();
  EXPECT_EQ(StoreBuilder(demo_.Connection()).Dump(), before);
}

}  // namespace
}  // namespace kestrel::testing
