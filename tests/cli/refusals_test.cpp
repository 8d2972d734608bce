// What `kestrel check`, `verify` and `import` refuse before anything is
// written: the demo chain pack damaged one way per row (its content, its
// files, its manifest, the target entries, the store's schema or the
// registry). Every command named must exit 1 with "error N: " and the cause,
// `check` must name the file and line or the entry at fault, nothing a link
// points to outside the pack may be shown, and the store must come out
// exactly as it went in.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <set>

#include "cli/demo_pack.h"
#include "pack/sums.h"
#include "store/open.h"
#include "support/store_dump.h"

namespace kestrel::testing {
namespace {

// What a link out of the pack would show: text no command may print.
constexpr const char* kOutsideText = "root:x:0:0:outside-the-pack:/root:/bin/sh\r\n";

void Script(const std::string& store, const std::string& statements) { store::Open(store)->ExecuteScript(statements); }

void ReplaceLastIn(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = ReadFile(path);
  const size_t at = text.rfind(from);
  ASSERT_NE(at, std::string::npos) << from << " not in " << path;
  WriteFile(path, text.replace(at, from.size(), to));
}

// The sums file after the damage: written again, or removed with the
// commands given --no-sums (kRemoved) or not (kAbsent).
enum Sums { kRewritten, kRemoved, kAbsent };

struct Refusal {
  std::string name;
  std::function<void(const Copies&)> damage;
  std::vector<std::string> targets;  // --target entries; none: the proposal of `show`
  int number;
  std::vector<std::string> causes;  // in the message of every command
  std::string check_place;          // where `check` says it refused the pack ("FILE, line N")
  std::string commands = "cvi";     // c: check, v: verify, i: import
  Sums sums = kRewritten;
};

// The demo chain's target entries, one changed.
const std::string k20 = "20|ACC10|ACCX2|10|0|1";

const Refusal kRefusals[] = {
    {"target number beyond 16 bits", nullptr, {"70000|ACC10|ACCX2|0|0|1", k20, "30|ACC10|ACCX2|20|0|1"}, 6,
     {"the profile number 70000 in the target entry \"70000|ACC10|ACCX2|0|0|1\" is outside the 16-bit range"}, "70000|ACC10|ACCX2|0|0|1"},
    {"header profile number beyond any whole number",
     [](const Copies& c) { ReplaceIn(c.pack + "/Qzmap100.dat", "10\x01" "ACC10", "99999999999999999999\x01" "ACC10"); }, {}, 6,
     {"the profile number \"99999999999999999999\" of the header line is outside the 16-bit range"}, "Qzmap100.dat, line 3"},
    {"pack parent beyond 16 bits",
     [](const Copies& c) { ReplaceIn(c.pack + "/Qzmap101.dat", "2\x01X40\x01R1\x01" "base\x01" "10",
                                     "2\x01X40\x01R1\x01" "base\x01" "70000"); },
     {}, 6, {"the parent profile 70000 in the"}, "20|ACC10|ACCX2|70000|0|1"},
    {"application code too long for a file name", nullptr,
     {"10|ACC10|ACCX2|0|0|1", k20, "30|ACC10|" + std::string(250, 'X') + "|20|0|1"}, 9044,
     {"has 250 bytes, a data file's name leaves room for 243 in the target entry \"30|ACC10|XXXX"}, "30|ACC10|XXXX"},
    {"application code wider than the store's column", [](const Copies& c) {
       Script(c.store, "create table narrow (appl varchar(8), dsca text, aver text, crdt text, extn integer, unique (appl));"
                       "insert into narrow select * from qzddi100; drop table qzddi100; alter table narrow rename to qzddi100;"); },
     {"10|ACC10|ACCX2WIDE|0|0|1", "20|ACC10|ACCX2WIDE|10|0|1", "30|ACC10|ACCX2WIDE|20|0|1"}, 9044,
     {"\"ACCX2WIDE\" has 9 bytes, the store's qzddi100.appl holds 8"}, "the target entry of pack profile 10 (ACC10 to ACCX2WIDE)"},
    {"NUL byte in a header's description",
     [](const Copies& c) { ReplaceIn(c.pack + "/Qzmap100.dat", "Second customer", std::string("Second\0customer", 15)); },
     {}, 9040, {"Second\\x00customer"}, "Qzmap100.dat, line 1"},
    {"application row given twice",
     [](const Copies& c) { Prepend(c.pack + "/qzddi100ACCX2.dat", ReadFile(c.pack + "/qzddi100ACCX2.dat")); }, {}, 9041,
     {"table qzddi100, key (appl) = (\"ACCX2\") as in an earlier row of the pack"}, "qzddi100ACCX2.dat, line 2"},
    {"application row colliding with a row the import keeps", [](const Copies& c) {
       // Another application holds a field the pack brings, under a key that
       // spans applications; the stored row the import deletes is renamed.
       const std::string first = "(select min(rowid) from qzddi150 where appl = 'ACCX2');";
       Script(c.store, "insert into qzddi100 (appl, dsca, aver, crdt, extn) values ('ACCX3', 'Copy', '1.0', '2024-03-11 09:14:26', 1);"
              "insert into qzddi150 select 'ACCX3', cpac, cmod, flno, fldn, fdsc, ftyp, flen from qzddi150 where rowid = " + first +
              "update qzddi150 set fldn = fldn || 'OLD' where rowid = " + first +
              "create unique index qzddi150_field on qzddi150 (cpac, cmod, flno, fldn);"); },
     {}, 9041, {"as in a row the store keeps"}, "qzddi150ACCX2.dat, line "},
    {"store without an application column", [](const Copies& c) { Script(c.store, "alter table qzddi150 drop column flen"); },
     {}, 9020, {"the store's table qzddi150 has no column flen"}, "qzddi150ACCX2.dat, line 1"},
    {"store without an application table", [](const Copies& c) { Script(c.store, "drop table qzddi160"); }, {}, 9042,
     {"the store cannot read table qzddi160"}, "qzddi160ACCX2.dat, line 1"},
    // Two faults: the one the check meets first in its own order is named,
    // whichever file is read faster.
    {"application row of another application, and a rule of another profile",
     [](const Copies& c) {
       ReplaceIn(c.pack + "/qzddi150ACCX2.dat", "ACCX2\x01", "ZZZ99\x01");
       ReplaceIn(c.pack + "/Qzmap120.dat", ":MPRF:", ":MPRF:99");
     },
     {}, 9046, {"the row's application \"ZZZ99\" in "}, "qzddi150ACCX2.dat, line 1"},
    {"rules of other profiles at the end of one file and at the start of a later one",
     [](const Copies& c) {
       ReplaceLastIn(c.pack + "/Qzmap120.dat", ":MPRF:", ":MPRF:98");
       ReplaceIn(c.pack + "/Qzmap145.dat", ":MPRF:", ":MPRF:99");
     },
     {}, 9045, {"profile 98", "Qzmap120.dat, line "}, "Qzmap120.dat, line "},
    {"store without a rule column, and a rule of another profile after the column's first record",
     [](const Copies& c) {
       Script(c.store, "alter table qzmap120 drop column comt");
       ReplaceLastIn(c.pack + "/Qzmap120.dat", ":MPRF:", ":MPRF:98");
     },
     {}, 9020, {"the store's table qzmap120 has no column comt"}, "Qzmap120.dat, line 1"},
    {"store without a rule column, and a rule of another profile in the column's first record",
     [](const Copies& c) {
       Script(c.store, "alter table qzmap120 drop column comt");
       ReplaceIn(c.pack + "/Qzmap120.dat", ":MPRF:", ":MPRF:99");
     },
     {}, 9045, {"profile 99", "Qzmap120.dat, line 1"}, "Qzmap120.dat, line 1"},
    {"chain file row of seven fields",
     [](const Copies& c) { ReplaceIn(c.pack + "/Qzmap101.dat", "base\x01" "10\r\n", "base\x01" "10\x01" "7\r\n"); }, {},
     100, {"Qzmap101.dat, line 1: 7 fields, 6 wanted"}, "Qzmap101.dat, line 1"},
    {"application codes that differ only by case",
     [](const Copies& c) { ReplaceIn(c.pack + "/Qzmap100.dat", "20\x01" "ACC10", "20\x01" "acc10"); }, {}, 9047,
     {"\"acc10\" and \"ACC10\" in "}, "Qzmap100.dat, line "},
    {"target application codes that differ only by case",
     [](const Copies& c) { ReplaceIn(c.pack + "/Qzmap100.dat", "20\x01" "ACC10\x01" "ACCX2", "20\x01" "ACC10\x01" "accx2"); },
     {}, 9047, {"\"accx2\" and \"ACCX2\" in "}, "Qzmap100.dat, line "},
    {"byte-order mark before the header file", [](const Copies& c) { Prepend(c.pack + "/Qzmap100.dat", "\xEF\xBB\xBF"); },
     {}, 9008, {"Qzmap100.dat, line 1: the file starts with a UTF-8 byte-order mark"}, ""},
    {"byte-order mark before a rule file", [](const Copies& c) { Prepend(c.pack + "/Qzmap120.dat", "\xEF\xBB\xBF"); },
     {}, 899, {"Qzmap120.dat, line 1: the file starts with a UTF-8 byte-order mark"}, "Qzmap120.dat, line 1"},
    {"byte-order mark before an application data file",
     [](const Copies& c) { Prepend(c.pack + "/qzddi150ACCX2.dat", "\xEF\xBB\xBF"); }, {}, 9008,
     {"the file starts with a UTF-8 byte-order mark"}, "qzddi150ACCX2.dat, line 1"},
    {"empty manifest", [](const Copies& c) { WriteFile(c.pack + "/ExportMR.log", ""); }, {}, 62,
     {"Input past end of file: ", "ExportMR.log is empty"}, "", "c"},
    {"header profile number that is no number",
     [](const Copies& c) { ReplaceIn(c.pack + "/Qzmap100.dat", "10\x01" "ACC10", "1O\x01" "ACC10"); }, {}, 9008,
     {"Qzmap100.dat, line 3: the profile number (field 1) is not a whole number, found \"1O\""}, "Qzmap100.dat, line 3"},
    {"chain file parent that is no number",
     [](const Copies& c) { ReplaceIn(c.pack + "/Qzmap101.dat", "2\x01X40\x01R1\x01" "base\x01" "10",
                                     "2\x01X40\x01R1\x01" "base\x01" "1O"); },
     {}, 9008, {"the parent profile number (field 6) is not a whole number, found \"1O\""}, "Qzmap101.dat, line "},
    {"application extn that is no number",
     [](const Copies& c) { ReplaceLastIn(c.pack + "/qzddi100ACCX2.dat", "\x01" "1\r\n", "\x01" "l\r\n"); }, {}, 9008,
     {"qzddi100ACCX2.dat, line 1: the application's extn (field 5) is not a whole number, found \"l\""},
     "qzddi100ACCX2.dat, line 1"},
    // A data file of a table the extension application has none of, added
    // to the pack: the manifest does not list it, so it is not loaded.
    {"application data file the manifest does not list, pack without sums",
     [](const Copies& c) {
       const std::string rows = ReadFile(c.pack + "/qzddi101ACC10.dat");
       WriteFile(c.pack + "/qzddi101ACCX2.dat", "ACCX2" + rows.substr(5, rows.find('\n') - 4));
     },
     {}, 9054, {"qzddi101ACCX2.dat is in the pack folder, but its manifest does not list it"}, "", "cvi", kRemoved},
    // A listed name that reaches out of the folder is missing from the pack,
    // though the file it points at exists: nothing outside is looked at.
    {"manifest listing a file outside the pack",
     [](const Copies& c) {
       WriteFile(c.pack + "/../outside.txt", kOutsideText);
       ReplaceIn(c.pack + "/ExportMR.log", "--END TESTFILES--", "../outside.txt\r\n--END TESTFILES--");
     },
     {}, 5, {"lacks ../outside.txt, a file its manifest lists"}, ""},
    {"rule file cut in half, pack without sums",
     [](const Copies& c) { fs::resize_file(c.pack + "/Qzmap120.dat", fs::file_size(c.pack + "/Qzmap120.dat") / 2); },
     {}, 9053, {"The logic pack has no ExportMR.sums: its integrity cannot be checked"}, "", "cvi", kAbsent},
    {"header file linked outside, pack without sums", [](const Copies& c) {
       WriteFile(c.pack + "/../outside.txt", kOutsideText);
       fs::remove(c.pack + "/Qzmap100.dat");
       fs::create_symlink(c.pack + "/../outside.txt", c.pack + "/Qzmap100.dat"); },
     {}, 9050, {"Qzmap100.dat is a symbolic link"}, "", "ci", kRemoved},
    {"rule file replaced by a FIFO", [](const Copies& c) {
       fs::remove(c.pack + "/Qzmap120.dat"); ASSERT_EQ(::mkfifo((c.pack + "/Qzmap120.dat").c_str(), 0600), 0); },
     {}, 9050, {"Qzmap120.dat is a FIFO"}, "", "ci", kRemoved},
    {"store that is a folder", [](const Copies& c) { fs::remove(c.store); fs::create_directory(c.store); },
     {}, 53, {"File not found: ", "store.db is a folder, not a store file"}, "", "c"},
};

TEST(RefusalsTest, EveryCommandRefusesTheDamageAndTheStoreStaysAsItWas) {
  const DemoPack& demo = SharedDemoPack();
  int row = 0;
  for (const Refusal& refusal : kRefusals) {
    SCOPED_TRACE(refusal.name);
    const Copies c = CopyDemo(demo.folder / ("row" + std::to_string(row++)));
    if (refusal.damage) refusal.damage(c);
    if (::testing::Test::HasFatalFailure()) return;
    // Rewritten sums make the refusal come from the content, not from the sums.
    if (refusal.sums == kRewritten) pack::WriteSums(Env::Default(), c.pack);
    if (refusal.sums != kRewritten) fs::remove(c.pack + "/ExportMR.sums");
    const bool store_file = fs::is_regular_file(c.store);
    const StoreDump before = store_file ? DumpStore(c.store) : StoreDump{};
    for (char command : refusal.commands) {
      const std::string name = command == 'c' ? "check" : command == 'v' ? "verify" : "import";
      SCOPED_TRACE(name);
      std::vector<std::string> args = {name, c.pack, "--store", c.store, "--registry", c.registry};
      for (const auto& entry : refusal.targets) args.insert(args.end(), {"--target", entry});
      if (command == 'i') args.push_back("--replace");
      if (refusal.sums == kRemoved) args.push_back("--no-sums");
      const RunResult r = RunKestrel(args);
      EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
      // A pack without sums taken with --no-sums is said to be unchecked first.
      const std::string notice = refusal.sums == kRemoved ? "Note: no ExportMR.sums: the pack's integrity cannot be "
                                                            "checked; it is taken as an older export wrote it.\n" : "";
      EXPECT_THAT(r.err, ::testing::StartsWith(notice + "error " + std::to_string(refusal.number) + ": "));
      for (const std::string& cause : refusal.causes) EXPECT_THAT(r.err, HasSubstr(cause));
      // The place is the message's own, or the engine's "FILE line N" after
      // it; a verdict of verify's names it as well.
      if (command != 'i' && !refusal.check_place.empty()) {
        std::string engine_place = refusal.check_place;
        if (const size_t comma = engine_place.find(", line"); comma != std::string::npos) engine_place.erase(comma, 1);
        EXPECT_THAT(command == 'c' || r.out.empty() ? r.err : r.out,
                    ::testing::AnyOf(HasSubstr(refusal.check_place), HasSubstr(engine_place)));
      }
      if (command != 'v') { EXPECT_EQ(r.out, ""); }
      EXPECT_THAT(r.out + r.err, ::testing::Not(HasSubstr("outside-the-pack")));
    }
    if (store_file) { EXPECT_EQ(DumpStore(c.store), before); }
  }
}

// What the import reads as a number is no damage to the check: a sign and
// blanks around the digits; the import takes the number.
TEST(RefusalsTest, ANumberWithASignAndBlanksIsNoDamage) {
  const DemoPack& demo = SharedDemoPack();
  const Copies c = CopyDemo(demo.folder / "signed");
  ReplaceLastIn(c.pack + "/qzddi100ACCX2.dat", "\x01" "1\r\n", "\x01" " +1 \r\n");
  ReplaceIn(c.pack + "/Qzmap101.dat", "base\x01" "10\r\n", "base\x01" "+10\r\n");
  pack::WriteSums(Env::Default(), c.pack);
  for (const std::string command : {"check", "import"}) {
    std::vector<std::string> args = {command, c.pack, "--store", c.store, "--registry", c.registry};
    if (command == "import") args.push_back("--replace");
    const RunResult r = RunKestrel(args);
    EXPECT_EQ(r.exit_code, 0) << command << ": " << r.err;
  }
  const StoreDump imported = DumpStore(c.store), demo_rows = DumpStore(demo.store);
  for (const char* table : {"rows of qzddi100", "rows of qzmap101"}) EXPECT_EQ(imported.at(table), demo_rows.at(table));
}

// An import leaves its working folder behind only when --keep-work asks for
// it, whatever the outcome; the failing import fails after the folder is
// made, in the bulk load of the batch path. A kept folder holds no batch file:
// it would carry the store's password. A folder that an import killed
// outright left (its lock file there, held by no one) goes with the next
// import; one whose lock a running import holds, and one kept, stay.
TEST(RefusalsTest, TheImportFolderGoesAwayUnlessKeptAsDoesWhatKilledImportsLeft) {
  const DemoPack& demo = SharedDemoPack();
  const fs::path tmp = demo.install + "/LumoStudio/tmp";
  const std::string config = demo.install + "/LumoStudio/bin/LumoConfig.ini";
  auto import = [&](const std::string& name, bool fails, bool keep_work) {
    const Copies c = CopyDemo(demo.folder / name);
    std::map<std::string, std::optional<std::string>> env;
    if (fails) {
      WriteFile(config, "[Settings]\nIIS=5\n");  // as an editor here writes it: LF line ends
      env["KESTREL_BCP"] = "/bin/false";
    } else {
      fs::remove(config);
    }
    std::vector<std::string> args = {"import", c.pack, "--store", c.store, "--registry", demo.registry, "--replace"};
    if (keep_work) args.push_back("--keep-work");
    const RunResult r = RunKestrel(args, env);
    EXPECT_EQ(r.exit_code, fails ? 1 : 0) << r.out << r.err;
  };
  auto folders = [&] {  // and any file named like a working folder
    std::set<fs::path> left;
    for (const auto& e : fs::directory_iterator(tmp))
      if (e.is_directory() || e.path().filename().string().starts_with("ImportAt")) left.insert(e.path());
    return left;
  };
  const struct {
    bool fails, keep_work;
  } runs[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  int row = 0;
  for (const auto& run : runs) {
    SCOPED_TRACE(std::to_string(run.fails) + std::to_string(run.keep_work));
    fs::remove_all(tmp);
    fs::create_directories(tmp);
    import("keep" + std::to_string(row++), run.fails, run.keep_work);
    const std::set<fs::path> left = folders();
    ASSERT_EQ(left.size(), run.keep_work ? 1u : 0u);
    for (const auto& folder : left)
      for (const auto& entry : fs::directory_iterator(folder)) EXPECT_NE(entry.path().extension(), ".Bat") << entry.path();
  }
  // Beside the last run's kept folder, as a killed import leaves them: copies
  // of the data and a staging store.
  const fs::path kept = *folders().begin();
  for (const char* name : {"ImportAt010126093915", "ImportAt010126093916"}) {
    fs::create_directory(tmp / name);
    WriteFile(tmp / name / "qzddi100ACCX2.dat", "ACCX2\x01" "Demo\r\n");
    WriteFile(tmp / name / "ACCX2.staging", "");
    WriteFile(tmp / name / "ImportAt.lock", "");
  }
  const int held = ::open((tmp / "ImportAt010126093916/ImportAt.lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  import("after", false, false);
  ::close(held);
  EXPECT_EQ(folders(), (std::set<fs::path>{kept, tmp / "ImportAt010126093916"}));
  EXPECT_THAT(ReadFile(tmp / "importmr.log"),
              HasSubstr("Removed the working folder an earlier import left: " + (tmp / "ImportAt010126093915").string()));
}

}  // namespace
}  // namespace kestrel::testing
