// `kestrel import` as one unit of the store, seen from outside: an import
// killed at any moment, or stopped by SIGTERM, leaves the store as it was or
// fully imported and sound; an import facing another program's write lock
// gives up after --wait with the store unchanged; two imports started
// together end as one; an export beside an import reads the store from
// before it or after it, never from the middle; and a program that keeps the
// store or one of its tables locked makes import, export and check give up
// after --wait, on every backend.
#include <gmock/gmock.h>

#include <csignal>
#include <chrono>
#include <thread>

#include "base/files.h"
#include "cli/demo_pack.h"
#include "store/open.h"
#include "support/pack_compare.h"
#include "support/store_dump.h"

namespace kestrel::testing {
namespace {

// Owners deciphered: each import enciphers them with a salt of its own.
StoreDump Dump(const std::string& store) { return DumpStore(*store::Open(store), true); }

std::string IntegrityCheck(const std::string& store) {
  return store::Open(store)->OpenRecordset("pragma integrity_check")->Fields(0).Text();
}

// A demo store large enough for an import to take a while, its chain pack,
// the store as a clean import of that pack leaves it, and an installation.
class ImportUnitTest : public ::testing::Test {
 protected:
  struct Shared {
    TempFolder t;
    std::string pack;
    StoreDump before, after;
  };
  static void SetUpTestSuite() {
    shared_ = std::make_unique<Shared>();
    const TempFolder& t = shared_->t;
    ASSERT_EQ(RunKestrel({"setup", "--install-dir", t / "lumo", "--registry", t / "registry.ini"}).exit_code, 0);
    ASSERT_EQ(RunKestrel({"demo-store", t / "pristine.db", "--scale", "150"}).exit_code, 0);
    shared_->pack = ExportPack(t / "pristine.db", t / "export");
    shared_->before = Dump(t / "pristine.db");
    std::filesystem::copy_file(t / "pristine.db", t / "imported.db");
    const RunResult r = RunKestrel(ImportArgs(t / "imported.db"));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    shared_->after = Dump(t / "imported.db");
    ASSERT_NE(shared_->before, shared_->after);
  }
  static void TearDownTestSuite() { shared_.reset(); }

  // A copy of the demo store to import into; the run log starts empty.
  std::string FreshStore() {
    const std::string store = t_ / "store.db";
    for (const char* end : {"", "-wal", "-shm"}) std::filesystem::remove(store + end);
    std::filesystem::copy_file(shared_->t / "pristine.db", store);
    std::filesystem::remove(RunLog());
    return store;
  }
  static std::string RunLog() { return shared_->t / "lumo/LumoStudio/tmp/importmr.log"; }
  static std::vector<std::string> ImportArgs(const std::string& store, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"import", shared_->pack, "--store", store, "--registry", shared_->t / "registry.ini", "--replace"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  pid_t StartImport(const std::string& store, const std::string& name, std::vector<std::string> extra = {}) {
    return StartProgram(std::string(KESTREL_BIN_DIR) + "/kestrel", ImportArgs(store, std::move(extra)),
                                          t_ / (name + ".out"), t_ / (name + ".err"));
  }
  // Waits until the run log holds `text` (or the import ended).
  static void AwaitLogLine(const std::string& text, pid_t pid) {
    for (int i = 0; i < 20000; ++i) {
      if (files::FileExists(Env::Default(), RunLog()) && ReadFile(RunLog()).find(text) != std::string::npos) return;
      siginfo_t info{};
      if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
        return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  static inline std::unique_ptr<Shared> shared_;
  TempFolder t_;
};

TEST_F(ImportUnitTest, AKilledOrStoppedImportLeavesTheStoreAsItWasOrFullyImported) {
  const struct {
    int signal;
    std::string moment;  // the run log line the signal follows
  } rows[] = {{SIGKILL, "Deleting existing profile: 30"}, {SIGKILL, "Importing qzmap120..."},
              {SIGKILL, "End Import Logic Pack"}, {SIGTERM, "Importing qzmap100..."}, {SIGINT, "Importing qzlib100..."}};
  int stopped = 0;
  for (const auto& row : rows) {
    const std::string store = FreshStore();
    const pid_t pid = StartImport(store, "import");
    ASSERT_GT(pid, 0);
    AwaitLogLine(row.moment, pid);
    ::kill(pid, row.signal);
    const int code = WaitProgram(pid);
    SCOPED_TRACE("signal " + std::to_string(row.signal) + " after \"" + row.moment + "\"");
    EXPECT_EQ(IntegrityCheck(store), "ok");
    const StoreDump now = Dump(store);
    if (row.signal == SIGKILL) {
      EXPECT_TRUE(code == -SIGKILL || code == 0) << code;
      EXPECT_TRUE(now == shared_->before || now == shared_->after);
    } else if (code == 1) {  // stopped: rolled back, and it says so
      EXPECT_EQ(ReadFile(t_ / "import.err"), "error 9032: The import was interrupted and rolled back: the store is unchanged\n");
      EXPECT_TRUE(now == shared_->before);
      EXPECT_THAT(ReadFile(RunLog()), HasSubstr("Import rolled back: the store is unchanged."));
      ++stopped;
    } else {
      EXPECT_EQ(code, 0);  // it was done before the signal came
      EXPECT_TRUE(now == shared_->after);
    }
  }
  // A signal early in the import finds it running.
  EXPECT_GE(stopped, 1);
}

TEST_F(ImportUnitTest, AnotherProgramsWriteLockMakesTheImportGiveUpWithTheStoreUnchanged) {
  const std::string store = FreshStore();
  auto holder = store::Open(store);
  holder->BeginBatch();
  holder->Execute("delete from qzmap150");
  auto r = RunKestrel(ImportArgs(store, {"--wait", "1"}));
  holder->RollbackBatch();
  holder.reset();
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "error 9031: The store is locked by another program: " + store +
                       " (waited 1 s)\nhint: --wait SECONDS waits longer for the other program (up to 86400)\n");
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(Dump(store) == shared_->before);
}

TEST_F(ImportUnitTest, TwoImportsStartedTogetherEndAsOne) {
  const std::string store = FreshStore();
  const pid_t first = StartImport(store, "first", {"--wait", "60"});
  const pid_t second = StartImport(store, "second", {"--wait", "60"});
  EXPECT_EQ(WaitProgram(first), 0) << ReadFile(t_ / "first.err");
  EXPECT_EQ(WaitProgram(second), 0) << ReadFile(t_ / "second.err");
  EXPECT_EQ(IntegrityCheck(store), "ok");
  EXPECT_TRUE(Dump(store) == shared_->after);
}

TEST_F(ImportUnitTest, AnExportBesideAnImportReadsTheStoreBeforeOrAfterIt) {
  const std::string store = FreshStore();
  const pid_t pid = StartImport(store, "import");
  AwaitLogLine("Importing qzmap120...", pid);
  const std::string pack = ExportPack(store, t_ / "beside");
  EXPECT_EQ(WaitProgram(pid), 0);
  const std::string from_before = ComparePacks(shared_->pack, pack);
  const std::string from_after = ComparePacks(ExportPack(store, t_ / "after"), pack);
  EXPECT_TRUE(from_before.empty() || from_after.empty()) << from_before << "\n" << from_after;
}

// Another program keeps the store file locked whole (SQLite in exclusive
// locking mode: reads wait too, the first read of the schema included) or a
// table of a server store (LOCK TABLE, from a session whose own write lock is
// another schema's): import, export and check give up once --wait is over,
// with 9031 naming what they waited for and how long (never a missing
// table), and the store is unchanged.
TEST(ForeignLockTest, ImportExportAndCheckGiveUpAfterTheWait) {
  const DemoPack& demo = SharedDemoPack();
  ForEachDemoStore([&](const StoreBackend& backend, const TempFolder& t, const std::string& location) {
    const StoreDump before = DumpStore(location);
    // What each holder locks, and the statements of the connection (to `held_at`) that hold it.
    std::vector<std::pair<std::string, std::vector<std::string>>> holders;
    std::string held_at = location;
    if (backend.name == "Sqlite") {
      holders.push_back({location, {"pragma locking_mode=exclusive", "begin exclusive"}});
    } else {
      held_at = PostgresTestServer();
      const std::string schema = location.substr(location.find("search_path%3D") + 14);
      // A statement that joins tables names them all.
      for (const std::string table : {"qzmap100", "qzmap120"})
        holders.push_back({table, {"begin", "lock table " + schema + "." + table + " in access exclusive mode"}});
    }
    const std::vector<std::vector<std::string>> commands = {
        {"import", demo.pack, "--store", location, "--registry", demo.registry, "--replace", "--wait", "1"},
        {"export", "--store", location, "--profile", "30", "--revisions", "--root", t.path(), "--wait", "1"},
        {"check", demo.pack, "--store", location, "--registry", demo.registry, "--wait", "1"},
    };
    for (const auto& [locked, statements] : holders) {
      for (const auto& args : commands) {
        SCOPED_TRACE(locked + ": " + args[0]);
        auto held = store::Open(held_at);
        for (const std::string& statement : statements) held->Execute(statement);
        const auto started = std::chrono::steady_clock::now();
        const RunResult r = RunKestrel(args);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        held.reset();
        EXPECT_EQ(r.exit_code, 1) << r.err;
        EXPECT_THAT(r.err, ::testing::StartsWith("error 9031: The store is locked by another program: "));
        EXPECT_THAT(r.err, HasSubstr(locked));
        EXPECT_THAT(r.err, HasSubstr(store::MaskedLocation(location) + " (waited 1 s)\n"));
        // Refused once the second is over, not after a wait of its own.
        EXPECT_LT(seconds, 1 + 20);
        EXPECT_TRUE(DumpStore(location) == before);
      }
    }
  });
}

}  // namespace
}  // namespace kestrel::testing
