// The application data import on both paths: the direct bulk loader and the
// batch file of `bcp` lines run without a shell, on a pack of a base and an
// extension application, with re-coding, shared and still-stored
// applications, missing and rejected rows, and the batch file itself.
#include "importer/app_import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/value.h"
#include "importer/batch_runner.h"
#include "pack/row_writer.h"
#include "store/connection.h"
#include "store/open.h"
#include "store/schema.h"
#include "support/run_kestrel.h"
#include "support/temp_folder.h"
#include "store_views.h"
#include "import_parts.h"

namespace kestrel::importer {
namespace {

using testing::ImportParts;

using kestrel::testing::ReadFile;
using kestrel::testing::FaultEnv;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;
using Rows = std::vector<std::vector<std::string>>;

const std::string S(1, '\x01');
// Everything a shell would act on, and a blank: the runner must pass it as it is.
const std::string kPassword = "pa$HOME `id` x$(id)";

// The pack's two applications, table by table. An empty field is NULL.
const std::map<std::string, Rows>& LedgerRows() {
  static const std::map<std::string, Rows> rows = {
      {"qzddi100", {{"LGA", "General ledger", "4.2", "2026-01-02 10:11:12", "0"}}},
      {"qzddi101", {{"LGA", "GL", "ACCT", "001", "Account master", "120"},
                    {"LGA", "GL", "JRNL", "002", "Journal", ""}}},
      {"qzlgy140", {{"LGA", "GL", "ACCT", "001", "Account", "F"}}},
      {"qzlgy141", {{"LGA", "GL", "ACCT", "001", "ACCNO", "Account number", "10"},
                    {"LGA", "GL", "ACCT", "001", "ACNAM", "Account name", "40"}}},
      {"qzlgy150", {{"LGA", "GRP1", "Accounts", "1"}}},
  };
  return rows;
}
const std::map<std::string, Rows>& ExtensionRows() {
  // qzddi150 names the application in the middle of a line too, once in
  // lower case, which re-coding leaves alone (the comparison is exact).
  static const std::map<std::string, Rows> rows = {
      {"qzddi100", {{"EXB", "Extension book", "", "", "1"}}},
      {"qzddi140", {{"EXB", "PK1", "MD1", "007", "Orders", "F"}}},
      {"qzddi150", {{"EXB", "PK1", "MD1", "007", "ORDNO", "Order number", "N", "8"},
                    {"EXB", "PK1", "MD1", "007", "SRC", "EXB", "C", "3"},
                    {"EXB", "PK1", "MD1", "007", "LOW", "exb", "C", "3"}}},
      {"qzddi160", {{"EXB", "CURR", "EUR", "Euro"}, {"EXB", "CURR", "USD", ""}}},
      {"qzddi200", {{"EXB", "PK1", "MD1", "007", "1", "ORDNO"}}},
      {"qzddi220", {{"EXB", "PK1", "MD1", "007", "PK2", "MD2", "008"}}},
      {"qzddi230", {{"EXB", "GRP1", "PK1", "MD1", "007", "1"}}},
  };
  return rows;
}

const std::vector<std::string> kTwelve = {"qzddi100", "qzddi101", "qzddi140", "qzddi150",
                                          "qzddi160", "qzddi200", "qzddi220", "qzddi230",
                                          "qzlgy115", "qzlgy140", "qzlgy141", "qzlgy150"};

int64_t Count(store::Connection& c, const std::string& from_where) {
  return c.OpenRecordset("select count(*) from " + from_where)->Fields(0).Integer();
}

// Every row of the twelve tables, each field with its kind, sorted: two
// stores with the same rows give the same dump.
std::map<std::string, std::vector<std::string>> Dump(store::Connection& c) {
  std::map<std::string, std::vector<std::string>> out;
  for (const auto& table : kTwelve) {
    auto rs = c.OpenRecordset("select * from " + table);
    auto& rows = out[table];
    for (; !rs->IsEOF(); rs->MoveNext()) {
      std::string row;
      for (int i = 0; i < rs->FieldCount(); ++i) {
        Value v = rs->Fields(i);
        row += (i ? "|" : "") + (v.IsNull() ? std::string("<null>") : (v.IsInteger() ? "#" : "") + v.Text());
      }
      rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
  }
  return out;
}

// The dump the pack's rows should give, under the codes the user chose.
std::map<std::string, std::vector<std::string>> Expected(const std::map<std::string, std::string>& codes = {}) {
  std::map<std::string, std::vector<std::string>> out;
  for (const auto& table : kTwelve) out[table];
  for (const auto* app : {&LedgerRows(), &ExtensionRows()})
    for (const auto& [table, rows] : *app)
      for (const auto& fields : rows) {
        std::string row;
        for (size_t i = 0; i < fields.size(); ++i) {
          std::string f = fields[i];
          if (auto it = codes.find(f); it != codes.end()) f = it->second;
          bool number = table == "qzddi100" && i == 4;  // extn
          row += (i ? "|" : "") + (f.empty() ? std::string("<null>") : (number ? "#" : "") + f);
        }
        out[table].push_back(row);
      }
  for (auto& [table, rows] : out) std::sort(rows.begin(), rows.end());
  return out;
}

class AppImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    install_ = t_ / "install";
    files::CreateFolders(Env::Default(), install_ + "/LumoStudio/tmp");
    files::CreateFolders(Env::Default(), install_ + "/LumoStudio/bin");
    pack_ = t_ / "pack";
    files::CreateFolder(Env::Default(), pack_);
    for (const auto* app : {&LedgerRows(), &ExtensionRows()})
      for (const auto& [table, rows] : *app) WritePackFile(table + rows[0][0] + ".dat", rows);
    // The code table travels under its own name and is never found as an application's file.
    WritePackFile("Qzlgy115.dat", {{"CUR", "Currency", "EUR", "978"}});
    store_ = NewState(s_, "store.db");
  }

  std::shared_ptr<store::Connection> NewState(ImportParts& s, const std::string& store_name) {
    auto c = store::CreateStore(t_ / store_name);
    s.cx.InstallationPath = install_;
    s.cx.ImportLogPath = install_ + "/LumoStudio/tmp/importmr.log";
    s.cx.DataConnection = c;
    s.o.Path = pack_;
    s.o.DatabaseName = t_ / store_name;
    s.o.DatabaseServer = "local";
    s.o.DatabaseUser = "kestrel";
    s.o.DatabasePassword = kPassword;
    // These tests look into the folder the import worked in.
    s.o.KeepWork = true;
    SetPlan(s, {{"LGA", "EXB", "LGA", "EXB"}});
    return c;
  }
  // Entries of pack source, pack target, chosen source, chosen target.
  static void SetPlan(ImportParts& s, const std::vector<std::array<std::string, 4>>& entries) {
    ImportPlan p;
    for (const auto& e : entries) {
      const int32_t n = static_cast<int32_t>(p.SourceApplications[0].size()) + 10;
      for (size_t r = 0; r < 2; ++r) {
        p.SourceProfiles[r].push_back(r ? 0 : n);
        p.TargetProfiles[r].push_back(r ? 0 : n);
        p.SourceApplications[r].push_back(e[r]);
        p.TargetApplications[r].push_back(e[2 + r]);
      }
      p.DevelopmentVRCs.push_back("__");
    }
    p.Size = static_cast<int32_t>(entries.size()) - 1;
    s.r.Plan = std::move(p);
  }

  void WritePackFile(const std::string& name, const Rows& rows) {
    auto out = files::TextWriter::Create(Env::Default(), files::Join(pack_, name));
    pack::RowWriter writer(rows[0].size(), *out);
    for (const auto& row : rows) {
      std::vector<Value> values(row.begin(), row.end());
      writer.Write(values);
    }
    out->Close();
  }
  void UseBatchPath() { WriteFile(install_ + "/LumoStudio/bin/LumoConfig.ini", "[Lumo]\r\nIIS=5\r\n"); }

  // A stand-in for `bcp` that records, per run, the batch file's bytes and
  // mode and every argument it was given (each ended by a NUL).
  std::string RecordingBcp(const std::string& application, int exit_code = 0) {
    const std::string script = t_ / "fake-bcp";
    WriteFile(script, "#!/bin/sh\n"
                      "d=$(dirname \"$3\")\n"
                      "cp \"$d/" + application + ".Bat\" '" + t_.path() + "/batch.copy'\n"
                      "stat -c %a \"$d/" + application + ".Bat\" > '" + t_.path() + "/batch.mode'\n"
                      "for a in \"$@\"; do printf '%s\\0' \"$a\"; done >> '" + t_.path() + "/args'\n"
                      "echo refused by the fake >&2\n"
                      "exit " + std::to_string(exit_code) + "\n");
    ::chmod(script.c_str(), 0700);
    return script;
  }
  // The recorded runs, each a list of arguments.
  std::vector<std::vector<std::string>> RecordedRuns() {
    std::vector<std::vector<std::string>> runs;
    std::string all = files::FileExists(Env::Default(), t_ / "args") ? ReadFile(t_ / "args") : "";
    std::vector<std::string> args;
    for (size_t start = 0, end; (end = all.find('\0', start)) != std::string::npos; start = end + 1) {
      args.push_back(all.substr(start, end - start));
      if (args.size() == 18) runs.push_back(std::move(args)), args.clear();
    }
    EXPECT_TRUE(args.empty()) << "a run with another number of arguments";
    return runs;
  }

  std::vector<std::string> LogMessages() { return kestrel::testing::RunLogMessages(s_.cx.ImportLogPath); }
  bool Logged(const std::string& message) {
    auto m = LogMessages();
    return std::find(m.begin(), m.end(), message) != m.end();
  }
  // The one import folder the call made.
  std::string ImportFolder() {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(install_ + "/LumoStudio/tmp"))
      if (e.is_directory()) found.push_back(e.path().string());
    EXPECT_EQ(found.size(), 1u);
    return found.empty() ? "" : found[0];
  }
  std::vector<std::string> FilesIn(const std::string& folder, const std::string& ending) {
    std::vector<std::string> names;
    for (const auto& name : files::ListFiles(Env::Default(), folder))
      if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
  }
  TempFolder t_;
  std::string install_, pack_;
  ImportParts s_;
  std::shared_ptr<store::Connection> store_;
};

// ---------------------------------------------------------------------------
// The direct path

TEST_F(AppImportTest, DirectPathLoadsBothApplicationsTableByTable) {
  ASSERT_TRUE(ImportApplicationsFromLogicPack(s_.o, s_.cx, s_.r.Plan, s_.r.Error)) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Dump(*store_), Expected());

  const std::string folder = ImportFolder();
  std::vector<std::string> expected = {" Before Creating folder: " + folder, " Before Creating folder: " + folder,
                                       "Loading application LGA..."};
  for (const char* t : {"qzddi140", "qzddi150", "qzddi160", "qzddi200", "qzddi220", "qzddi230", "qzlgy115"})
    expected.push_back(std::string("Data file not found for table ") + t);
  expected.push_back("Loading application LGA done.");
  expected.push_back("Loading application EXB...");
  for (const char* t : {"qzddi101", "qzlgy115", "qzlgy140", "qzlgy141", "qzlgy150"})
    expected.push_back(std::string("Data file not found for table ") + t);
  expected.push_back("Loading application EXB done.");
  EXPECT_EQ(LogMessages(), expected);

  // The working copies are gone; each loaded table left its log and error file.
  EXPECT_TRUE(FilesIn(folder, ".dat").empty());
  EXPECT_EQ(FilesIn(folder, ".log").size(), 12u);
  EXPECT_EQ(FilesIn(folder, ".err").size(), 12u);
  // Each file is named by its table and application.
  for (const char* stem : {"qzddi100LGA", "qzlgy141LGA", "qzddi100EXB", "qzddi230EXB"}) {
    EXPECT_TRUE(files::FileExists(Env::Default(), folder + "/" + stem + ".log")) << stem;
    EXPECT_TRUE(files::FileExists(Env::Default(), folder + "/" + stem + ".err")) << stem;
  }
  EXPECT_NE(ReadFile(folder + "/qzlgy141LGA.log").find("Rows loaded: 2\r\nBatches committed: 1\r\n"),
            std::string::npos);
}

TEST_F(AppImportTest, ARejectedRowKeepsEarlierBatchesAndNamesTheLine) {
  // 2500 field rows of EXB, line 2300 one field short: the first batch of 2000 stays.
  Rows rows;
  for (int k = 1; k <= 2500; ++k)
    rows.push_back({"EXB", "PK1", "MD1", "007", "F" + std::to_string(k), "Field", "C", "3"});
  WritePackFile("qzddi150EXB.dat", rows);
  const std::string path = pack_ + "/qzddi150EXB.dat";
  std::string content = ReadFile(path);
  size_t at = 0;
  for (int line = 1; line < 2300; ++line) at = content.find("\r\n", at) + 2;
  content.erase(content.find(S + "C" + S + "3", at), 2);  // "…\x01Field\x01C\x013" loses "\x01C"
  WriteFile(path, content);

  EXPECT_FALSE(ImportApplicationsFromLogicPack(s_.o, s_.cx, s_.r.Plan, s_.r.Error));
  EXPECT_EQ(s_.r.Error.ErrorNumber, Number(Ours::MalformedPackFile));
  EXPECT_EQ(s_.r.Error.ErrorDescription.rfind("Loading to table qzddi150 failed.\r\n", 0), 0u)
      << s_.r.Error.ErrorDescription;
  EXPECT_NE(s_.r.Error.ErrorDescription.find("line 2300"), std::string::npos);
  auto log = LogMessages();
  ASSERT_GE(log.size(), 1u);
  EXPECT_EQ(log.back(), "Application Loading failed while loading qzddi150.");

  EXPECT_EQ(Count(*store_, "qzddi150 where appl='EXB'"), 2000);
  EXPECT_EQ(Count(*store_, "qzddi140 where appl='EXB'"), 1);  // loaded before it
  EXPECT_EQ(Count(*store_, "qzddi160"), 0);                   // never reached
  const std::string folder = ImportFolder();
  EXPECT_EQ(ReadFile(folder + "/qzddi150EXB.err").rfind("Line: 2300\r\nText: EXB" + S + "PK1", 0), 0u);
  // The failed application's working copies stay for inspection.
  EXPECT_TRUE(files::FileExists(Env::Default(), folder + "/qzddi150EXB.dat"));
}

TEST_F(AppImportTest, AStoreThatCannotBeWrittenHasNoBulkRights) {
  store_->Execute("pragma query_only=1");
  const std::string folder = t_ / "work";
  files::CreateFolder(Env::Default(), folder);
  EXPECT_FALSE(LoadDDITablesDmo(s_.o, s_.cx, s_.r.Error, "LGA", folder));
  EXPECT_EQ(s_.r.Error.ErrorNumber, 100);
  EXPECT_EQ(s_.r.Error.ErrorDescription, "Does not have rights to do bulk inserts");
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"Loading application LGA...",
                                                     "Does not have rights to do bulk inserts",
                                                     "Loading application LGA failed."}));
}

// ---------------------------------------------------------------------------
// Applications: re-coded, shared, still stored

TEST_F(AppImportTest, ReCodedApplicationsTakeTheChosenCodeInNamesAndRows) {
  SetPlan(s_, {{"LGA", "EXB", "NLG", "NEX"}});
  ASSERT_TRUE(ImportApplicationsFromLogicPack(s_.o, s_.cx, s_.r.Plan, s_.r.Error)) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Dump(*store_), Expected({{"LGA", "NLG"}, {"EXB", "NEX"}}));
  EXPECT_EQ(Count(*store_, "qzddi150 where fdsc='exb'"), 1);  // another case: not the code
  EXPECT_TRUE(Logged("Loading application NEX done."));
}

TEST_F(AppImportTest, ReCodingAFileReplacesTheCodeBeforeEveryFieldSeparator) {
  const std::string folder = t_ / "work";
  files::CreateFolder(Env::Default(), folder);
  // At the start, in the middle, inside another field's end, at the end of a
  // line (no separator follows: kept), and without a separator at all.
  WriteFile(folder + "/qzddi220EXB.dat", "EXB" + S + "PK1" + S + "EXB" + S + "XEXB" + S + "EXB\r\n" +
                                             "EXBX" + S + "exb" + S + "\r\n");
  RenameApplicationInFile(Env::Default(), folder, "EXB", "NEW2", "qzddi220");
  EXPECT_FALSE(files::FileExists(Env::Default(), folder + "/qzddi220EXB.dat"));
  EXPECT_EQ(ReadFile(folder + "/qzddi220NEW2.dat"),
            "NEW2" + S + "PK1" + S + "NEW2" + S + "XNEW2" + S + "EXB\r\n" + "EXBX" + S + "exb" + S + "\r\n");

  // Every data file but the shared code table's.
  for (const auto& table : kTwelve) WriteFile(folder + "/" + table + "EXB.dat", "EXB" + S + "x\r\n");
  RenameApplicationDataFiles(Env::Default(), folder, "EXB", "NEW2");
  EXPECT_EQ(FilesIn(folder, "EXB.dat"), (std::vector<std::string>{"qzlgy115EXB.dat"}));
  EXPECT_EQ(FilesIn(folder, "NEW2.dat").size(), 11u);
}

TEST_F(AppImportTest, AnApplicationSharedByTwoEntriesIsLoadedOnce) {
  // Two profiles between the same applications, and a third from the
  // extension back to the ledger.
  SetPlan(s_, {{"LGA", "EXB", "LGA", "EXB"}, {"LGA", "EXB", "LGA", "EXB"}, {"EXB", "LGA", "EXB", "LGA"}});
  ASSERT_TRUE(ImportApplicationsFromLogicPack(s_.o, s_.cx, s_.r.Plan, s_.r.Error)) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Dump(*store_), Expected());
  auto log = LogMessages();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Loading application LGA..."), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Loading application EXB..."), 1);
  EXPECT_TRUE(IsNotInList({}, "LGA"));
  EXPECT_TRUE(IsNotInList({"LGA", "EXB"}, "lga"));
  EXPECT_FALSE(IsNotInList({"LGA", "EXB"}, "EXB"));
}

TEST_F(AppImportTest, AnApplicationStillStoredStopsTheImportBeforeItIsCopied) {
  store_->Execute("insert into qzddi100 (appl, dsca, extn) values ('EXB', 'Stored before', 1)");
  EXPECT_FALSE(ImportApplicationsFromLogicPack(s_.o, s_.cx, s_.r.Plan, s_.r.Error));
  EXPECT_EQ(LogMessages().back(), "Import failed. Applications not deleted before importing.");
  // The ledger came first and is loaded; nothing of the extension was copied or loaded.
  EXPECT_EQ(Count(*store_, "qzddi101 where appl='LGA'"), 2);
  EXPECT_EQ(Count(*store_, "qzddi140"), 0);
  EXPECT_TRUE(FilesIn(ImportFolder(), ".dat").empty());
}

TEST_F(AppImportTest, AnImportFolderThatCannotBeMadeIsLoggedWithItsNumber) {
  s_.cx.ImportLogPath = t_ / "importmr.log";
  std::filesystem::remove_all(install_ + "/LumoStudio/tmp");
  EXPECT_FALSE(ImportApplicationsFromLogicPack(s_.o, s_.cx, s_.r.Plan, s_.r.Error));
  EXPECT_EQ(s_.r.Error.ErrorNumber, 76);
  const std::string log = ReadFile(s_.cx.ImportLogPath);
  EXPECT_NE(log.find(" ImportApplicationsFromLogicPack : \r\nPath not found76\r\n"), std::string::npos) << log;
}

TEST_F(AppImportTest, ImportsWithinOneSecondGetFoldersOfTheirOwn) {
  const DateTime now{2026, 12, 4, 9, 39, 15};
  s_.env.FixTime(now);
  const std::string base = install_ + "/LumoStudio/tmp/ImportAt041226093915";
  EXPECT_EQ(CreateImportFolder(s_.cx), base);
  EXPECT_EQ(CreateImportFolder(s_.cx), base + "-2");
  EXPECT_EQ(CreateImportFolder(s_.cx), base + "-3");
  EXPECT_TRUE(files::FolderExists(Env::Default(), base + "-3"));
  auto log = LogMessages();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[2], " Before Creating folder: " + base + "-2");
  EXPECT_EQ(log[3], " Before Creating folder: " + base + "-2");
  // Whole imports too: the second one within the second loads as the first did.
  ImportParts again;
  again.env.FixTime(now);
  auto other = NewState(again, "second.db");
  ASSERT_TRUE(ImportApplicationsFromLogicPack(again.o, again.cx, again.r.Plan, again.r.Error)) << again.r.Error.ErrorDescription;
  EXPECT_TRUE(files::FolderExists(Env::Default(), base + "-4"));
  EXPECT_EQ(Dump(*other), Expected());
}

// ---------------------------------------------------------------------------
// The batch path

class BatchPathTest : public AppImportTest {
 protected:
  void SetUp() override {
    AppImportTest::SetUp();
    UseBatchPath();
  }
};

TEST_F(BatchPathTest, LoadsTheSamePackToTheSameRowsAsTheDirectPath) {
  ASSERT_TRUE(UsesBatchPath(s_.cx));
  ASSERT_TRUE(ImportApplicationsFromLogicPack(s_.o, s_.cx, s_.r.Plan, s_.r.Error)) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Dump(*store_), Expected());

  ImportParts direct;
  auto other = NewState(direct, "direct.db");
  std::filesystem::remove(install_ + "/LumoStudio/bin/LumoConfig.ini");
  ASSERT_FALSE(UsesBatchPath(direct.cx));
  ASSERT_TRUE(ImportApplicationsFromLogicPack(direct.o, direct.cx, direct.r.Plan, direct.r.Error)) << direct.r.Error.ErrorDescription;
  EXPECT_EQ(Dump(*other), Dump(*store_));
}

TEST_F(BatchPathTest, ReCodedApplicationsLoadUnderTheChosenCode) {
  SetPlan(s_, {{"LGA", "EXB", "LGA", "NEX"}});
  ASSERT_TRUE(ImportApplicationsFromLogicPack(s_.o, s_.cx, s_.r.Plan, s_.r.Error)) << s_.r.Error.ErrorDescription;
  EXPECT_EQ(Dump(*store_), Expected({{"EXB", "NEX"}}));
  // Nothing is left in the import folder: no data file, no batch file.
  EXPECT_TRUE(files::ListFiles(Env::Default(), ImportFolder()).empty());
}

TEST_F(BatchPathTest, TheBatchFileHoldsOneLinePerTableForItsOwnerOnly) {
  s_.env.SetVariable("KESTREL_BCP", RecordingBcp("LGA"));
  const std::string folder = t_ / "work";
  files::CreateFolder(Env::Default(), folder);
  CopyApplicationDataFiles(Env::Default(), pack_, folder, "LGA");
  ASSERT_TRUE(LoadDDITablesEx(s_.o, s_.cx, s_.r.Plan, s_.r.Error, "LGA", folder)) << s_.r.Error.ErrorDescription;

  // The lines load a staging store beside the data files, never the store.
  const std::string staging = folder + "/LGA.staging";
  std::string expected;
  for (const char* table : {"qzddi100", "qzddi101", "qzddi140", "qzddi150", "qzddi160", "qzddi200", "qzddi220",
                            "qzddi230", "qzlgy140", "qzlgy141", "qzlgy150"})
    expected += "bcp " + staging + ".." + table + " in \"" + folder + "/" + table +
                "LGA.dat\" -c -m 1 -b 1000 -C RAW -t \"\x01\" -S local -U \"kestrel\" -P \"" + kPassword + "\"\r\n";
  EXPECT_EQ(ReadFile(t_ / "batch.copy"), expected);
  EXPECT_EQ(ReadFile(t_ / "batch.mode"), "600\n");
  EXPECT_FALSE(files::FileExists(Env::Default(), folder + "/LGA.Bat"));
  EXPECT_FALSE(files::FileExists(Env::Default(), staging));

  // Only the lines whose data file exists ran, each with its arguments as
  // written: the password with its "$", backquotes and blanks untouched.
  auto runs = RecordedRuns();
  std::vector<std::string> tables;
  for (const auto& r : runs) tables.push_back(r[0].substr(r[0].rfind("..") + 2));
  EXPECT_EQ(tables, (std::vector<std::string>{"qzddi100", "qzddi101", "qzlgy140", "qzlgy141", "qzlgy150"}));
  ASSERT_FALSE(runs.empty());
  EXPECT_EQ(runs[0], (std::vector<std::string>{staging + "..qzddi100", "in", folder + "/qzddi100LGA.dat",
                                               "-c", "-m", "1", "-b", "1000", "-C", "RAW", "-t", S, "-S", "local",
                                               "-U", "kestrel", "-P", kPassword}));
}

TEST_F(BatchPathTest, AFailingLineFailsTheLoadAndTheBatchFileIsRemoved) {
  s_.env.SetVariable("KESTREL_BCP", RecordingBcp("LGA", 3));
  const std::string folder = t_ / "work";
  files::CreateFolder(Env::Default(), folder);
  CopyApplicationDataFiles(Env::Default(), pack_, folder, "LGA");
  EXPECT_FALSE(LoadDDITablesEx(s_.o, s_.cx, s_.r.Plan, s_.r.Error, "LGA", folder));
  EXPECT_EQ(s_.r.Error.ErrorNumber, Number(Ours::BulkLoadFailed));
  EXPECT_EQ(s_.r.Error.ErrorDescription, "A bulk-load line failed: line 1 of " + folder +
                                           "/LGA.Bat (table qzddi100) exited with status 3: refused by the fake");
  EXPECT_EQ(RecordedRuns().size(), 1u);  // later lines did not run
  EXPECT_FALSE(files::FileExists(Env::Default(), folder + "/LGA.Bat"));
}

TEST_F(BatchPathTest, OurBcpStopsAtARejectedRowAndNothingReachesTheStore) {
  // Line 1500 of 2500 is one field short: bcp stops there, and since it
  // loads a staging store, none of the application's rows reach the store.
  Rows rows;
  for (int k = 1; k <= 2500; ++k) rows.push_back({"EXB", "CURR", "V" + std::to_string(k), "Value"});
  rows[1499] = {"EXB", "CURR", "V1500", "Value", "extra"};
  auto out = files::TextWriter::Create(Env::Default(), pack_ + "/qzddi160EXB.dat");
  for (const auto& r : rows) {
    std::string line;
    for (size_t i = 0; i < r.size(); ++i) line += (i ? S : "") + r[i];
    out->WriteLine(line);
  }
  out->Close();

  EXPECT_FALSE(ImportApplicationsFromLogicPack(s_.o, s_.cx, s_.r.Plan, s_.r.Error));
  EXPECT_EQ(s_.r.Error.ErrorNumber, Number(Ours::BulkLoadFailed));
  const std::string& text = s_.r.Error.ErrorDescription;
  EXPECT_NE(text.find("line 5 of "), std::string::npos) << text;
  EXPECT_NE(text.find("(table qzddi160) exited with status 1: bcp: error 9008: "), std::string::npos) << text;
  EXPECT_NE(text.find("line 1500: a row of 5 fields where table qzddi160 has 4 columns"), std::string::npos) << text;
  EXPECT_EQ(Count(*store_, "qzddi160"), 0);
  EXPECT_EQ(Count(*store_, "qzddi150"), 0);
  EXPECT_TRUE(FilesIn(ImportFolder(), ".Bat").empty());
  EXPECT_TRUE(FilesIn(ImportFolder(), ".staging").empty());
}

TEST_F(BatchPathTest, TheLinesNeverWriteTheStoreSoTheLoadStaysInsideTheConnectionsTransaction) {
  // The connection holds the write lock; a bcp writing the store would wait
  // for it, and what it wrote would outlive the rollback.
  store_->BeginBatch();
  store_->Execute("insert into qzlgy115 (code, dsca) values ('CUR', 'held')");
  const std::string folder = t_ / "work";
  files::CreateFolder(Env::Default(), folder);
  CopyApplicationDataFiles(Env::Default(), pack_, folder, "LGA");
  ASSERT_TRUE(LoadDDITablesEx(s_.o, s_.cx, s_.r.Plan, s_.r.Error, "LGA", folder)) << s_.r.Error.ErrorDescription;
  // Inside the transaction the rows are there ...
  EXPECT_EQ(Count(*store_, "qzddi101 where appl='LGA'"), 2);
  auto reader = store::Open(s_.o.DatabaseName);
  EXPECT_EQ(Count(*reader, "qzddi101 where appl='LGA'"), 0);
  // ... and its rollback takes them all back.
  store_->RollbackBatch();
  EXPECT_EQ(Count(*reader, "qzlgy115"), 0);
  for (std::string_view table : ApplicationDataTables())
    if (table != "qzlgy115") {
      EXPECT_EQ(Count(*reader, std::string(table) + " where appl='LGA'"), 0) << table;
    }
}

TEST_F(BatchPathTest, ValuesTheLineCannotCarryAreRefusedBeforeAnythingRuns) {
  const std::string fake = RecordingBcp("LGA");
  const std::string folder = t_ / "work";
  files::CreateFolder(Env::Default(), folder);
  CopyApplicationDataFiles(Env::Default(), pack_, folder, "LGA");
  struct Case {
    std::string what;
    std::function<void(ImportParts&)> change;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"password", [](ImportParts& s) { s.o.DatabasePassword = "pa\"ss"; }, "the password holds a double quote"},
      {"user", [](ImportParts& s) { s.o.DatabaseUser = "a\"b"; }, "the user holds a double quote"},
      {"empty server", [](ImportParts& s) { s.o.DatabaseServer = ""; }, "the server is empty"},
      {"server", [](ImportParts& s) { s.o.DatabaseServer = "two words"; }, "the server \"two words\" holds a blank"},
      {"store", [&](ImportParts& s) { s.o.DatabaseName = t_ / "my store.db"; }, "my store.db\" holds a blank"},
      {"line end", [](ImportParts& s) { s.o.DatabasePassword = "a\r\nbcp x"; }, "the password holds"},
      {"application", [](ImportParts& s) { s.r.Plan.TargetApplications[1][0] = "E\"X"; }, "the application"},
  };
  for (const auto& c : cases) {
    ImportParts s;
    s.env.SetVariable("KESTREL_BCP", fake);
    NewState(s, "refuse-" + std::to_string(&c - cases.data()) + ".db");
    c.change(s);
    EXPECT_FALSE(LoadDDITablesEx(s.o, s.cx, s.r.Plan, s.r.Error, "LGA", folder)) << c.what;
    EXPECT_EQ(s.r.Error.ErrorNumber, Number(Ours::UnsafeBatchValue)) << c.what;
    EXPECT_NE(s.r.Error.ErrorDescription.find(c.says), std::string::npos) << c.what << ": " << s.r.Error.ErrorDescription;
    EXPECT_EQ(s.r.Error.ErrorDescription.find("pa\"ss"), std::string::npos);  // never shows the password
    EXPECT_THROW(CheckBatchLineValues(s.o, s.cx, s.r.Plan), ComError) << c.what;
  }
  EXPECT_NO_THROW(CheckBatchLineValues(s_.o, s_.cx, s_.r.Plan));
  EXPECT_FALSE(files::FileExists(Env::Default(), folder + "/LGA.Bat"));
  EXPECT_TRUE(RecordedRuns().empty());
}

// ---------------------------------------------------------------------------
// The runner and our bcp

TEST(BatchRunnerTest, LinesSplitAtBlanksWithQuotesGroupingAndNothingElseInterpreted) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitBatchLine("bcp s.db..qzddi100 in \"/t/my dir/q.dat\" -t \"\x01\" -U \"\" -P \"a $b `c`\"\r"),
            (V{"bcp", "s.db..qzddi100", "in", "/t/my dir/q.dat", "-t", "\x01", "-U", "", "-P", "a $b `c`"}));
  EXPECT_EQ(SplitBatchLine("  a   b\\ c  'd e'  "), (V{"a", "b\\", "c", "'d", "e'"}));
  EXPECT_EQ(SplitBatchLine("ab\"c d\"e \"\"\"\""), (V{"abc de", ""}));
  EXPECT_EQ(SplitBatchLine("x\ty"), (V{"x\ty"}));
  EXPECT_TRUE(SplitBatchLine("\r").empty());
  EXPECT_TRUE(SplitBatchLine("   ").empty());
}

TEST(BatchRunnerTest, OnlyBcpLinesRunAndOurBcpIsFoundBesideTheProgram) {
  TempFolder t;
  FaultEnv env;
  WriteFile(t / "x.Bat", "\r\nrm -rf " + t.path() + " in " + (t / "x.Bat") + "\r\n");
  try {
    RunBatchFile(env, t / "x.Bat", "/bin/true");
    ADD_FAILURE() << "ran a line that is not bcp";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), Number(Ours::BulkLoadFailed));
    EXPECT_NE(e.description().find("line 2 of " + (t / "x.Bat") + " does not run bcp"), std::string::npos);
  }
  EXPECT_EQ(BulkCopyProgram(env), std::string(KESTREL_BIN_DIR) + "/bcp");
  env.SetVariable("KESTREL_BCP", "/opt/tools/bcp");
  EXPECT_EQ(BulkCopyProgram(env), "/opt/tools/bcp");
  WriteFile(t / "data.dat", "x\r\n");
  WriteFile(t / "y.Bat", "bcp s..t in " + (t / "data.dat") + "\r\n");
  try {
    RunBatchFile(env, t / "y.Bat", "/opt/tools/bcp");
    ADD_FAILURE() << "ran a program that does not exist";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 53);
    EXPECT_EQ(e.description(), "File not found: /opt/tools/bcp");
  }
}

TEST(BcpProgramTest, TakesExactlyTheOptionsOfTheBatchLines) {
  TempFolder t;
  const std::string bcp = std::string(KESTREL_BIN_DIR) + "/bcp";
  const std::string store = t / "s.db";
  store::CreateStore(store);
  WriteFile(t / "d.dat", "EXB" + S + "CURR" + S + "EUR" + S + "Euro\r\nEXB" + S + "CURR" + S + "USD" + S + "\r\n");
  const std::vector<std::string> good = {store + "..qzddi160", "in", t / "d.dat", "-c", "-m", "1", "-b", "1000",
                                         "-C", "RAW", "-t", S, "-S", "local", "-U", "", "-P", kPassword};
  auto ok = kestrel::testing::RunProgram(bcp, good);
  EXPECT_EQ(ok.exit_code, 0) << ok.err;
  EXPECT_EQ(ok.out, "2 rows copied.\n");
  EXPECT_EQ(Count(*store::Open(store), "qzddi160 where dsca is null"), 1);

  auto with = [&](size_t at, std::vector<std::string> replacement) {
    std::vector<std::string> args(good.begin(), good.begin() + static_cast<long>(at));
    args.insert(args.end(), replacement.begin(), replacement.end());
    args.insert(args.end(), good.begin() + static_cast<long>(at) + 2, good.end());
    return kestrel::testing::RunProgram(bcp, args);
  };
  for (const auto& [args, says] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"-e", "errors.txt"}, "unknown argument \"-e\""},
           {{"-t", ","}, "-t: fields are separated by character 1 only"},
           {{"-C", "ACP"}, "-C: only RAW"},
           {{"-b", "0"}, "-b needs a positive number"}}) {
    auto r = with(args[0] == "-t" ? 10 : args[0] == "-C" ? 8 : args[0] == "-b" ? 6 : 16, args);
    EXPECT_EQ(r.exit_code, 2) << says;
    EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
  }
  EXPECT_EQ(kestrel::testing::RunProgram(bcp, {}).exit_code, 2);
  EXPECT_EQ(kestrel::testing::RunProgram(bcp, {store, "in", t / "d.dat"}).exit_code, 2);  // no "..table"

  std::vector<std::string> missing = good;
  missing[0] = t / "none.db..qzddi160";
  auto r = kestrel::testing::RunProgram(bcp, missing);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err.rfind("bcp: error 53: File not found: " + (t / "none.db"), 0), 0u) << r.err;
}

}  // namespace
}  // namespace kestrel::importer
