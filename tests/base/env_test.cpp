// The system seam: what a failing write or a full disk does to the files
// above it (FaultEnv), and the machine's own Env: private files, child
// processes and what they write, the kinds of entries a folder holds; a
// library loaded on demand (the entry, or the reason it was not found in
// words that name what is missing); and the second thread's queue. What
// reading an entry gives: files_test.
#include "kestrel/env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "base/background_queue.h"
#include "base/files.h"
#include "kestrel/modules.h"
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

// One row per fault, and what meets it: the appends before a failed write,
// the part of a copy that fitted, and the registry file whole (it is replaced
// in one step), with the number and text raised.
TEST(FaultEnvTest, AFailedWriteOrAFullDiskKeepsWhatCameBefore) {
  TempFolder t;
  const std::string records = "1|Qzmap120|Tresk\r\n2|Qzmap120|Lumo\r\n3|end";
  const std::string key = "SOFTWARE\\Corvane\\Tresk\\Tresk2.0";
  const std::string old = "; kept\n[HKEY_LOCAL_MACHINE\\" + key + "]\nPath=/opt/lumo\nVersion=2.0\n";
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += std::to_string(i) + "|Qzmap175|\xe9t\xe9\r\n";
  WriteFile(t / "from.dat", bytes);
  using Act = std::function<void(FaultEnv&)>;
  const Act write = [&](FaultEnv& env) {  // five appends: two records and a last piece
    auto w = files::TextWriter::Create(env, t / "out.dat");
    w->WriteLine("1|Qzmap120|Tresk");
    w->WriteLine("2|Qzmap120|Lumo");
    w->Write("3|end");
  };
  const Act copy = [&](FaultEnv& env) { files::CopyFile(env, t / "from.dat", t / "out.dat"); };
  const Act set = [&](FaultEnv& env) {
    RegistryFile(env, t / "out.dat").SetKeyValue(HKEY_LOCAL_MACHINE_VALUE, key, "Path", "/srv/lumo-new");
  };
  const std::string full = std::to_string(ENOSPC) + " No space left on device";
  // fail_at: the append that fails with err (0: none); room: on the disk (npos: enough); raised: number and text,
  // empty when nothing is.
  const struct { size_t fail_at, room; int err; Act act; std::string raised, after; } rows[] = {
      {1, std::string::npos, EIO, write, std::to_string(EIO) + " Input/output error", ""},
      {4, std::string::npos, EACCES, write, "70 Permission denied", records.substr(0, 33)},
      {5, std::string::npos, EDQUOT, write, std::to_string(EDQUOT) + " Disk quota exceeded",
       records.substr(0, 35)},
      {0, records.size() - 1, 0, write, full, records.substr(0, records.size() - 1)},
      {0, records.size(), 0, write, "", records},
      {0, 70000, 0, copy, full, bytes.substr(0, 70000)},
      {0, 20, 0, set, full, old},
      {4, std::string::npos, EROFS, set, "70 Permission denied", old},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.fail_at) + " " + std::to_string(row.room) + " " + row.raised);
    WriteFile(t / "out.dat", old);
    FaultEnv env;
    if (row.fail_at) env.FailWrite(row.fail_at, row.err);
    if (row.room != std::string::npos) env.FillDiskAfter(row.room);
    const ComError e = CaughtFrom([&] { row.act(env); });
    EXPECT_EQ(e.number() ? std::to_string(e.number()) + " " + e.description() : "", row.raised);
    EXPECT_EQ(ReadFile(t / "out.dat"), row.after);
    EXPECT_FALSE(Env::Default().FileExists(t / "out.dat.new"));
  }
}

// A batch file carries the store's password: only its owner may read it.
TEST(PosixEnvTest, APrivateFileIsReadableByItsOwnerOnly) {
  TempFolder dir;
  WriteFile(dir / "import.Bat", "older and longer content");
  ::chmod((dir / "import.Bat").c_str(), 0644);
  auto f = Env::Default().OpenForWriting(dir / "import.Bat", WriteMode::ReplacePrivate);
  f->Append("-P s3cret");
  f->Close();
  EXPECT_EQ(ReadFile(dir / "import.Bat"), "-P s3cret");
  struct stat st{};
  ASSERT_EQ(::stat((dir / "import.Bat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u) << std::oct << st.st_mode;
}

// Each kind of entry as the seam tells it: a link is a link whatever it
// points at, yet reads as what it points at where a path is followed; only
// regular files are listed; a name that is taken is never made a folder; a
// read that fails is refused.
TEST(PosixEnvTest, KindsOfEntries) {
  namespace fs = std::filesystem;
  TempFolder dir;
  Env& env = Env::Default();
  WriteFile(dir / "Qzmap120.dat", "row\r\n");
  fs::create_directory(dir / "ExportedRules");
  fs::create_symlink(dir / "Qzmap120.dat", dir / "Qzmap130.dat");
  fs::create_symlink(dir / "ExportedRules", dir / "Rules");
  fs::create_symlink(dir / "gone.dat", dir / "Qzmap140.dat");
  ASSERT_EQ(::mkfifo((dir / "Qzmap150.dat").c_str(), 0600), 0);
  // A name is listed where it reads as a regular file.
  const struct { const char* name; EntryKind kind; bool file, folder; } rows[] = {
      {"Qzmap120.dat", EntryKind::File, true, false},   {"ExportedRules", EntryKind::Folder, false, true},
      {"Qzmap130.dat", EntryKind::Link, true, false},   {"Rules", EntryKind::Link, false, true},
      {"Qzmap140.dat", EntryKind::Link, false, false}, {"Qzmap150.dat", EntryKind::Other, false, false},
      {"Qzmap160.dat", EntryKind::Missing, false, false},
  };
  std::vector<std::string> listed = env.ListFiles(dir.path());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = dir / row.name;
    EXPECT_EQ(env.KindOf(path), row.kind);
    EXPECT_EQ(env.FileExists(path), row.file);
    EXPECT_EQ(env.FolderExists(path), row.folder);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), row.name), row.file ? 1 : 0);
    EXPECT_EQ(env.CreateFolder(path), row.kind == EntryKind::Missing);
  }
  EXPECT_EQ(ErrorOf([&] { env.ListFiles(dir / "none"); }), rt::PathNotFound);
  // A regular file whose reading fails (this process's memory at address 0)
  // raises the device's error.
  char byte;
  EXPECT_EQ(ErrorOf([&] { env.OpenForReading("/proc/self/mem")->Read(&byte, 1); }), EIO);
  EXPECT_EQ(env.ProgramFolder(), fs::canonical(KESTREL_BIN_DIR).string());
  // A regular file has a stamp once a moment has passed since it changed
  // (the checkout's files have); a folder never has one.
  EXPECT_TRUE(env.StampOf(std::string(KESTREL_SOURCE_DIR) + "/README.md").has_value());
  EXPECT_FALSE(env.StampOf(std::string(KESTREL_SOURCE_DIR) + "/docs").has_value());
}

TEST(PosixEnvTest, ChildProcessesAndWhatTheyWrite) {
  const struct { std::vector<std::string> arguments; int status; bool signaled; std::string output; } rows[] = {
      {{"-c", "echo 'table Qzmap120 missing' >&2; exit 3"}, 3, false, "table Qzmap120 missing\n"},
      {{"-c", "kill -TERM $$"}, 15, true, ""},
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

// A system library by the loader's search; one of ours only beside libkestrel.so.
TEST(ModulesTest, SystemLibrariesByTheLoadersSearchOursBesideLibkestrel) {
  // failure_names: a part of the failure's text, when not found.
  const struct { const char *soname, *entry; bool found; const char* failure_names; } rows[] = {
      {"libc.so.6", "strlen", true, ""},
      {"libc.so.6", "kestrel_no_such_entry", false, "kestrel_no_such_entry"},
      {"libkestrel-no-such-library.so.1", "strlen", false, "libkestrel-no-such-library.so.1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.soname) + " " + row.entry);
    std::string failure;
    void* address = LoadSystemLibraryEntry(row.soname, row.entry, failure);
    if (row.found) {
      ASSERT_NE(address, nullptr) << failure;
      // The entry itself, not the library's handle: it can be called.
      using Strlen = size_t (*)(const char*);
      EXPECT_EQ(reinterpret_cast<Strlen>(address)("kestrel"), 7u);
      EXPECT_EQ(failure, "");
    } else {
      EXPECT_EQ(address, nullptr);
      EXPECT_NE(failure.find(row.failure_names), std::string::npos) << failure;
    }
  }
  // A system library's name is not one of ours: beside libkestrel.so there is
  // no libc, and the failure says where it looked.
  std::string failure;
  EXPECT_EQ(LoadLibraryEntry("libc.so.6", "strlen", failure), nullptr);
  EXPECT_NE(failure.find("/libc.so.6"), std::string::npos) << failure;
}

// The second thread's queue: every job runs once, in the order given, by the
// time Drain returns, whether it was small (the thread left asleep for it) or
// not; a giver that fills the queue with small jobs is never left waiting for
// a thread nobody woke. A fault here hangs the test rather than failing it.
TEST(BackgroundQueueTest, EveryJobRunsInOrderByDrainSmallOrNot) {
  const struct { size_t max_queued; int every_nth_large; } cases[] = {
      {1, 0}, {2, 0}, {3, 0}, {5, 0},  // small jobs only
      {3, 4}, {5, 7},                  // now and then one large
      {3, 1},                          // large jobs only
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "queue of " << c.max_queued << ", every " << c.every_nth_large
                                      << "th job large");
    std::vector<int> ran;  // touched by the jobs alone until Drain returns
    BackgroundQueue queue(c.max_queued);
    for (int i = 0; i < 40; ++i) {
      const bool small = c.every_nth_large == 0 || (i + 1) % c.every_nth_large != 0;
      queue.Submit([&ran, i] { ran.push_back(i); }, small);
      if (i == 12) {
        queue.Drain();
        EXPECT_EQ(ran.size(), 13u) << "jobs given before Drain ran by its return";
      }
    }
    queue.Drain();
    std::vector<int> all(40);
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(ran, all);
  }
}

}  // namespace
}  // namespace kestrel
