// The system seam: what a failing write or a full disk does to the files
// above it (FaultEnv), and the machine's own Env: kinds of entries, write
// modes, child processes and what they write.
#include "kestrel/env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "base/errors_ours.h"
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

// Only a regular file itself is read: a link, even to a regular file, is
// refused naming the path, and a FIFO without a writer is not waited on.
TEST(PosixEnvTest, EntriesAndWhatReadingThemGives) {
  TempFolder dir;
  Env& env = Env::Default();
  WriteFile(dir / "Qzmap120.dat", "1|Qzmap120|Tresk\r\n");
  WriteFile(dir / "shadow", "root:secret\n");
  ASSERT_EQ(::symlink((dir / "shadow").c_str(), (dir / "Qzmap150.dat").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "Qzmap160.dat").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir / "Qzmap130.dat").c_str(), 0600), 0);
  ASSERT_TRUE(env.CreateFolder(dir / "Qzmap140.dat"));
  EXPECT_FALSE(env.CreateFolder(dir / "Qzmap140.dat"));
  EXPECT_FALSE(env.CreateFolder(dir / "Qzmap120.dat"));
  EXPECT_EQ(ErrorOf([&] { env.CreateFolder(dir / "no/such"); }), rt::PathNotFound);
  const int not_regular = Number(Ours::NotARegularFile);
  const struct {
    std::string name;
    EntryKind kind;
    int number;  // of the refusal to read it; 0: it is read
  } rows[] = {{"Qzmap120.dat", EntryKind::File, 0},          {"Qzmap150.dat", EntryKind::Link, not_regular},
              {"Qzmap160.dat", EntryKind::Link, not_regular}, {"Qzmap130.dat", EntryKind::Other, not_regular},
              {"Qzmap140.dat", EntryKind::Folder, EISDIR},    {"Qzmap100.dat", EntryKind::Missing, rt::FileNotFound}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(env.KindOf(dir / row.name), row.kind);
    std::string read;
    const ComError e = CaughtFrom([&] { read = files::ReadWholeFile(env, dir / row.name); });
    EXPECT_EQ(e.number(), row.number) << e.description();
    if (row.number == not_regular) { EXPECT_NE(e.description().find(dir / row.name), std::string::npos); }
    EXPECT_EQ(read, row.number ? "" : "1|Qzmap120|Tresk\r\n");
  }
  const auto names = env.ListFiles(dir.path());  // files, no folders
  EXPECT_EQ(std::count(names.begin(), names.end(), "Qzmap120.dat"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Qzmap140.dat"), 0);
  EXPECT_EQ(ErrorOf([&] { env.OpenForWriting(dir / "Qzmap140.dat", WriteMode::Replace); }), EISDIR);
  EXPECT_EQ(ErrorOf([&] { env.RenameFile(dir / "missing.dat", dir / "b.dat"); }), rt::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { env.DeleteFile(dir / "no/such/a.dat"); }), rt::PathNotFound);
}

TEST(PosixEnvTest, WriteModesAndAppendsOfEverySize) {
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
  std::string expected;
  auto f = Env::Default().OpenForWriting(dir / "big.dat", WriteMode::Replace);
  for (size_t size : {10u, 65536u, 3u, 65535u, 1u, 200000u, 7u}) {
    const std::string piece(size, static_cast<char>('a' + expected.size() % 26));
    f->Append(piece);
    expected += piece;
  }
  f->Flush();
  EXPECT_EQ(ReadFile(dir / "big.dat"), expected);
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
