// What `kestrel check`, `kestrel verify` and `kestrel import` refuse before
// anything is written: a chain pack with revisions of the demo store, damaged
// one way per row (in the pack, in the target entries or in the store's
// schema), must be refused by all three with the same error number, the
// refusal must name the file and line or the entry that causes it, and the
// store must come out exactly as it went in.
#include <gmock/gmock.h>

#include <filesystem>
#include <functional>

#include "base/files.h"
#include "pack/sums.h"
#include "store/open.h"
#include "support/run_kestrel.h"
#include "support/store_dump.h"
#include "support/temp_folder.h"

namespace {

using ::testing::HasSubstr;
using kestrel::testing::ReadFile;
using kestrel::testing::RunKestrel;
using kestrel::testing::RunResult;
using kestrel::testing::DumpStore;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;
namespace fs = std::filesystem;

// Where a row's damage is applied: the pack folder and the store file.
struct Target {
  std::string pack;
  std::string store;
};

// Replaces the first `from` in a pack file by `to`; the test fails when the
// file does not hold it, so that a row never passes on an undamaged pack.
void ReplaceIn(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = ReadFile(path);
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from << " not in " << path;
  text.replace(at, from.size(), to);
  WriteFile(path, text);
}

// Gives the first record of a tagged pack file that sets `tag` the value `to`.
void SetFirstTagged(const std::string& path, const std::string& tag, const std::string& to) {
  std::string text = ReadFile(path);
  size_t from = text.rfind(tag, 0) == 0 ? 0 : text.find("\r\n" + tag);
  ASSERT_NE(from, std::string::npos) << tag << " not in " << path;
  if (from != 0) from += 2;
  const size_t end = text.find("\r\n", from);
  text.replace(from + tag.size(), end - from - tag.size(), to);
  WriteFile(path, text);
}

void Execute(const std::string& store, const std::string& statement) {
  kestrel::store::Open(store)->Execute(statement);
}

// Gives the application ACC10 the code `code` everywhere in the pack: in
// every file's text and in the names of its data files.
void RecodeSourceApplication(const std::string& pack, const std::string& code) {
  for (const auto& entry : fs::directory_iterator(pack)) {
    const std::string path = entry.path().string();
    std::string text = ReadFile(path);
    for (size_t at = text.find("ACC10"); at != std::string::npos; at = text.find("ACC10", at + code.size()))
      text.replace(at, 5, code);
    WriteFile(path, text);
    const std::string name = entry.path().filename().string();
    if (const size_t at = name.find("ACC10"); at != std::string::npos)
      fs::rename(entry.path(), entry.path().parent_path() / (name.substr(0, at) + code + name.substr(at + 5)));
  }
}

struct Refusal {
  std::string name;
  std::function<void(const Target&)> damage;
  std::vector<std::string> targets;  // --target entries; none: the proposal of `show`
  int number;                        // the error number all three commands report
  std::string cause;                 // in the message of all three: the value or entry at fault
  std::string check_place;           // where `check` says it refused the pack (file and line, or the entry)
};

const std::vector<std::string> kChain = {"10|ACC10|ACCX2|0|0|1", "20|ACC10|ACCX2|10|0|1", "30|ACC10|ACCX2|20|0|1"};

std::vector<std::string> ChainWith(size_t k, const std::string& entry) {
  std::vector<std::string> targets = kChain;
  targets[k] = entry;
  return targets;
}

const Refusal kRefusals[] = {
    {"target number beyond 16 bits", nullptr, ChainWith(0, "70000|ACC10|ACCX2|0|0|1"), 6,
     "the profile number 70000 in the target entry \"70000|ACC10|ACCX2|0|0|1\" is outside the 16-bit range",
     "70000|ACC10|ACCX2|0|0|1"},
    {"target number below 16 bits", nullptr, ChainWith(0, "-40000|ACC10|ACCX2|0|0|1"), 6,
     "the profile number -40000 in the target entry", "-40000|ACC10|ACCX2|0|0|1"},
    {"target parent beyond 16 bits", nullptr, ChainWith(2, "30|ACC10|ACCX2|65556|0|1"), 6,
     "the parent profile 65556 in the target entry \"30|ACC10|ACCX2|65556|0|1\"", "30|ACC10|ACCX2|65556|0|1"},
    {"header line numbered beyond 16 bits",
     [](const Target& t) { ReplaceIn(t.pack + "/Qzmap100.dat", "10\x01" "ACC10", "70000\x01" "ACC10"); }, {}, 6,
     "70000", "Qzmap100.dat, line 3"},
    {"pack parent beyond 16 bits",
     [](const Target& t) { ReplaceIn(t.pack + "/Qzmap101.dat", "20\x01" "2\x01X40\x01R1\x01" "base\x01" "10\r\n",
                                     "20\x01" "2\x01X40\x01R1\x01" "base\x01" "70000\r\n"); },
     {}, 6, "the parent profile 70000 in the", "20|ACC10|ACCX2|70000|0|1"},
    {"application code \"*\" in the pack", [](const Target& t) { RecodeSourceApplication(t.pack, "*"); }, {}, 9006,
     "the code holds \"*\"", "Qzmap100.dat, line 1"},
    {"application code holding \"|\" in the pack", [](const Target& t) { RecodeSourceApplication(t.pack, "AC|10"); },
     {}, 9006, "the code holds \"|\"", "Qzmap100.dat, line 1"},
    {"empty target application", nullptr, ChainWith(1, "20||ACCX2|10|0|1"), 9006,
     "\"\", the code is empty in the target entry \"20||ACCX2|10|0|1\"", "20||ACCX2|10|0|1"},
    {"application code too long for a file name", nullptr,
     ChainWith(2, "30|ACC10|" + std::string(250, 'X') + "|20|0|1"), 9044,
     "has 250 bytes, a data file's name leaves room for 243 in the target entry \"30|ACC10|XXXX",
     "30|ACC10|XXXX"},
    {"application code wider than the store's column",
     [](const Target& t) {
       Execute(t.store, "create table narrow (appl varchar(8), dsca text, aver text, crdt text, extn integer, "
                        "unique (appl))");
       Execute(t.store, "insert into narrow select * from qzddi100");
       Execute(t.store, "drop table qzddi100");
       Execute(t.store, "alter table narrow rename to qzddi100");
     },
     {"10|ACC10|ACCX2WIDE|0|0|1", "20|ACC10|ACCX2WIDE|10|0|1", "30|ACC10|ACCX2WIDE|20|0|1"}, 9044,
     "\"ACCX2WIDE\" has 9 bytes, the store's qzddi100.appl holds 8",
     "the target entry of pack profile 10 (ACC10 to ACCX2WIDE)"},
    {"NUL byte in a header's description",
     [](const Target& t) {
       ReplaceIn(t.pack + "/Qzmap100.dat", "Second customer", std::string("Second\0customer", 15));
     },
     {}, 9040, "Second\\x00customer", "Qzmap100.dat, line 1"},
    {"NUL byte in a rule's comment",
     [](const Target& t) {
       ReplaceIn(t.pack + "/Qzmap120.dat", "mit der Buchhaltung", std::string("mit der\0Buchhaltung", 19));
     },
     {}, 9040, "the value of column comt", "Qzmap120.dat, line 1"},
    {"NUL byte in an application's data",
     [](const Target& t) { ReplaceIn(t.pack + "/qzddi100ACCX2.dat", "2.0", std::string("2\0" "0", 3)); }, {}, 9040,
     "the row \"ACCX2\\x01", "qzddi100ACCX2.dat, line 1"},
    {"application row given twice",
     [](const Target& t) {
       const std::string file = t.pack + "/qzddi100ACCX2.dat";
       WriteFile(file, ReadFile(file) + ReadFile(file));
     },
     {}, 9041, "table qzddi100, key (appl) = (\"ACCX2\") as in an earlier row of the pack",
     "qzddi100ACCX2.dat, line 2"},
    {"application row colliding with a row the import keeps",
     [](const Target& t) {
       // Another application holds a field that the pack's application
       // brings, under a key that spans applications; the stored row of the
       // pack's own application, which the import deletes, is renamed.
       const std::string first = "(select min(rowid) from qzddi150 where appl = 'ACCX2')";
       Execute(t.store, "insert into qzddi100 (appl, dsca, aver, crdt, extn) values ('ACCX3', 'Copy', '1.0', "
                        "'2024-03-11 09:14:26', 1)");
       Execute(t.store, "insert into qzddi150 select 'ACCX3', cpac, cmod, flno, fldn, fdsc, ftyp, flen from qzddi150 "
                        "where rowid = " + first);
       Execute(t.store, "update qzddi150 set fldn = fldn || 'OLD' where rowid = " + first);
       Execute(t.store, "create unique index qzddi150_field on qzddi150 (cpac, cmod, flno, fldn)");
     },
     {}, 9041, "as in a row the store keeps", "qzddi150ACCX2.dat, line "},
    {"store without a rule column",
     [](const Target& t) { Execute(t.store, "alter table qzmap120 drop column comt"); }, {}, 9020,
     "the store's table qzmap120 has no column comt", "Qzmap120.dat, line 1"},
    {"store without an application table", [](const Target& t) { Execute(t.store, "drop table qzddi160"); }, {}, 9042,
     "the store cannot read table qzddi160", "qzddi160ACCX2.dat, line 1"},
    {"header file without a profile", [](const Target& t) { WriteFile(t.pack + "/Qzmap100.dat", ""); }, {}, 9043,
     "names no profile to import", "Qzmap100.dat"},
    {"rule of a profile the header file does not hold",
     [](const Target& t) { ReplaceIn(t.pack + "/Qzmap120.dat", ":MPRF:30\r\n", ":MPRF:99\r\n"); }, {}, 9045,
     "profile 99 in ", "Qzmap120.dat, line "},
    {"rule of a negative profile",
     [](const Target& t) { SetFirstTagged(t.pack + "/Qzmap140.dat", ":MPRF:", "-1"); }, {}, 9045,
     "profile -1 in ", "Qzmap140.dat, line "},
    {"revision of a profile the header file does not hold",
     [](const Target& t) { ReplaceIn(t.pack + "/Qzmap110.dat", ":MPRF:20\r\n", ":MPRF:21\r\n"); }, {}, 9045,
     "profile 21 in ", "Qzmap110.dat, line "},
    {"application data row of another application",
     [](const Target& t) { ReplaceIn(t.pack + "/qzddi150ACCX2.dat", "ACCX2\x01", "ZZZ99\x01"); }, {}, 9046,
     "the row's application \"ZZZ99\" in ", "qzddi150ACCX2.dat, line 1"},
    {"application codes that differ only by case",
     [](const Target& t) { ReplaceIn(t.pack + "/Qzmap100.dat", "20\x01" "ACC10", "20\x01" "acc10"); }, {}, 9047,
     "\"acc10\" and \"ACC10\" in ", "Qzmap100.dat, line "},
    {"chain row cut to three fields",
     [](const Target& t) { ReplaceIn(t.pack + "/Qzmap101.dat", "20\x01" "2\x01X40\x01R1\x01" "base\x01" "10\r\n",
                                     "20\x01" "2\x01X40\r\n"); },
     {}, 100, "Qzmap101.dat file is not having enough data or file is corrupted", "Qzmap101.dat, line "},
    {"byte-order mark before the header file",
     [](const Target& t) { WriteFile(t.pack + "/Qzmap100.dat", "\xEF\xBB\xBF" + ReadFile(t.pack + "/Qzmap100.dat")); },
     {}, 9008, "Qzmap100.dat, line 1: the file starts with a UTF-8 byte-order mark", "Qzmap100.dat, line 1"},
    {"byte-order mark before an application data file",
     [](const Target& t) {
       WriteFile(t.pack + "/qzddi160ACCX2.dat", "\xEF\xBB\xBF" + ReadFile(t.pack + "/qzddi160ACCX2.dat"));
     },
     {}, 9008, "qzddi160ACCX2.dat, line 1: the file starts with a UTF-8 byte-order mark", "qzddi160ACCX2.dat, line 1"},
    {"header profile number beyond any whole number",
     [](const Target& t) { ReplaceIn(t.pack + "/Qzmap100.dat", "10\x01" "ACC10", "99999999999999999999\x01" "ACC10"); },
     {}, 6, "the profile number \"99999999999999999999\" of the header line is outside the 16-bit range",
     "Qzmap100.dat, line 3"},
    {"field number that is no number",
     [](const Target& t) { ReplaceIn(t.pack + "/Qzmap140.dat", ":DNUM:1\r\n", ":DNUM:first\r\n"); }, {}, 899,
     "--LoadToMAP120_130_140_160-- 13   Type mismatch", "Qzmap140.dat, line 1"},
};

// An installation, the demo store and its grandchild's chain pack with
// revisions, made once; every row works on copies of both.
class ImportRefusalsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder();
    const TempFolder& t = *folder_;
    ASSERT_EQ(RunKestrel({"setup", "--install-dir", t / "lumo", "--registry", t / "registry.ini"}).exit_code, 0);
    ASSERT_EQ(RunKestrel({"demo-store", t / "demo.db"}).exit_code, 0);
    kestrel::files::CreateFolders(kestrel::Env::Default(), t / "export");
    auto r = RunKestrel({"export", "--store", t / "demo.db", "--profile", "30", "--revisions", "--root", t / "export"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    pack_ = new std::string(r.out.substr(0, r.out.find('\n')));
  }
  static void TearDownTestSuite() {
    delete pack_;
    delete folder_;
  }

  static TempFolder* folder_;
  static std::string* pack_;
};

TempFolder* ImportRefusalsTest::folder_ = nullptr;
std::string* ImportRefusalsTest::pack_ = nullptr;

TEST_F(ImportRefusalsTest, EveryCommandRefusesWhatTheImportWouldFailOnAndTheStoreStaysAsItWas) {
  const TempFolder& t = *folder_;
  // Undamaged, the pack passes: every refusal below comes from its row.
  for (const std::string command : {"check", "verify"}) {
    const RunResult clean = RunKestrel({command, *pack_, "--store", t / "demo.db", "--registry", t / "registry.ini"});
    ASSERT_EQ(clean.exit_code, 0) << command << ": " << clean.err;
  }
  int row = 0;
  for (const Refusal& refusal : kRefusals) {
    SCOPED_TRACE(refusal.name);
    const Target target{t / ("pack" + std::to_string(row)), t / ("store" + std::to_string(row) + ".db")};
    ++row;
    fs::copy(*pack_, target.pack);
    fs::copy_file(t / "demo.db", target.store);
    if (refusal.damage) refusal.damage(target);
    if (::testing::Test::HasFatalFailure()) return;
    // Whoever changed the pack made its sums match: the refusal must come
    // from the check of the content, not from the sums.
    kestrel::pack::WriteSums(kestrel::Env::Default(), target.pack);
    const auto before = DumpStore(target.store);

    std::vector<std::string> selection;
    for (const auto& entry : refusal.targets) selection.insert(selection.end(), {"--target", entry});
    auto run = [&](const std::string& command, std::vector<std::string> extra) {
      std::vector<std::string> args = {command, target.pack, "--store", target.store, "--registry", t / "registry.ini"};
      args.insert(args.end(), selection.begin(), selection.end());
      args.insert(args.end(), extra.begin(), extra.end());
      return RunKestrel(args);
    };
    const RunResult check = run("check", {});
    const RunResult verify = run("verify", {});
    const RunResult import = run("import", {"--replace"});

    const std::string head = "error " + std::to_string(refusal.number) + ": ";
    for (const auto* result : {&check, &verify, &import}) {
      EXPECT_EQ(result->exit_code, 1) << result->out << result->err;
      EXPECT_THAT(result->err, ::testing::StartsWith(head));
      EXPECT_THAT(result->err, HasSubstr(refusal.cause));
    }
    EXPECT_THAT(check.err, HasSubstr(refusal.check_place));
    EXPECT_EQ(check.out, "");
    EXPECT_EQ(import.out, "");
    EXPECT_EQ(DumpStore(target.store), before);
  }
}

}  // namespace
