// The system seam: what a failing write or a full disk does to the files
// above it (FaultEnv), and the machine's own Env: write modes, child
// processes and what they write. What reading an entry gives: files_test.
#include "kestrel/env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "base/files.h"
#include "kestrel/registry.h"
#include "support/error_of.h"
#include "support/fault_env.h"
#include "support/temp_folder.h"

namespace kestrel {
namespace {

using kestrel::testing::CaughtFrom;
using kestrel::testing::ErrorOf;
using kestrel::testing::FaultEnv;
using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

// Two records and a last piece without a line end: five appends.
const std::string kRecords = "1|Qzmap120|Tresk\r\n2|Qzmap120|Lumo\r\n3|end";

TEST(FaultEnvTest, AFailedWriteOrAFullDiskKeepsWhatCameBefore) {
  struct Row {
    size_t fail_at, room;  // the append that fails (0: none); the room on the disk (npos: enough)
    int err;
    std::string raised;  // number and text; empty: nothing raised
    size_t kept;         // bytes of kRecords in the file
  };
  const size_t all = kRecords.size(), enough = std::string::npos;
  const Row rows[] = {{1, enough, EIO, std::to_string(EIO) + " Input/output error", 0}, {4, enough, EACCES, "70 Permission denied", 33},
                      {5, enough, EDQUOT, std::to_string(EDQUOT) + " Disk quota exceeded", 35},
                      {0, all - 1, 0, std::to_string(ENOSPC) + " No space left on device", all - 1}, {0, all, 0, "", all}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.fail_at) + " " + std::to_string(row.room));
    TempFolder dir;
    FaultEnv env;
    if (row.fail_at) env.FailWrite(row.fail_at, row.err);
    if (row.room != enough) env.FillDiskAfter(row.room);
    auto w = files::TextWriter::Create(env, dir / "Qzmap120.dat");
    const ComError e = CaughtFrom([&] { w->WriteLine("1|Qzmap120|Tresk"); w->WriteLine("2|Qzmap120|Lumo"); w->Write("3|end"); });
    EXPECT_EQ(e.number() ? std::to_string(e.number()) + " " + e.description() : "", row.raised);
    // Nothing more goes onto a full disk.
    if (row.room < all) { EXPECT_EQ(ErrorOf([&] { w->WriteLine("4|more"); }), ENOSPC); }
    w->Close();
    EXPECT_EQ(ReadFile(dir / "Qzmap120.dat"), kRecords.substr(0, row.kept));
  }
}

TEST(FaultEnvTest, AFailedCopyLeavesThePartThatFittedAndTheRegistryItsOldFile) {
  TempFolder t;
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += std::to_string(i) + "|Qzmap175|\xe9t\xe9\r\n";
  WriteFile(t / "from.dat", bytes);
  FaultEnv full;
  full.FillDiskAfter(70000);
  EXPECT_EQ(ErrorOf([&] { files::CopyFile(full, t / "from.dat", t / "to.dat"); }), ENOSPC);
  EXPECT_EQ(ReadFile(t / "to.dat"), bytes.substr(0, 70000));
  // The registry file is replaced in one step: the old file stays whole.
  const std::string key = "SOFTWARE\\Corvane\\Tresk\\Tresk2.0";
  const std::string old = "; kept\n[HKEY_LOCAL_MACHINE\\" + key + "]\nPath=/opt/lumo\nVersion=2.0\n";
  const std::pair<std::function<void(FaultEnv&)>, int> faults[] = {
      {[](FaultEnv& e) { e.FillDiskAfter(20); }, ENOSPC},
      {[](FaultEnv& e) { e.FailWrite(4, EROFS); }, rt::PermissionDenied},
  };
  for (const auto& [arm, number] : faults) {
    WriteFile(t / "registry.ini", old);
    FaultEnv env;
    arm(env);
    RegistryFile file(env, t / "registry.ini");
    EXPECT_EQ(ErrorOf([&] { file.SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, key, "Path", "/srv/lumo-new"); }), number);
    EXPECT_EQ(ReadFile(t / "registry.ini"), old);
    EXPECT_FALSE(Env::Default().FileExists(t / "registry.ini.new"));
  }
}

TEST(PosixEnvTest, WriteModes) {
  TempFolder dir;
  const struct {
    WriteMode mode;
    std::string content;
    bool owner_only;
  } rows[] = {{WriteMode::Append, "older and longer content|pw", false},
              {WriteMode::Replace, "|pw", false},
              {WriteMode::ReplacePrivate, "|pw", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.content);
    WriteFile(dir / "login.ini", "older and longer content");
    ::chmod((dir / "login.ini").c_str(), 0644);
    auto f = Env::Default().OpenForWriting(dir / "login.ini", row.mode);
    f->Append("|pw");
    f->Close();
    EXPECT_EQ(ReadFile(dir / "login.ini"), row.content);
    struct stat st{};
    ASSERT_EQ(::stat((dir / "login.ini").c_str(), &st), 0);
    EXPECT_EQ((st.st_mode & 077) == 0, row.owner_only) << std::oct << st.st_mode;
  }
}

TEST(PosixEnvTest, ChildProcessesAndWhatTheyWrite) {
  const struct {
    std::vector<std::string> arguments;
    int status;
    bool signaled;
    std::string output;
  } rows[] = {
      {{"-c", "echo 'table Qzmap120 missing' >&2; exit 3"}, 3, false, "table Qzmap120 missing\n"},
      {{"-c", "kill -TERM $$"}, 15, true, ""},
      {{"-c", "cat; echo done"}, 0, false, "done\n"},  // standard input is empty
      {{"-c", "printf '%s|' \"$@\"", "sh", "a b", "$HOME", ""}, 0, false, "a b|$HOME||"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments[1]);
    const ChildOutcome o = Env::Default().RunProgram("sh", row.arguments, 2000);
    EXPECT_EQ(o.status, row.status);
    EXPECT_EQ(o.signaled, row.signaled);
    EXPECT_EQ(o.output, row.output);
  }
  EXPECT_EQ(ErrorOf([] { Env::Default().RunProgram("/nonexistent/kestrel/bcp", {}, 100); }), rt::FileNotFound);
  // Long output keeps its end, within the size asked for.
  const ChildOutcome o = Env::Default().RunProgram(
      "/bin/sh", {"-c", "i=0; while [ $i -lt 3000 ]; do echo \"row $i\"; i=$((i+1)); done"}, 100);
  EXPECT_GE(o.output.size(), 100u);
  EXPECT_LE(o.output.size(), 200u);
  EXPECT_EQ(o.output.substr(o.output.size() - 18), "row 2998\nrow 2999\n");
}

}  // namespace
}  // namespace kestrel
