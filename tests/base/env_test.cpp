// The system seam: the machine's own Env (files, child processes) and what a
// test Env's faults do to the real code above it: a write that fails, a full
// disk, variables and a clock that the test chooses.
#include "kestrel/env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/error.h"
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

// Two records of a pack file and a last piece without a line end: five
// appends (each WriteLine is the text, then its end).
void WriteRecords(files::TextWriter& w) {
  w.WriteLine("1|Qzmap120|Tresk");
  w.WriteLine("2|Qzmap120|Lumo");
  w.Write("3|end");
}
const std::string kRecords = "1|Qzmap120|Tresk\r\n2|Qzmap120|Lumo\r\n3|end";

TEST(FaultEnvTest, TheNthWriteFailsWithItsErrnoAndTheFileKeepsWhatCameBefore) {
  struct Row {
    size_t fail_at;
    int err;
    int32_t number;
    std::string description;
    std::string left;  // the file once the writer is gone
  };
  const std::vector<Row> rows = {
      {1, EIO, EIO, "Input/output error", ""},
      {3, ENOSPC, ENOSPC, "No space left on device", "1|Qzmap120|Tresk\r\n"},
      {4, EACCES, rt::PermissionDenied, "Permission denied", "1|Qzmap120|Tresk\r\n2|Qzmap120|Lumo"},
      {5, EDQUOT, EDQUOT, "Disk quota exceeded", "1|Qzmap120|Tresk\r\n2|Qzmap120|Lumo\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("write " + std::to_string(row.fail_at));
    TempFolder dir;
    FaultEnv env;
    env.FailWrite(row.fail_at, row.err);
    ComError e = CaughtFrom([&] {
      auto w = files::TextWriter::Create(env, dir / "Qzmap120.dat");
      WriteRecords(*w);
      w->Close();
    });
    EXPECT_EQ(e.number(), row.number);
    EXPECT_EQ(e.description(), row.description);
    EXPECT_EQ(env.appends(), row.fail_at);
    EXPECT_EQ(ReadFile(dir / "Qzmap120.dat"), row.left);
  }
}

TEST(FaultEnvTest, OnlyTheChosenWriteFails) {
  TempFolder dir;
  FaultEnv env;
  env.FailWrite(2);
  auto w = files::TextWriter::Create(env, dir / "importmr.log");
  w->Write("first ");
  EXPECT_EQ(ErrorOf([&] { w->Write("lost "); }), EIO);
  w->Write("third");
  w->Close();
  EXPECT_EQ(ReadFile(dir / "importmr.log"), "first third");
}

TEST(FaultEnvTest, AFullDiskTakesWhatFitsThenRefusesEveryWrite) {
  struct Row {
    size_t room;
    bool fails;
  };
  // No room; part of the first line; the first line and its end exactly;
  // one byte short; all of it; more than enough.
  const std::vector<Row> rows = {{0, true},  {10, true}, {18, true}, {kRecords.size() - 1, true},
                                 {kRecords.size(), false}, {4096, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE("room " + std::to_string(row.room));
    TempFolder dir;
    FaultEnv env;
    env.FillDiskAfter(row.room);
    auto w = files::TextWriter::Create(env, dir / "Qzlib100.dat");
    ComError e = CaughtFrom([&] { WriteRecords(*w); });
    if (row.fails) {
      EXPECT_EQ(e.number(), ENOSPC);
      EXPECT_EQ(e.description(), "No space left on device");
      // Nothing more goes onto a full disk.
      EXPECT_EQ(ErrorOf([&] { w->WriteLine("4|more"); }), ENOSPC);
    } else {
      EXPECT_EQ(e.number(), 0) << e.description();
    }
    w->Close();
    EXPECT_EQ(ReadFile(dir / "Qzlib100.dat"), kRecords.substr(0, std::min(row.room, kRecords.size())));
  }
}

TEST(FaultEnvTest, TheFullDiskGivesTheErrorOfARealOne) {
  // The kernel's device that is always full.
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full on this machine";
  ComError real = CaughtFrom([] {
    auto w = files::TextWriter::Create(Env::Default(), "/dev/full");
    w->WriteLine("1|Qzmap120|Tresk");
    w->Close();
  });
  TempFolder dir;
  FaultEnv env;
  env.FillDiskAfter(0);
  ComError ours = CaughtFrom([&] {
    auto w = files::TextWriter::Create(env, dir / "Qzmap120.dat");
    w->WriteLine("1|Qzmap120|Tresk");
    w->Close();
  });
  EXPECT_EQ(real.number(), ENOSPC);
  EXPECT_EQ(ours.number(), real.number());
  EXPECT_EQ(ours.description(), real.description());
}

TEST(FaultEnvTest, AFailedCopyLeavesThePartThatFitted) {
  TempFolder dir;
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += std::to_string(i) + "|Qzmap175|\xe9t\xe9\r\n";
  WriteFile(dir / "from.dat", bytes);
  FaultEnv env;
  env.FillDiskAfter(70000);
  EXPECT_EQ(ErrorOf([&] { files::CopyFile(env, dir / "from.dat", dir / "to.dat"); }), ENOSPC);
  EXPECT_EQ(ReadFile(dir / "to.dat"), bytes.substr(0, 70000));
  EXPECT_EQ(ReadFile(dir / "from.dat"), bytes);
}

// The registry file is replaced in one step: whatever write fails, the old
// file stays whole and no half-written file is left beside it.
TEST(FaultEnvTest, ARegistryWriteThatFailsLeavesTheOldFile) {
  const std::string key = "SOFTWARE\\Corvane\\Tresk\\Tresk2.0";
  const std::string old = "; kept\n[HKEY_LOCAL_MACHINE\\" + key + "]\nPath=/opt/lumo\nVersion=2.0\n";
  struct Row {
    std::string fault;
    std::function<void(FaultEnv&)> arm;
    int32_t number;
  };
  const std::vector<Row> rows = {
      {"no room", [](FaultEnv& e) { e.FillDiskAfter(0); }, ENOSPC},
      {"room for a line and a half", [](FaultEnv& e) { e.FillDiskAfter(20); }, ENOSPC},
      {"first write", [](FaultEnv& e) { e.FailWrite(1); }, EIO},
      {"last write", [](FaultEnv& e) { e.FailWrite(4, EROFS); }, rt::PermissionDenied},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    TempFolder t;
    WriteFile(t / "registry.ini", old);
    FaultEnv env;
    row.arm(env);
    RegistryFile file(env, t / "registry.ini");
    EXPECT_EQ(ErrorOf([&] { file.SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, key, "Path", "/srv/lumo-new"); }),
              row.number);
    EXPECT_EQ(ReadFile(t / "registry.ini"), old);
    EXPECT_FALSE(Env::Default().FileExists(t / "registry.ini.new"));
    std::string data;
    ASSERT_TRUE(file.GetKeyValue(HKEY_LOCAL_MACHINE_VALUE, key, "Path", data));
    EXPECT_EQ(data, "/opt/lumo");
  }
}

TEST(FaultEnvTest, VariablesAreOnlyThoseGiven) {
  FaultEnv env;
  // PATH is set in every process environment; this Env does not see it.
  EXPECT_EQ(env.Variable("PATH"), "");
  env.SetVariable("KESTREL_EXPORT_ROOT", "/srv/packs");
  EXPECT_EQ(env.Variable("KESTREL_EXPORT_ROOT"), "/srv/packs");
  EXPECT_NE(Env::Default().Variable("PATH"), "");
}

TEST(FaultEnvTest, TheTimeCanBeFixed) {
  FaultEnv env;
  env.FixTime(DateTime{2026, 12, 4, 9, 39, 15});
  EXPECT_EQ(FormatDateTime(env.Now()), "2026-12-04 09:39:15");
  EXPECT_EQ(FormatCompact(env.Now()), "041226093915");
  // Unfixed, the base's clock: a real present.
  FaultEnv unfixed;
  EXPECT_GE(unfixed.Now().Year, 2024);
  EXPECT_TRUE(IsValidDate(unfixed.Now().Year, unfixed.Now().Month, unfixed.Now().Day));
}

TEST(PosixEnvTest, FoldersFilesAndTheirRefusals) {
  TempFolder dir;
  Env& env = Env::Default();
  EXPECT_TRUE(env.CreateFolder(dir / "LumoStudio"));
  EXPECT_FALSE(env.CreateFolder(dir / "LumoStudio"));  // already there
  WriteFile(dir / "importmr.log", "x");
  EXPECT_FALSE(env.CreateFolder(dir / "importmr.log"));  // a file of the name
  EXPECT_EQ(ErrorOf([&] { env.CreateFolder(dir / "no/such"); }), rt::PathNotFound);
  WriteFile(dir / "Qzmap120.dat", "");
  auto names = env.ListFiles(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Qzmap120.dat", "importmr.log"}));  // no folders

  ComError folder = CaughtFrom([&] { env.OpenForReading(dir / "LumoStudio"); });
  EXPECT_EQ(folder.number(), EISDIR);
  EXPECT_EQ(folder.description(), "Is a directory");
  EXPECT_EQ(ErrorOf([&] { env.OpenForWriting(dir / "LumoStudio", WriteMode::Replace); }), EISDIR);
  EXPECT_EQ(ErrorOf([&] { env.RenameFile(dir / "missing.dat", dir / "b.dat"); }), rt::FileNotFound);
  EXPECT_EQ(ErrorOf([&] { env.DeleteFile(dir / "no/such/a.dat"); }), rt::PathNotFound);
}

// What each kind of entry is and what reading it gives: only a regular file
// itself is read; a link, even to a regular file, is refused naming the
// path, and a FIFO without a writer is refused rather than waited on.
TEST(PosixEnvTest, OnlyARegularFileItselfIsRead) {
  TempFolder dir;
  Env& env = Env::Default();
  WriteFile(dir / "Qzmap120.dat", "1|Qzmap120|Tresk\r\n");
  WriteFile(dir / "shadow", "root:secret\n");
  ASSERT_EQ(::symlink((dir / "shadow").c_str(), (dir / "Qzmap150.dat").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "Qzmap160.dat").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir / "Qzmap130.dat").c_str(), 0600), 0);
  ASSERT_TRUE(env.CreateFolder(dir / "Qzmap140.dat"));
  struct Row {
    std::string name;
    EntryKind kind;
    int number;  // of the refusal to read it; 0: it is read
  };
  const Row rows[] = {
      {"Qzmap120.dat", EntryKind::File, 0},
      {"Qzmap150.dat", EntryKind::Link, Number(Ours::NotARegularFile)},
      {"Qzmap160.dat", EntryKind::Link, Number(Ours::NotARegularFile)},
      {"Qzmap130.dat", EntryKind::Other, Number(Ours::NotARegularFile)},
      {"Qzmap140.dat", EntryKind::Folder, EISDIR},
      {"Qzmap100.dat", EntryKind::Missing, rt::FileNotFound},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(env.KindOf(dir / row.name), row.kind);
    std::string read;
    const ComError e = CaughtFrom([&] { read = files::ReadWholeFile(env, dir / row.name); });
    EXPECT_EQ(e.number(), row.number) << e.description();
    if (row.number == Number(Ours::NotARegularFile)) {
      EXPECT_NE(e.description().find(dir / row.name), std::string::npos);
    }
    EXPECT_EQ(read.find("secret"), std::string::npos);
    if (row.number == 0) {
      EXPECT_EQ(read, "1|Qzmap120|Tresk\r\n");
    }
  }
}

TEST(PosixEnvTest, WriteModes) {
  TempFolder dir;
  Env& env = Env::Default();
  WriteFile(dir / "login.ini", "older and longer content");
  ::chmod((dir / "login.ini").c_str(), 0644);
  struct Row {
    WriteMode mode;
    std::string content;
    bool owner_only;
  };
  const std::vector<Row> rows = {{WriteMode::Append, "older and longer content|pw", false},
                                 {WriteMode::Replace, "|pw", false},
                                 {WriteMode::ReplacePrivate, "|pw", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.content);
    WriteFile(dir / "login.ini", "older and longer content");
    auto f = env.OpenForWriting(dir / "login.ini", row.mode);
    f->Append("|pw");
    f->Close();
    EXPECT_EQ(ReadFile(dir / "login.ini"), row.content);
    struct stat st{};
    ASSERT_EQ(::stat((dir / "login.ini").c_str(), &st), 0);
    EXPECT_EQ((st.st_mode & 077) == 0, row.owner_only) << std::oct << st.st_mode;
  }
}

TEST(PosixEnvTest, LargeAndSmallAppendsKeepTheirOrder) {
  TempFolder dir;
  // Pieces around the size of the write buffer, mixed with short lines.
  std::string expected;
  auto f = Env::Default().OpenForWriting(dir / "big.dat", WriteMode::Replace);
  for (size_t size : {10u, 65536u, 3u, 65535u, 1u, 200000u, 7u}) {
    std::string piece(size, static_cast<char>('a' + expected.size() % 26));
    f->Append(piece);
    expected += piece;
  }
  f->Flush();
  EXPECT_EQ(ReadFile(dir / "big.dat"), expected);
  f->Append("tail");
  f->Close();
  EXPECT_EQ(ReadFile(dir / "big.dat"), expected + "tail");
}

TEST(PosixEnvTest, ChildProcessesAndWhatTheyWrite) {
  struct Row {
    std::string program;
    std::vector<std::string> arguments;
    int status;
    bool signaled;
    std::string output;
  };
  const std::vector<Row> rows = {
      {"/bin/sh", {"-c", "printf 'loaded 3 rows'"}, 0, false, "loaded 3 rows"},
      {"sh", {"-c", "echo 'table Qzmap120 missing' >&2; exit 3"}, 3, false, "table Qzmap120 missing\n"},
      {"/bin/sh", {"-c", "echo out; echo err >&2; exit 1"}, 1, false, "out\nerr\n"},
      {"/bin/sh", {"-c", "kill -TERM $$"}, 15, true, ""},
      // Standard input is empty.
      {"/bin/sh", {"-c", "cat; echo done"}, 0, false, "done\n"},
      // Arguments reach the program as they are, a "$" included.
      {"/bin/sh", {"-c", "printf '%s|' \"$@\"", "sh", "a b", "$HOME", ""}, 0, false, "a b|$HOME||"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments[1]);
    ChildOutcome o = Env::Default().RunProgram(row.program, row.arguments, 2000);
    EXPECT_EQ(o.status, row.status);
    EXPECT_EQ(o.signaled, row.signaled);
    EXPECT_EQ(o.output, row.output);
  }
  EXPECT_EQ(ErrorOf([] { Env::Default().RunProgram("/nonexistent/kestrel/bcp", {}, 100); }), rt::FileNotFound);
}

TEST(PosixEnvTest, LongOutputKeepsItsEnd) {
  ChildOutcome o = Env::Default().RunProgram(
      "/bin/sh", {"-c", "i=0; while [ $i -lt 3000 ]; do echo \"row $i\"; i=$((i+1)); done"}, 100);
  EXPECT_EQ(o.status, 0);
  EXPECT_GE(o.output.size(), 100u);
  EXPECT_LE(o.output.size(), 200u);
  const std::string end = "row 2998\nrow 2999\n";
  ASSERT_GE(o.output.size(), end.size());
  EXPECT_EQ(o.output.substr(o.output.size() - end.size()), end);
}

}  // namespace
}  // namespace kestrel
