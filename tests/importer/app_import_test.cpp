// The application data import where it differs from an ordinary load: the
// direct path's rejected rows and work files, missing rights, re-coding inside
// files, still-stored applications, import folders; the batch path's file of
// `bcp` lines run without a shell, its refusals, and our `bcp`.
#include "importer/app_import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "base/errors_ours.h"
#include "importer/batch_runner.h"
#include "importer/entry_points.h"
#include "import_fixture.h"
#include "support/error_of.h"
#include "support/run_kestrel.h"

namespace kestrel::testing {
namespace {

using namespace kestrel::importer;
using Rows = std::vector<std::vector<std::string>>;

const std::string S(1, '\x01');
// Everything a shell would act on, and a blank: the runner must pass it as it is.
const std::string kPassword = "pa$HOME `id` x$(id)";
const std::vector<std::string> kTables = {"qzddi100", "qzddi101", "qzddi140", "qzddi150", "qzddi160", "qzddi200",
                                          "qzddi220", "qzddi230", "qzlgy115", "qzlgy140", "qzlgy141", "qzlgy150"};
// The pack's files of a base application LGA and an extension EXB.
const std::vector<std::pair<std::string, Rows>> kPack = {
    {"qzddi100LGA", {{"LGA", "General ledger", "4.2", "2026-01-02 10:11:12", "0"}}},
    {"qzddi101LGA", {{"LGA", "GL", "ACCT", "001", "Account master", "120"}, {"LGA", "GL", "JRNL", "002", "Journal", ""}}},
    {"qzlgy141LGA", {{"LGA", "GL", "ACCT", "001", "ACCNO", "Number", "10"}, {"LGA", "GL", "ACCT", "001", "ACNAM", "Name", "40"}}},
    {"qzddi100EXB", {{"EXB", "Extension book", "", "", "1"}}},
    {"qzddi140EXB", {{"EXB", "PK1", "MD1", "007", "Orders", "F"}}},
    {"qzddi150EXB", {{"EXB", "PK1", "MD1", "007", "ORDNO", "Order number", "N", "8"}}},
    {"qzddi160EXB", {{"EXB", "CURR", "EUR", "Euro"}, {"EXB", "CURR", "USD", ""}}},
    // The code table travels under its own name, never as an application's file.
    {"Qzlgy115", {{"CUR", "Currency", "EUR", "978"}}},
};

class AppImportTest : public ImportFixture {
 protected:
  void SetUp() override {
    ImportFixture::SetUp();
    for (const auto& [name, rows] : kPack) WriteFile(pack_ + "/" + name + ".dat", RowLines(rows));
    Renew("app");
    std::filesystem::create_directories(work_);
  }
  // s_ on a new store `name`, reading the pack, with the values the batch lines carry.
  void Renew(const std::string& name) {
    Fresh(name);
    s_->o.Path = pack_;
    s_->o.DatabaseName = (*store_)->location(), s_->o.DatabaseServer = "local";
    s_->o.DatabaseUser = "kestrel", s_->o.DatabasePassword = kPassword;
    s_->o.KeepWork = true;  // these tests look into the folder the import worked in
    s_->r.Plan = MakePlan({{10, 10}});
  }
  bool ImportAll() { return ImportApplicationsFromLogicPack(s_->o, s_->cx, s_->r.Plan, s_->r.Error); }
  bool LoadBatch() { return LoadDDITablesEx(s_->o, s_->cx, s_->r.Plan, s_->r.Error, "LGA", work_); }

  // A stand-in for `bcp` that keeps the batch file's bytes and mode and
  // notes of every run the number of arguments, the first and the last.
  std::string RecordingBcp(int exit_code = 0) {
    const std::string script = t_ / "fake-bcp";
    WriteFile(script, "#!/bin/sh\nd=$(dirname \"$3\")\ncp \"$d/LGA.Bat\" '" + t_.path() + "/batch.copy'\n"
                      "stat -c %a \"$d/LGA.Bat\" > '" + t_.path() + "/batch.mode'\n"
                      "printf '%s|%s|%s\\n' \"$#\" \"$1\" \"${18}\" >> '" + t_.path() + "/runs'\n"
                      "echo refused by the fake >&2\nexit " + std::to_string(exit_code) + "\n");
    ::chmod(script.c_str(), 0700);
    return script;
  }
  std::string RecordedRuns() const { return ReadFile(t_ / "runs"); }
  // The one import folder the call made.
  std::string ImportFolder() {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(install_ + "/LumoStudio/tmp"))
      if (e.is_directory()) found.push_back(e.path().string());
    EXPECT_EQ(found.size(), 1u);
    return found.empty() ? "" : found[0];
  }
  static std::vector<std::string> FilesIn(const std::string& folder, const std::string& ending) {
    std::vector<std::string> names;
    for (const auto& name : files::ListFiles(Env::Default(), folder))
      if (name.ends_with(ending)) names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string pack_ = t_ / "pack", work_ = t_ / "work";
};

TEST_F(AppImportTest, ARejectedRowKeepsEarlierBatchesAndNamesTheLine) {
  // 2500 field rows, line 2300 one field short: the first batch of 2000 stays.
  Rows rows;
  for (int k = 1; k <= 2500; ++k) rows.push_back({"EXB", "PK1", "MD1", "007", "F" + std::to_string(k), "Field", "C", "3"});
  rows[2299].pop_back();
  WriteFile(pack_ + "/qzddi150EXB.dat", RowLines(rows));
  EXPECT_FALSE(ImportAll());
  EXPECT_EQ(s_->r.Error.ErrorNumber, Number(Ours::MalformedPackFile));
  EXPECT_TRUE(s_->r.Error.ErrorDescription.starts_with("Loading to table qzddi150 failed.\r\n")) << s_->r.Error.ErrorDescription;
  EXPECT_NE(s_->r.Error.ErrorDescription.find("line 2300"), std::string::npos);
  EXPECT_EQ(Log().back(), "Application Loading failed while loading qzddi150.");
  EXPECT_EQ(store_->Count("select count(*) from qzddi150"), 2000);
  EXPECT_EQ(store_->Count("select count(*) from qzddi140"), 1);  // loaded before it
  EXPECT_EQ(store_->Count("select count(*) from qzddi160"), 0);  // never reached
  const std::string folder = ImportFolder();
  EXPECT_TRUE(ReadFile(folder + "/qzddi150EXB.err").starts_with("Line: 2300\r\nText: EXB" + S + "PK1"));
  EXPECT_TRUE(files::FileExists(Env::Default(), folder + "/qzddi150EXB.dat"));  // kept for inspection
}

TEST_F(AppImportTest, AStoreThatCannotBeWrittenHasNoBulkRights) {
  (*store_)->Execute("pragma query_only=1");
  EXPECT_FALSE(LoadDDITablesDmo(s_->o, s_->cx, s_->r.Error, "LGA", work_));
  EXPECT_EQ(s_->r.Error.ErrorNumber, 100);
  EXPECT_EQ(s_->r.Error.ErrorDescription, "Does not have rights to do bulk inserts");
  EXPECT_EQ(Log(), (std::vector<std::string>{"Loading application LGA...", "Does not have rights to do bulk inserts",
                                             "Loading application LGA failed."}));
}

TEST_F(AppImportTest, ReCodingReplacesTheCodeOnlyBeforeAFieldSeparator) {
  // At the start, in the middle, inside another field's end, at the end of a
  // line (no separator follows: kept), in another case and without a separator.
  WriteFile(work_ + "/qzddi220EXB.dat", "EXB" + S + "PK1" + S + "EXB" + S + "XEXB" + S + "EXB\r\nEXBX" + S + "exb" + S + "\r\n");
  RenameApplicationInFile(Env::Default(), work_, "EXB", "NEW2", "qzddi220");
  EXPECT_FALSE(files::FileExists(Env::Default(), work_ + "/qzddi220EXB.dat"));
  EXPECT_EQ(ReadFile(work_ + "/qzddi220NEW2.dat"),
            "NEW2" + S + "PK1" + S + "NEW2" + S + "XNEW2" + S + "EXB\r\nEXBX" + S + "exb" + S + "\r\n");
}

TEST_F(AppImportTest, AnApplicationStillStoredStopsTheImportBeforeItIsCopied) {
  (*store_)->Execute("insert into qzddi100 (appl, dsca, extn) values ('EXB', 'Stored before', 1)");
  EXPECT_FALSE(ImportAll());
  EXPECT_EQ(Log().back(), "Import failed. Applications not deleted before importing.");
  EXPECT_EQ(store_->Count("select count(*) from qzddi101 where appl='LGA'"), 2);  // the ledger came first
  EXPECT_EQ(store_->Count("select count(*) from qzddi140"), 0);
  EXPECT_TRUE(FilesIn(ImportFolder(), ".dat").empty());
  // Whether an application is loaded yet: codes compare without regard to case.
  EXPECT_TRUE(IsNotInList({"LGA", "EXB"}, "lga"));
  EXPECT_FALSE(IsNotInList({"LGA", "EXB"}, "EXB"));
}

TEST_F(AppImportTest, ImportFoldersAreUniqueWithinASecond) {
  s_->env.FixTime(DateTime{2026, 12, 4, 9, 39, 15});
  const std::string base = install_ + "/LumoStudio/tmp/ImportAt041226093915";
  for (const std::string suffix : {"", "-2", "-3"}) EXPECT_EQ(CreateImportFolder(s_->cx), base + suffix);
  EXPECT_TRUE(files::FolderExists(Env::Default(), base + "-3"));
}


TEST_F(AppImportTest, TheBatchFileHoldsOneLinePerTableAndOnlyLinesWithADataFileRun) {
  s_->env.SetVariable("KESTREL_BCP", RecordingBcp());
  CopyApplicationDataFiles(Env::Default(), pack_, work_, "LGA");
  ASSERT_TRUE(LoadBatch()) << s_->r.Error.ErrorDescription;
  // The lines load a staging store beside the data files, never the store.
  const std::string staging = work_ + "/LGA.staging";
  std::string expected;
  for (const auto& table : kTables)
    if (table != "qzlgy115")
      expected += "bcp " + staging + ".." + table + " in \"" + work_ + "/" + table + "LGA.dat\" -c -m 1 -b 1000 -C RAW -t \"" +
                  S + "\" -S local -U \"kestrel\" -P \"" + kPassword + "\"\r\n";
  EXPECT_EQ(ReadFile(t_ / "batch.copy"), expected);
  EXPECT_EQ(ReadFile(t_ / "batch.mode"), "600\n");
  EXPECT_FALSE(files::FileExists(Env::Default(), work_ + "/LGA.Bat"));
  EXPECT_FALSE(files::FileExists(Env::Default(), staging));
  // Lines without a data file do not run; the password reaches bcp as it is, no shell in between.
  std::string runs;
  for (const std::string table : {"qzddi100", "qzddi101", "qzlgy141"})
    runs += "18|" + staging + ".." + table + "|" + kPassword + "\n";
  EXPECT_EQ(RecordedRuns(), runs);
  // A failing line stops the load; the batch file goes all the same.
  s_->env.SetVariable("KESTREL_BCP", RecordingBcp(3));
  std::filesystem::remove(t_ / "runs");
  CopyApplicationDataFiles(Env::Default(), pack_, work_, "LGA");
  EXPECT_FALSE(LoadBatch());
  EXPECT_EQ(s_->r.Error.ErrorNumber, Number(Ours::BulkLoadFailed));
  EXPECT_EQ(s_->r.Error.ErrorDescription, "A bulk-load line failed: line 1 of " + work_ +
                                             "/LGA.Bat (table qzddi100) exited with status 3: refused by the fake");
  EXPECT_EQ(RecordedRuns(), runs.substr(0, runs.find('\n') + 1));
  EXPECT_FALSE(files::FileExists(Env::Default(), work_ + "/LGA.Bat"));
}

TEST_F(AppImportTest, OurBcpStopsAtARejectedRowAndNothingOfTheApplicationReachesTheStore) {
  UseBatchPath();
  Rows rows;
  for (int k = 1; k <= 2500; ++k) rows.push_back({"EXB", "CURR", "V" + std::to_string(k), "Value"});
  rows[1499].push_back("extra");
  WriteFile(pack_ + "/qzddi160EXB.dat", RowLines(rows));
  EXPECT_FALSE(ImportAll());
  EXPECT_EQ(s_->r.Error.ErrorNumber, Number(Ours::BulkLoadFailed));
  const std::string& text = s_->r.Error.ErrorDescription;
  EXPECT_NE(text.find("line 5 of "), std::string::npos) << text;
  EXPECT_NE(text.find("(table qzddi160) exited with status 1: bcp: error 9008: "), std::string::npos) << text;
  EXPECT_NE(text.find("line 1500: a row of 5 fields where table qzddi160 has 4 columns"), std::string::npos) << text;
  EXPECT_EQ(store_->Count("select count(*) from qzddi160") + store_->Count("select count(*) from qzddi150"), 0);
  EXPECT_EQ(FilesIn(ImportFolder(), ".Bat").size() + FilesIn(ImportFolder(), ".staging").size(), 0u);
}

TEST_F(AppImportTest, ValuesABatchLineCannotCarryAreRefusedBeforeAnythingRuns) {
  const std::string fake = RecordingBcp();
  CopyApplicationDataFiles(Env::Default(), pack_, work_, "LGA");
  using Field = std::string ImportOptions::*;
  const std::vector<std::tuple<Field, std::string, std::string>> rows = {
      {&ImportOptions::DatabasePassword, "pa\"ss", "the password holds a double quote"},
      {&ImportOptions::DatabaseServer, "two words", "the server \"two words\" holds a blank"},
      {&ImportOptions::DatabaseName, t_ / "my store.db", "my store.db\" holds a blank"},
      {&ImportOptions::DatabasePassword, "a\r\nbcp x", "the password holds"},
      {nullptr, "", "the application"}};
  for (size_t k = 0; k < rows.size(); ++k) {
    const auto& [field, value, says] = rows[k];
    Renew("refuse-" + std::to_string(k));
    s_->env.SetVariable("KESTREL_BCP", fake);
    if (field) s_->o.*field = value;
    else s_->r.Plan.TargetApplications[1][0] = "E\"X";
    EXPECT_FALSE(LoadBatch());
    EXPECT_EQ(s_->r.Error.ErrorNumber, Number(Ours::UnsafeBatchValue)) << says;
    EXPECT_NE(s_->r.Error.ErrorDescription.find(says), std::string::npos) << s_->r.Error.ErrorDescription;
    EXPECT_EQ(s_->r.Error.ErrorDescription.find("pa\"ss"), std::string::npos);  // never shows the password
  }
  Renew("accepted");
  EXPECT_NO_THROW(CheckBatchLineValues(s_->o, s_->cx, s_->r.Plan));
  EXPECT_TRUE(RecordedRuns().empty());
}


TEST(BatchRunnerTest, LinesSplitAtBlanksWithQuotesGroupingAndNothingElseInterpreted) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> rows = {
      {"bcp s.db..qzddi100 in \"/t/my dir/q.dat\" -t \"\x01\" -U \"\" -P \"a $b `c`\"\r",
       {"bcp", "s.db..qzddi100", "in", "/t/my dir/q.dat", "-t", "\x01", "-U", "", "-P", "a $b `c`"}},
      {"  a   b\\ c  'd e'  ", {"a", "b\\", "c", "'d", "e'"}},
      {"ab\"c d\"e \"\"\"\"", {"abc de", ""}}, {"x\ty", {"x\ty"}}, {"\r", {}}, {"   ", {}}};
  for (const auto& [line, words] : rows) EXPECT_EQ(SplitBatchLine(line), words) << line;
}

TEST(BatchRunnerTest, OnlyBcpLinesRunAndTheProgramComesFromTheEnvElseBesideOurs) {
  TempFolder t;
  FaultEnv env;
  EXPECT_EQ(BulkCopyProgram(env), std::string(KESTREL_BIN_DIR) + "/bcp");
  env.SetVariable("KESTREL_BCP", "/opt/tools/bcp");
  EXPECT_EQ(BulkCopyProgram(env), "/opt/tools/bcp");
  WriteFile(t / "x.Bat", "\r\nrm -rf " + t.path() + " in " + (t / "x.Bat") + "\r\n");
  const ComError other = CaughtFrom([&] { RunBatchFile(env, t / "x.Bat", "/bin/true"); });
  EXPECT_EQ(other.number(), Number(Ours::BulkLoadFailed));
  EXPECT_NE(other.description().find("line 2 of " + (t / "x.Bat") + " does not run bcp"), std::string::npos);
  WriteFile(t / "y.Bat", "bcp s..t in " + (t / "x.Bat") + "\r\n");
  const ComError missing = CaughtFrom([&] { RunBatchFile(env, t / "y.Bat", "/opt/tools/bcp"); });
  EXPECT_EQ(missing.number(), 53);
  EXPECT_EQ(missing.description(), "File not found: /opt/tools/bcp");
}

TEST(BcpProgramTest, TakesExactlyTheOptionsOfTheBatchLines) {
  TempFolder t;
  const std::string bcp = std::string(KESTREL_BIN_DIR) + "/bcp";
  StoreBuilder store = StoreBuilder::Empty(t / "s.db");
  WriteFile(t / "d.dat", RowLines({{"EXB", "CURR", "EUR", "Euro"}, {"EXB", "CURR", "USD", ""}}));
  const std::vector<std::string> good = {t / "s.db..qzddi160", "in", t / "d.dat", "-c", "-m", "1", "-b", "1000",
                                         "-C", "RAW", "-t", S, "-S", "local", "-U", "", "-P", kPassword};
  // Each row replaces the option at `at` and its value; `at` 0 names a store that does not exist.
  const std::vector<std::tuple<size_t, std::vector<std::string>, int, std::string>> rows = {
      {16, {"-P", kPassword}, 0, "2 rows copied.\n"}, {16, {"-e", "errors.txt"}, 2, "unknown argument \"-e\""},
      {10, {"-t", ","}, 2, "-t: fields are separated by character 1 only"},
      {0, {t / "none.db..qzddi160", "in"}, 1, "bcp: error 53: File not found: " + (t / "none.db")}};
  for (const auto& [at, replacement, exit_code, says] : rows) {
    std::vector<std::string> args(good.begin(), good.begin() + static_cast<long>(at));
    args.insert(args.end(), replacement.begin(), replacement.end());
    args.insert(args.end(), good.begin() + static_cast<long>(at) + 2, good.end());
    auto r = RunProgram(bcp, args);
    EXPECT_EQ(r.exit_code, exit_code) << says;
    EXPECT_NE((exit_code ? r.err : r.out).find(says), std::string::npos) << r.err;
  }
  EXPECT_EQ(store.Count("select count(*) from qzddi160 where dsca is null"), 1);
  EXPECT_EQ(RunProgram(bcp, {t / "s.db", "in", t / "d.dat"}).exit_code, 2);  // no "..table"
}

}  // namespace
}  // namespace kestrel::testing
