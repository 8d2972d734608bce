// The export driver on a store of a root, a child and a grandchild: the
// single-profile pack folds inherited rules into the grandchild, the nearest
// level winning; the chain pack its own rules of each level; the bytes of a
// whole pack; and the refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

#include "base/datetime.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "exporter/pack_readers.h"
#include "kestrel/cls_export.h"
#include "kestrel/store.h"
#include "pack/sums.h"
#include "store/backends.h"
#include "support/fault_env.h"
#include "support/pack_compare.h"
#include "support/store_builder.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Strings = std::vector<std::string>;

const TestObject kRootOnly{"AR", "CUST", "010"};   // rules only in the root
const TestObject kRedefined{"AR", "INVC", "020"};  // rules in the root and the child
const TestObject kNowhere{"AR", "PAYM", "030"};    // rules in no profile
const TestObject kOwn{"AR", "ORDR", "040"};        // rules in the grandchild

const TestProfile kRoot{5, "BAS", "EXT", {"X40", "c", "ab1"}, std::nullopt, "Y"};
const TestProfile kChild{7, "BAS", "EX2", {"X41U", "c", "ab1"}, TestVrc{"X40", "c", "ab1"}, "Y"};
const TestProfile kGrandchild{9, "BAS", "EXT", {"X42U", "c", "ab1"}, TestVrc{"X41U", "c", "ab1"}, "Y"};
const TestVrc kDevelopment{"dX42U", "c", "dab1"};

// Root 5 and grandchild 9 convert BAS (base) into EXT, child 7 into EX2 (extensions).
class ProfileExport : public ::testing::Test {
 protected:
  void SetUp() override { Fill(); }
  void Fill() {
    std::filesystem::create_directory(root);
    for (auto [appl, extn] : {std::pair{"BAS", 0}, {"EXT", 1}, {"EX2", 1}}) store.AddApplication(appl, extn);
    // Listed out of name order: the pack keeps the list's.
    for (const auto* o : {&kRootOnly, &kOwn, &kRedefined, &kNowhere}) store.AddObject("EXT", 1, *o);
    store.AddObject("EX2", 1, kRedefined);
    store.AddProfile(kRoot);
    store.AddProfile(kChild, {&kRoot});
    store.AddProfile(kGrandchild, {&kChild, &kRoot});
    store.AddDevelopmentVrc(kRoot, {"dX40", "c", "dab1"});
    store.AddDevelopmentVrc(kChild, {"dX41U", "c", "dab1"});
    store.AddDevelopmentVrc(kGrandchild, kDevelopment);
    store.AddRule120(5, kRoot.vrc, kRootOnly, "root rule of CUST");
    store.AddOtherRules(5, kRoot.vrc, kRootOnly, "root other of CUST");
    store.AddRevisions(5, kRoot.vrc, kRootOnly, "root revision of CUST");
    store.AddRule120(5, kRoot.vrc, kRedefined, "root rule of INVC");
    store.AddOtherRules(5, kRoot.vrc, kRedefined, "root other of INVC");
    store.AddRule120(7, kChild.vrc, kRedefined, "child rule of INVC");
    store.AddRule120(7, kChild.vrc, kRedefined, "second child rule of INVC");
    store.AddOtherRules(7, kChild.vrc, kRedefined, "child other of INVC");
    store.AddRevisionTwins(7, kChild.vrc, kRedefined, "child revision without info");
    store.AddRule120(9, kGrandchild.vrc, kOwn, "own rule of ORDR", "bsmith");
    // Without qzmap120 rows of its own the grandchild is not CUST's level:
    // these stay out of every single-profile pack.
    store.AddOtherRules(9, kGrandchild.vrc, kRootOnly, "stray other of CUST");
    store.AddRule120(9, kDevelopment, kOwn, "own rule in development");
    store.AddRule120(11, {"Y10", "c", "ab1"}, kOwn, "rule of a profile outside the chain");
    // Functions: the child redefines the root's fnTrim; fnDraft lives in the
    // grandchild's development VRC, which no pack carries.
    const std::tuple<int, TestVrc, const char*, int> functions[] = {
        {5, kRoot.vrc, "fnTrim", 1}, {5, kRoot.vrc, "fnRound", 1}, {7, kChild.vrc, "fnTrim", 2},
        {9, kDevelopment, "fnDraft", 1}};
    for (const auto& [mprf, vrc, fnam, revisions] : functions) {
      const std::string fdef = (mprf == 5 ? "root " : mprf == 7 ? "child " : "draft ") + std::string(fnam);
      const Named key{{"mprf", mprf}, {"vers", vrc.vers}, {"rele", vrc.rele}, {"cust", vrc.cust},
                      {"fnam", fnam}, {"fdef", fdef}};
      Named function = key;
      function.insert(function.end(), {{"dsca", "Trims"}, {"lurn", "jmartin"},
                                       {"ldat", "2024-02-01 10:15:00"}, {"stat", "A"}, {"comt", "c"}});
      store.Add("qzlib100", function);
      for (int revi = 1; revi <= revisions; ++revi) {
        Named revision = key;
        revision.insert(revision.end(), {{"revi", revi}, {"rinf", fdef + " " + std::to_string(revi)},
                                         {"isid", "I7"}, {"cdat", "2024-02-01 10:15:00"}, {"pexp", 1},
                                         {"usrn", "jmartin"}});
        store.Add("qzlib105", revision);
      }
    }
  }

  std::unique_ptr<Kestrel20ImpExp::clsExport> Grandchild(bool traverse, bool revisions, Env& env = Env::Default()) {
    auto e = std::make_unique<Kestrel20ImpExp::clsExport>(env);
    e->putref_DataConnection(store.connection());
    e->put_MigrationProfileTobeExported(9);
    e->put_Path(root);
    e->put_ExportToSingleProfile(true);
    e->put_traveseparent(traverse);
    e->put_ExportRevisionInformation(revisions);
    return e;
  }
  std::string Pack(char kind = 'S') const { return root + "/ExportedRules/9-BAS-EXT-" + kind; }

  TempFolder tmp;
  StoreBuilder store = StoreBuilder::Empty(tmp / "store.db");
  std::string root = tmp / "root";
};

// Each object's rules and each function come from the nearest level that
// has them, with only that version's revisions.
TEST_F(ProfileExport, ASingleProfileTakesEachObjectsRulesFromTheNearestLevel) {
  // In pack order: object by object as listed, each object's rules as added.
  const Strings all_rules = {"root rule of CUST", "own rule of ORDR", "child rule of INVC", "second child rule of INVC"};
  const Strings all_others = {"child other of INVC", "root other of CUST"};
  const Strings functions = {"child fnTrim", "root fnRound"};
  const struct { const char* name; bool traverse, revisions; const char* scme;
                 Strings rules, others, revision_info, functions, function_revisions;
                 size_t no_rules_notes, no_revisions_notes; } rows[] = {
      {"climbing", true, false, "Y", all_rules, all_others, {}, functions, {}, 1, 0},
      {"own objects only", false, false, "Y", {"own rule of ORDR"}, {}, {}, {}, {}, 0, 0},
      // The child's twins of INVC stay out: the child has no qzmap110 row for it.
      {"climbing with revisions", true, true, "Y", all_rules, all_others, {"root revision of CUST"},
       functions, {"child fnTrim 1", "child fnTrim 2", "root fnRound 1"}, 1, 2},
      {"revisions asked, not kept", true, true, "N", all_rules, all_others, {}, functions, {}, 1, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    store.Exec(std::string("update qzmap100 set scme='") + row.scme + "' where mprf=9");
    auto e = Grandchild(row.traverse, row.revisions);
    e->put_OverWrite(true);
    ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
    const bool with_revisions = !row.revision_info.empty();
    const std::string manifest = ReadFile(Pack() + "/ExportMR.log");
    EXPECT_EQ(Count(manifest, with_revisions ? "\r\nExportRevisions=1\r\n" : "\r\nExportRevisions=0\r\n"), 1u);
    EXPECT_EQ(Count(manifest, "\r\nQzmap110.dat\r\n"), with_revisions) << "listed";
    auto records = RecordsOf(Pack(), pack::kQzmap120);
    Strings rules;
    for (const auto& record : records) rules.push_back(record.at("prtx"));
    EXPECT_THAT(rules, ElementsAreArray(row.rules));
    EXPECT_THAT(ColumnOf(records, "ldat"), ::testing::Each("<unset>")) << "the mapping object export leaves it out";
    auto others = RecordsOf(Pack(), pack::kQzmap170);  // a file the object still holds open reads complete too
    EXPECT_THAT(ColumnOf(others, "bflno"), ElementsAreArray(row.others));
    auto revisions = with_revisions ? RecordsOf(Pack(), pack::kQzmap110) : std::vector<Record>{};
    EXPECT_THAT(ColumnOf(revisions, "rinf"), ElementsAreArray(row.revision_info));
    EXPECT_THAT(ColumnOf(RecordsOf(Pack(), pack::kQzlib100), "fdef"), ElementsAreArray(row.functions));
    auto function_revisions = with_revisions ? RecordsOf(Pack(), pack::kQzlib105) : std::vector<Record>{};
    EXPECT_THAT(ColumnOf(function_revisions, "rinf"), ElementsAreArray(row.function_revisions));
    for (const auto& r : {records, others, revisions}) for (const auto& rec : r)
        EXPECT_EQ(rec.at("mprf") + rec.at("vers") + rec.at("rele") + rec.at("cust"), "9X42Ucab1") << "the grandchild's";
    EXPECT_EQ(Count(manifest, "\tNo Mapping Rules Present for the Object : ARPAYM030\r\n"), row.no_rules_notes);
    EXPECT_EQ(Count(manifest, "\tNo Revisions Present\r\n"), row.no_revisions_notes);
  }
}

// The one place that pins every byte of a pack's manifest, row files and
// tagged records, from a fixed clock ("@" in the manifest).
TEST_F(ProfileExport, ThePackIsWrittenByteForByte) {
  FaultEnv env;
  env.FixTime(DateTime{2026, 12, 6, 6, 18, 52});
  auto e = Grandchild(false, false, env);
  e->put_NewProfileNumber(12);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  std::string manifest = "SUCCESS\r\n--TESTFILES--\r\n";
  for (const char* file : {"qzddi100BAS", "qzddi100EXT", "qzddi101BAS", "qzddi140EXT", "qzddi150EXT", "qzddi160EXT",
                           "qzddi200EXT", "qzddi220EXT", "qzddi230EXT", "qzlgy141BAS", "qzlgy150BAS", "Qzmap100",
                           "Qzmap101", "Qzmap120", "Qzmap130", "Qzmap140", "Qzmap160", "Qzmap170", "Qzmap150",
                           "Qzlgy115", "Qzlib100"})
    manifest += std::string(file) + ".dat\r\n";
  manifest += "--END TESTFILES--\r\n--APPLS--\r\nBAS\r\nEXT\r\n--ENDAPPLS--\r\nExportRevisions=0\r\n"
              "ExportToNewProfile=12\r\nExportForSyn=0\r\nExporting Migration Profile 9 Started at @\r\n";
  for (const char* table : {"Qzmap100", "Qzddi100", "Qzddi101", "Qzddi140", "Qzddi150", "Qzddi160", "Qzddi200",
                            "Qzddi220", "Qzddi230", "Qzlgy140 and Qzlgy141", "Qzlgy150"})
    manifest += std::string("\tExporting ") + table + " Started : @\r\n\tExporting " + table + " Ended   : @\r\n";
  manifest += "\tExporting Mapping Objects Started : @\r\n\tExporting Mapping Object ARORDR040 Started @\r\n"
              "\tObject Exported ARORDR040 but was Checked out by user bsmith\r\n"
              "\tExporting Mapping Object ARORDR040 Completed @\r\n\tExporting Mapping Objects Ended : @\r\n";
  manifest += "\tExporting Functions Started : @\r\n\tNo Functions Present\r\n\tExporting Functions Completed : @\r\n"
              "\tExporting codes Started : @\r\n\tNo Codes in the Conversion Table Present\r\n"
              "\tExporting codes Completed : @\r\n\tExporting includes completed\r\n"
              "Exporting Migration Profile 9 completed Successfully at @";
  for (size_t at; (at = manifest.find('@')) != std::string::npos;) manifest.replace(at, 1, "2026-12-06   06:18:52");
  const std::pair<const char*, std::string> golden[] = {
      {"ExportMR.log", manifest},
      {"Qzmap100.dat", "9\1BAS\1EXT\1X42U\1c\1ab1\1X41U\1c\1ab1\1Profile 9\1Y\0013\1jmartin\1\1\1\1\1Conversion\r\n"},
      {"Qzmap120.dat",
       "MO\r\n:MPRF:9\r\n:VERS:X42U\r\n:RELE:c\r\n:CUST:ab1\r\n:TCPAC:AR\r\n:TCMOD:ORDR\r\n"
       ":TFLNO:040\r\n:PRTX:START\r\nown rule of ORDR\r\n:PRTX:END\r\n:STAT:A\r\n:VARI:V1\r\n:STBL:S\r\n"
       ":COMT:START\r\nComment\r\nsecond line\r\n:COMT:END\r\n:TEXT:\r\nNote of own rule of ORDR\r\n"
       ":TEXT:END\r\n:ISMS:1\r\n"},
  };
  for (const auto& [name, bytes] : golden) EXPECT_EQ(ReadFile(Pack() + "/" + name), bytes) << name;
}

// A server store merges a profile's own rules with its objects by their keys on the client: the same rows give the
// file store's pack, byte for byte, with and without revisions. Besides the rows above: an object listed twice (its
// rules go with each listing), rules of an object not listed whose key sorts after every listed one, a rule without
// a module, and an object whose revisions stay out (no qzmap110 row) beside one whose revisions go.
TEST_F(ProfileExport, AServerStoreWritesTheFileStoresPack) {
  if (!PostgresTestServer()) GTEST_SKIP() << "KESTREL_TEST_POSTGRES is not set";
  FaultEnv env;
  env.FixTime(DateTime{2026, 12, 6, 6, 18, 52});
  const TestObject kUnlisted{"AR", "ZINS", "090"};
  auto more_rows = [&] {
    store.AddObject("EXT", 1, kOwn);
    store.AddRule120(9, kGrandchild.vrc, kRootOnly, "own rule of CUST");
    store.AddRule120(9, kGrandchild.vrc, kOwn, "second own rule of ORDR");
    store.AddRevisions(9, kGrandchild.vrc, kOwn, "own revision of ORDR");
    store.AddRevisionTwins(9, kGrandchild.vrc, kRootOnly, "twin without info");
    store.AddRule120(9, kGrandchild.vrc, kUnlisted, "rule of an object not listed");
    store.AddOtherRules(9, kGrandchild.vrc, kUnlisted, "other of an object not listed");
    store.AddRule120(9, kGrandchild.vrc, {"AR", "", "040"}, "rule without a module");
    store.Exec("update qzmap120 set tcmod = NULL where prtx = 'rule without a module'");
  };
  more_rows();
  const StoreBuilder file_store = store;
  store = StoreBuilder::Empty(PostgresStoreIn(tmp.path()));
  const std::string file_root = root;
  root = tmp / "server";
  Fill();
  more_rows();
  // The owner's enciphered bytes as the file store holds them.
  const std::string owner = file_store.Rows("select hex(ownr) from qzmap100 where mprf = 9").at(0).at(0);
  store.Exec("update qzmap100 set ownr = decode('" + owner + "', 'hex') where mprf = 9");
  for (const bool revisions : {false, true}) {
    SCOPED_TRACE(revisions ? "with revisions" : "without revisions");
    for (const auto& [from, into] : {std::pair{&file_store, file_root}, {&store, root}}) {
      auto e = Grandchild(false, revisions, env);
      e->putref_DataConnection(from->connection());
      e->put_Path(into);
      e->put_OverWrite(true);
      ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
    }
    const std::string pack = "/ExportedRules/9-BAS-EXT-S";
    EXPECT_EQ(ComparePacks(file_root + pack, root + pack), "");
    EXPECT_EQ(Count(ReadFile(root + pack + "/ExportMR.log"), "Checked out by user bsmith"), 2u) << "once a listing";
  }
}

// A chain pack carries each profile's own rules under its own number,
// leaving out development VRCs and profiles outside the chain.
TEST_F(ProfileExport, AChainCarriesEachProfilesOwnRules) {
  auto e = Grandchild(false, true);
  e->put_ExportToSingleProfile(false);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  EXPECT_THAT(ColumnOf(RecordsOf(Pack('M'), pack::kQzmap120), "mprf"), ElementsAre("5", "5", "7", "7", "9"));
  EXPECT_THAT(ColumnOf(RecordsOf(Pack('M'), pack::kQzlib100), "fdef"),
              ElementsAre("child fnTrim", "root fnRound", "root fnTrim"));
  // The manifest follows each rule table from its start to its end, the revision tables after the current ones, and
  // notes each function library (current, then revised) exported between them.
  std::vector<std::string> steps;
  for (const std::string& line : LinesOf(Pack('M') + "/ExportMR.log"))
    if (line.starts_with("\tExporting Qzmap1") && line.find(" : ") != std::string::npos)
      steps.push_back(line.substr(0, line.find(" : ")));
    else if (line.find("Exporting includes completed") != std::string::npos) steps.push_back("includes");
  std::vector<std::string> expected;
  for (const char* table : {"101", "120", "130", "140", "160", "170", "", "105", "110", "125", "135", "145", "165", "175"})
    if (*table == '\0')
      expected.insert(expected.end(), {"includes", "includes"});
    else
      for (const char* end : {" Started", " Ended  "}) expected.push_back(std::string("\tExporting Qzmap") + table + end);
  EXPECT_EQ(steps, expected);

  // A profile without rules: its rule files stay empty and the manifest says so once, for the current rules.
  store.AddProfile(TestProfile{12, "BAS", "EXT", {"X50", "c", "ab1"}, std::nullopt, "Y"});
  auto bare = Grandchild(false, false);
  bare->put_MigrationProfileTobeExported(12);
  bare->put_ExportToSingleProfile(false);
  ASSERT_TRUE(bare->ExportMigrationProfiles()) << bare->get_ErrorDescription();
  EXPECT_EQ(Count(ReadFile(root + "/ExportedRules/12-BAS-EXT-M/ExportMR.log"), "\tNo Conversion Rules Present"), 1u);
}

// What the rules folder holds besides the pack folders: an export's own folder left behind.
Strings LeftBeside(const std::string& rules_folder) {
  Strings left;
  for (const auto& entry : std::filesystem::directory_iterator(rules_folder))
    if (entry.path().filename().string().front() == '.') left.push_back(entry.path().filename());
  return left;
}

// Two exports of one pack folder with --overwrite at once, one with the inherited rules and revisions and one
// without: afterwards the folder holds one of the two packs whole (its files match its sums, and the rules match
// its revisions), never a mix, and no export's own folder is left.
TEST_F(ProfileExport, TwoExportsOverwritingOnePackLeaveOneOfThemWhole) {
  ASSERT_TRUE(Grandchild(false, false)->ExportMigrationProfiles());
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    bool ok[2] = {false, false};
    std::vector<std::thread> exports;
    for (int i = 0; i < 2; ++i)
      exports.emplace_back([&, i] {
        // The smaller export starts later from round to round, so that either may end last.
        if (i == 1) std::this_thread::sleep_for(std::chrono::milliseconds(12 * round));
        auto e = Grandchild(i == 0, i == 0);
        e->putref_DataConnection(store::Open(tmp / "store.db"));  // a connection of its own
        e->put_OverWrite(true);
        ok[i] = e->ExportMigrationProfiles();
      });
    for (auto& t : exports) t.join();
    EXPECT_TRUE(ok[0] && ok[1]);
    EXPECT_TRUE(pack::VerifySums(Env::Default(), Pack()));
    const bool with_revisions = std::filesystem::exists(Pack() + "/Qzmap110.dat");
    EXPECT_EQ(RecordsOf(Pack(), pack::kQzmap120).size(), with_revisions ? 4u : 1u);
    EXPECT_EQ(Count(ReadFile(Pack() + "/ExportMR.log"), "\r\nQzmap110.dat\r\n"), with_revisions ? 1u : 0u);
    EXPECT_THAT(LeftBeside(root + "/ExportedRules"), ::testing::IsEmpty());
  }
}

// An export that fails part of the way through (a write of the pack fails) leaves the pack it would have replaced
// as it was and nothing of its own; where no pack was, it leaves none (a failure the driver reports itself still
// leaves its pack marked ERRORS: see the refusals below).
TEST_F(ProfileExport, AFailedExportLeavesThePackItWouldReplaceAsItWas) {
  ASSERT_TRUE(Grandchild(false, false)->ExportMigrationProfiles());
  const std::map<std::string, std::string> before = FilesIn(Pack());
  struct : FaultEnv {
    std::vector<std::string> made;  // folders, in order
    bool CreateFolder(const std::string& path) override { return made.push_back(path), FaultEnv::CreateFolder(path); }
  } env;
  // The n-th write fails; 0: the pack is written, and putting it in place fails.
  for (size_t n : {1, 5, 10, 0}) {
    SCOPED_TRACE(n);
    auto e = Grandchild(true, true, env);
    e->put_OverWrite(true);
    n ? env.FailWrite(n, ENOSPC) : env.FailFolderRename(EIO);
    EXPECT_FALSE(e->ExportMigrationProfiles());
    EXPECT_THAT(e->get_ErrorDescription(), ::testing::HasSubstr(n ? "No space left on device" : "Input/output error"));
    EXPECT_EQ(FilesIn(Pack()), before);
    EXPECT_THAT(LeftBeside(root + "/ExportedRules"), ::testing::IsEmpty());
  }
  std::filesystem::remove_all(Pack());
  auto e = Grandchild(true, true, env);
  env.FailWrite(5, ENOSPC);
  EXPECT_FALSE(e->ExportMigrationProfiles());
  EXPECT_FALSE(std::filesystem::exists(Pack()));
  EXPECT_THAT(LeftBeside(root + "/ExportedRules"), ::testing::IsEmpty());
  // Each was written in a hidden folder beside the pack, never taken for one by a reader.
  const std::filesystem::path pack = Pack();
  const std::string hidden = pack.parent_path() / ("." + pack.filename().string() + ".tmp-");
  EXPECT_THAT(env.made, ::testing::Each(::testing::AnyOf(pack.parent_path().string(), ::testing::StartsWith(hidden))));
}

// A pack folder that is a link to a folder elsewhere is replaced as a link: nothing where it pointed is touched.
TEST_F(ProfileExport, OverwritingAPackFolderThatIsALinkLeavesWhatItPointedAt) {
  std::filesystem::create_directories(tmp / "elsewhere");
  WriteFile(tmp / "elsewhere/notes.txt", "not the pack's\n");
  std::filesystem::create_directories(root + "/ExportedRules");
  std::filesystem::create_directory_symlink(tmp / "elsewhere", Pack());
  auto e = Grandchild(false, false);
  e->put_OverWrite(true);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  EXPECT_EQ(ReadFile(tmp / "elsewhere/notes.txt"), "not the pack's\n");
  EXPECT_FALSE(std::filesystem::is_symlink(Pack()));
  EXPECT_TRUE(pack::VerifySums(Env::Default(), Pack()));
  EXPECT_THAT(LeftBeside(root + "/ExportedRules"), ::testing::IsEmpty());
}

TEST_F(ProfileExport, RefusalsNameTheirCause) {
  const std::string missing = tmp / "missing";
  auto exec = [&](const char* sql, bool single = true) -> std::function<void(Kestrel20ImpExp::clsExport&)> {
    return [&, sql, single](auto& e) { e.put_ExportToSingleProfile(single); store.Exec(sql); };
  };
  const int too_long = Number(Ours::ChainTooLong);
  const char* loop = "update qzmap100 set verf='X42U', relf='c', cusf='ab1' where mprf=5";
  const struct { const char* name; std::function<void(Kestrel20ImpExp::clsExport&)> prepare; int number;
                 std::string text; const char* manifest_head; } rows[] = {  // text: all of it, or a part for a loop
      {"missing root", [&](auto& e) { e.put_Path(missing); }, 1, "Error : Path Not Found " + missing, ""},
      {"root that takes no folders", [&](auto& e) { e.put_Path("/proc"); }, Number(Ours::ExportRootUnusable),
       "The export root cannot hold a logic pack: /proc: the folder /proc/ExportedRules cannot be created: Path not "
       "found (the file system there takes no folders of ours)", ""},
      {"exported before", [&](auto&) { ASSERT_TRUE(Grandchild(true, false)->ExportMigrationProfiles()); }, 3,
       "Error : Migration Profile Already Exported\r\nSuggession : Set Overwrite Option to True", "SUCCESS"},
      {"no owner", exec("update qzmap100 set ownr=NULL where mprf=9"), 999,
       "UnSpecified Error: --ExportSingleProfile-- 94   Invalid use of Null", "ERRORS"},
      {"no mapping objects", exec("delete from qzddi140"), 140,
       "Error : Qzddi140 - No Data Present for Applications  BAS|EXT", "ERRORS"},
      {"mapping object without package", exec("insert into qzddi140 (appl, cmod) values ('EXT', 'ZZ')"), 999,
       "Unspecified Error : --ExportMappingObjects-- 94   Invalid use of Null", "ERRORS"},
      {"revision without date", [&](auto&) { store.AddRevisionInfo(9, kGrandchild.vrc, kOwn, "", true); }, 999,
       "UnSpecified Error : --ExportObjectEx-- 94   Invalid use of Null", "ERRORS"},
      {"missing parent", exec("update qzmap100 set verf='X39' where mprf=9"), 4,
       "Error : --ExportObjectEx-- Parent Profile is missing", "ERRORS"},
      {"loop of parents", exec(loop), too_long, "profile 9 is reached twice", "ERRORS"},
      {"chain with a loop", exec(loop, false), too_long, "profile 9 is reached twice", "ERRORS"},
      {"store table without a column of the pack", [&](auto& e) {
         exec("insert into qzlgy115 values ('CUR', 'Currency', 'EUR', '978')", false)(e);
         store.Exec("alter table qzlgy115 drop column oval"); }, 999,
       "UnSpecified Error: --Export Code--9001   The table qzlgy115 has no column oval", "ERRORS"},
      {"chain without development VRCs", exec("delete from qzmap105", false), 105,
       "Error : Qzmap105 - No Data Present in Qzmap105 Table", "ERRORS"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& row = rows[i];
    SCOPED_TRACE(row.name);
    store = StoreBuilder::Empty(tmp / ("store" + std::to_string(i) + ".db"));
    root = tmp / ("root" + std::to_string(i));
    Fill();
    auto e = Grandchild(true, true);
    row.prepare(*e);
    EXPECT_FALSE(e->ExportMigrationProfiles());
    EXPECT_EQ(e->get_ErrorNumber(), row.number);
    EXPECT_THAT(e->get_ErrorDescription(), ::testing::HasSubstr(row.text));
    if (row.number != too_long) { EXPECT_EQ(e->get_ErrorDescription(), row.text); }
    EXPECT_FALSE(files::FileExists(Env::Default(), e->PackFolder() + "/Qzmap105.dat") && row.number == 105);
    if (!*row.manifest_head) {
      EXPECT_FALSE(files::FolderExists(Env::Default(), missing));
      continue;
    }
    auto lines = LinesOf((files::FolderExists(Env::Default(), Pack()) ? Pack() : Pack('M')) + "/ExportMR.log");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), row.manifest_head);
    if (lines.front() == "ERRORS") {
      EXPECT_THAT(Strings(lines.end() - 3, lines.end()),
                  ElementsAre("Exporting Migration Profile Ended with Errors",
                              "Error Number      : " + std::to_string(row.number),
                              "Error Description : " + e->get_ErrorDescription()));
    }
  }
}

}  // namespace
}  // namespace kestrel::testing
