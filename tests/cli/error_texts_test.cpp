// What the command line says when its input is damaged: each row runs one
// command on a demo installation with one fault, and the message must carry
// the number and the cause (the file and line, the path, the number read)
// rather than a bare run-time text.
#include <gmock/gmock.h>

#include <filesystem>
#include <functional>

#include "base/files.h"
#include "pack/sums.h"
#include "support/run_kestrel.h"
#include "support/temp_folder.h"

namespace {

using ::testing::HasSubstr;
using kestrel::testing::ReadFile;
using kestrel::testing::RunKestrel;
using kestrel::testing::RunResult;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;
namespace fs = std::filesystem;

// The copies a row may damage: a pack, a store, an installation and the
// registry file that records it.
struct Inputs {
  std::string pack;
  std::string store;
  std::string install;
  std::string registry;
};

struct ErrorText {
  std::string name;
  std::function<void(const Inputs&)> damage;
  // The command; "PACK", "STORE", "INSTALL" and "REGISTRY" stand for the row's copies.
  std::vector<std::string> args;
  int number;
  std::vector<std::string> fragments;  // each must be in the message after "error N: "
};

std::string Manifest(const Inputs& in) { return in.pack + "/ExportMR.log"; }

// The first `n` CR LF lines of a file.
std::string FirstLines(const std::string& text, size_t n) {
  size_t at = 0;
  for (size_t i = 0; i < n; ++i) at = text.find("\r\n", at) + 2;
  return text.substr(0, at);
}

const std::vector<std::string> kCheck = {"check", "PACK", "--store", "STORE", "--registry", "REGISTRY"};

std::vector<std::string> CheckWith(std::vector<std::string> extra) {
  std::vector<std::string> args = kCheck;
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

const ErrorText kErrorTexts[] = {
    {"empty manifest", [](const Inputs& in) { WriteFile(Manifest(in), ""); }, kCheck, 62,
     {"Input past end of file: ", "ExportMR.log is empty"}},
    {"manifest cut after its second line",
     [](const Inputs& in) { WriteFile(Manifest(in), FirstLines(ReadFile(Manifest(in)), 2)); }, kCheck, 62,
     {"Input past end of file: ", "ExportMR.log ends after line 2"}},
    {"binary manifest",
     [](const Inputs& in) { WriteFile(Manifest(in), std::string("\x7F" "ELF\x02\x01\x01\0\0\0", 10)); }, kCheck,
     62, {"ExportMR.log ends after line 1"}},
    {"manifest behind a byte-order mark",
     [](const Inputs& in) { WriteFile(Manifest(in), "\xEF\xBB\xBF" + ReadFile(Manifest(in))); }, kCheck, 9008,
     {"ExportMR.log, line 1: the file starts with a UTF-8 byte-order mark"}},
    {"header file behind a byte-order mark",
     [](const Inputs& in) { WriteFile(in.pack + "/Qzmap100.dat", "\xEF\xBB\xBF" + ReadFile(in.pack + "/Qzmap100.dat")); },
     kCheck, 9008, {"Qzmap100.dat, line 1: the file starts with a UTF-8 byte-order mark"}},
    {"registry naming a missing installation folder",
     [](const Inputs& in) { fs::remove_all(in.install); },
     {"import", "PACK", "--store", "STORE", "--registry", "REGISTRY", "--replace"}, 76,
     {"Path not found: the installation folder ", "/lumo (Path= in ", "registry.ini) does not exist"}},
    {"target profile beyond any whole number", nullptr,
     CheckWith({"--target", "99999999999999999999|ACC10|ACCX2|0|0|1", "--target", "20|ACC10|ACCX2|10|0|1",
                "--target", "30|ACC10|ACCX2|20|0|1"}),
     6, {"Overflow: the profile number \"99999999999999999999\" in the target entry"}},
    {"target parent beyond any whole number", nullptr,
     CheckWith({"--target", "10|ACC10|ACCX2|0|0|1", "--target", "20|ACC10|ACCX2|10|0|1", "--target",
                "30|ACC10|ACCX2|-99999999999999999999|0|1"}),
     6, {"Overflow: the parent profile \"-99999999999999999999\" in the target entry"}},
    {"store that is a folder", [](const Inputs& in) { fs::remove(in.store); fs::create_directory(in.store); },
     kCheck, 53, {"File not found: ", "store.db is a folder, not a store file"}},
    {"empty installation folder for setup", nullptr, {"setup", "--install-dir", "", "--registry", "REGISTRY"}, 76,
     {"Path not found: the installation folder is an empty path"}},
};

// An installation, the demo store and its grandchild's chain pack with
// revisions, made once; every row works on copies.
class ErrorTextsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder();
    const TempFolder& t = *folder_;
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

TempFolder* ErrorTextsTest::folder_ = nullptr;
std::string* ErrorTextsTest::pack_ = nullptr;

TEST_F(ErrorTextsTest, EveryFailureNamesItsCause) {
  const TempFolder& t = *folder_;
  int row = 0;
  for (const ErrorText& e : kErrorTexts) {
    SCOPED_TRACE(e.name);
    const std::string n = std::to_string(row++);
    const Inputs in{t / ("pack" + n), t / ("row" + n) + "/store.db", t / ("row" + n) + "/lumo",
                    t / ("row" + n) + "/registry.ini"};
    fs::copy(*pack_, in.pack);
    fs::create_directories(t / ("row" + n));
    fs::copy_file(t / "demo.db", in.store);
    const RunResult setup = RunKestrel({"setup", "--install-dir", in.install, "--registry", in.registry});
    ASSERT_EQ(setup.exit_code, 0) << setup.err;
    std::vector<std::string> args;
    for (const std::string& a : e.args)
      args.push_back(a == "PACK" ? in.pack : a == "STORE" ? in.store : a == "REGISTRY" ? in.registry : a);
    // A row that damages its inputs runs a command that passes on them
    // undamaged; the other rows' fault is in their arguments.
    if (e.damage) {
      const RunResult clean = RunKestrel(args);
      ASSERT_EQ(clean.exit_code, 0) << clean.err;
      e.damage(in);
      // Whoever changed the pack made its sums match: the error must come
      // from reading the content, not from the sums.
      kestrel::pack::WriteSums(kestrel::Env::Default(), in.pack);
    }
    const RunResult r = RunKestrel(args);
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_THAT(r.err, ::testing::StartsWith("error " + std::to_string(e.number) + ": "));
    for (const std::string& fragment : e.fragments) EXPECT_THAT(r.err, HasSubstr(fragment));
  }
}

}  // namespace
