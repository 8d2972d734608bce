// Packs made to reach outside themselves, or changed after their export:
// `kestrel check` and `kestrel import` must refuse each before using any of
// its content, name the entry at fault, never show a byte of a file outside
// the pack, and leave the store exactly as it was. And the import's working
// folder goes away after every import unless it is asked to stay.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "base/files.h"
#include "support/run_kestrel.h"
#include "support/store_dump.h"
#include "support/temp_folder.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using kestrel::testing::DumpStore;
using kestrel::testing::ReadFile;
using kestrel::testing::RunKestrel;
using kestrel::testing::RunResult;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;
namespace fs = std::filesystem;

// What a link out of the pack would show: a line that must never appear in
// anything Kestrel prints.
constexpr const char* kOutsideText = "root:x:0:0:outside-the-pack:/root:/bin/sh\r\n";

struct Paths {
  std::string pack;     // the damaged copy of the pack
  std::string outside;  // a file beside the pack, not in it
};

void LinkOutside(const Paths& p, const std::string& name) {
  fs::remove(p.pack + "/" + name);
  fs::create_symlink(p.outside, p.pack + "/" + name);
}

// Keeps the first `keep` bytes of a pack file.
void CutTo(const std::string& path, size_t keep) {
  std::string text = ReadFile(path);
  ASSERT_LT(keep, text.size()) << path;
  WriteFile(path, text.substr(0, keep));
}

// The offset just after the first record of a file (its first CR LF).
size_t AfterFirstRecord(const std::string& path) {
  const size_t at = ReadFile(path).find("\r\n");
  return at == std::string::npos ? 0 : at + 2;
}

struct Hostile {
  std::string name;
  std::function<void(const Paths&)> damage;
  bool without_sums;  // the pack as an older export left it, with no ExportMR.sums
  int number;
  std::string cause;  // names the entry at fault
};

const Hostile kHostile[] = {
    {"data file linked to a file outside", [](const Paths& p) { LinkOutside(p, "qzddi150ACCX2.dat"); }, false, 9050,
     "qzddi150ACCX2.dat is a symbolic link"},
    {"data file linked outside, pack without sums", [](const Paths& p) { LinkOutside(p, "qzddi150ACCX2.dat"); },
     true, 9050, "qzddi150ACCX2.dat is a symbolic link"},
    {"header file linked outside, pack without sums", [](const Paths& p) { LinkOutside(p, "Qzmap100.dat"); }, true,
     9050, "Qzmap100.dat is a symbolic link"},
    {"manifest linked to a file outside", [](const Paths& p) { LinkOutside(p, "ExportMR.log"); }, false, 9050,
     "ExportMR.log is a symbolic link"},
    {"manifest linked outside, pack without sums", [](const Paths& p) { LinkOutside(p, "ExportMR.log"); }, true,
     9050, "ExportMR.log is a symbolic link"},
    {"rule file replaced by a folder",
     [](const Paths& p) {
       fs::remove(p.pack + "/Qzmap120.dat");
       fs::create_directory(p.pack + "/Qzmap120.dat");
     },
     true, 9050, "Qzmap120.dat is a folder"},
    {"rule file replaced by a FIFO",
     [](const Paths& p) {
       fs::remove(p.pack + "/Qzmap120.dat");
       ASSERT_EQ(::mkfifo((p.pack + "/Qzmap120.dat").c_str(), 0600), 0);
     },
     true, 9050, "Qzmap120.dat is a FIFO"},
    {"rule file cut at a record boundary",
     [](const Paths& p) { CutTo(p.pack + "/Qzmap120.dat", AfterFirstRecord(p.pack + "/Qzmap120.dat")); }, false,
     9051, "Qzmap120.dat has"},
    {"data file cut inside its last field's value",
     [](const Paths& p) {
       const std::string path = p.pack + "/qzddi100ACCX2.dat";
       CutTo(path, ReadFile(path).size() - 3);
     },
     false, 9051, "qzddi100ACCX2.dat has"},
    {"one byte of a rule changed",
     [](const Paths& p) {
       const std::string path = p.pack + "/Qzmap120.dat";
       std::string text = ReadFile(path);
       const size_t at = text.find("Buchhaltung");
       ASSERT_NE(at, std::string::npos);
       text[at] = 'b';
       WriteFile(path, text);
     },
     false, 9051, "Qzmap120.dat has another SHA-256 than listed"},
    {"listed data file missing", [](const Paths& p) { fs::remove(p.pack + "/qzddi150ACCX2.dat"); }, false, 9051,
     "qzddi150ACCX2.dat is listed but missing"},
    {"data file the export did not write",
     [](const Paths& p) {
       fs::copy_file(p.pack + "/qzddi150ACCX2.dat", p.pack + "/qzddi150ZZZ99.dat");
     },
     false, 9051, "qzddi150ZZZ99.dat is not listed"},
};

// An installation, the demo store and its grandchild's chain pack with
// revisions, made once; every row works on copies of both.
class HostilePacksTest : public ::testing::Test {
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
    WriteFile(t / "outside.txt", kOutsideText);
  }
  static void TearDownTestSuite() {
    delete pack_;
    delete folder_;
  }

  // The import folders the installation's temporary folder holds.
  static std::vector<std::string> ImportFolders() {
    std::vector<std::string> found;
    const std::string tmp = *folder_ / "lumo/LumoStudio/tmp";
    if (!fs::exists(tmp)) return found;
    for (const auto& e : fs::directory_iterator(tmp))
      if (e.path().filename().string().rfind("ImportAt", 0) == 0) found.push_back(e.path().string());
    return found;
  }

  static TempFolder* folder_;
  static std::string* pack_;
};

TempFolder* HostilePacksTest::folder_ = nullptr;
std::string* HostilePacksTest::pack_ = nullptr;

TEST_F(HostilePacksTest, EveryDamageIsRefusedNamingItsEntryAndTheStoreStaysAsItWas) {
  const TempFolder& t = *folder_;
  ASSERT_TRUE(fs::exists(*pack_ + "/ExportMR.sums"));
  const RunResult clean = RunKestrel({"check", *pack_, "--store", t / "demo.db", "--registry", t / "registry.ini"});
  ASSERT_EQ(clean.exit_code, 0) << clean.err;
  EXPECT_EQ(clean.err, "");
  int row = 0;
  for (const Hostile& hostile : kHostile) {
    SCOPED_TRACE(hostile.name);
    const Paths paths{t / ("pack" + std::to_string(row)), t / "outside.txt"};
    const std::string store = t / ("store" + std::to_string(row) + ".db");
    ++row;
    fs::copy(*pack_, paths.pack);
    fs::copy_file(t / "demo.db", store);
    if (hostile.without_sums) fs::remove(paths.pack + "/ExportMR.sums");
    hostile.damage(paths);
    if (::testing::Test::HasFatalFailure()) return;
    const auto before = DumpStore(store);

    auto run = [&](const std::string& command, std::vector<std::string> extra) {
      std::vector<std::string> args = {command, paths.pack, "--store", store, "--registry", t / "registry.ini"};
      args.insert(args.end(), extra.begin(), extra.end());
      return RunKestrel(args);
    };
    const std::string head = "error " + std::to_string(hostile.number) + ": ";
    for (const RunResult& result : {run("check", {}), run("import", {"--replace"})}) {
      EXPECT_EQ(result.exit_code, 1) << result.out << result.err;
      EXPECT_THAT(result.err, HasSubstr(head));
      EXPECT_THAT(result.err, HasSubstr(hostile.cause));
      for (const std::string* output : {&result.out, &result.err}) EXPECT_THAT(*output, Not(HasSubstr("outside-the-pack")));
    }
    EXPECT_EQ(DumpStore(store), before);
  }
  EXPECT_THAT(ImportFolders(), ::testing::IsEmpty());
}

// Whether an import leaves its working folder behind: never, whatever the
// outcome, unless --keep-work asks for it. The failed import fails after the
// folder is made, in the bulk load of the batch path.
TEST_F(HostilePacksTest, TheImportFolderGoesAwayUnlessKeepWorkIsGiven) {
  const TempFolder& t = *folder_;
  struct Run {
    std::string name;
    bool batch_path_fails;
    bool keep_work;
    int exit_code;
    size_t folders_left;
  };
  const Run runs[] = {
      {"import that succeeds", false, false, 0, 0},
      {"import that fails in the bulk load", true, false, 1, 0},
      {"import that succeeds, folder kept", false, true, 0, 1},
      {"import that fails, folder kept", true, true, 1, 1},
  };
  const std::string config = t / "lumo/LumoStudio/bin/LumoConfig.ini";
  int row = 0;
  for (const Run& run : runs) {
    SCOPED_TRACE(run.name);
    for (const auto& folder : ImportFolders()) fs::remove_all(folder);
    const std::string store = t / ("keep" + std::to_string(row++) + ".db");
    fs::copy_file(t / "demo.db", store);
    std::map<std::string, std::optional<std::string>> env;
    if (run.batch_path_fails) {
      WriteFile(config, "[Settings]\r\nIIS=5\r\n");
      env["KESTREL_BCP"] = "/bin/false";
    } else {
      fs::remove(config);
    }
    std::vector<std::string> args = {"import", *pack_, "--store", store, "--registry", t / "registry.ini", "--replace"};
    if (run.keep_work) args.push_back("--keep-work");
    const RunResult result = RunKestrel(args, env);
    EXPECT_EQ(result.exit_code, run.exit_code) << result.out << result.err;
    const std::vector<std::string> left = ImportFolders();
    ASSERT_EQ(left.size(), run.folders_left);
    // A kept folder holds no batch file: it carries the store's password.
    for (const auto& folder : left)
      for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_NE(entry.path().extension(), ".Bat") << entry.path();
  }
  fs::remove(config);
}

}  // namespace
