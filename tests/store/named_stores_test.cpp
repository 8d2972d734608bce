// Named stores: which of the three stores files gives a name, how strictly a
// file is read (every bad line named by file and line, no secret quoted),
// and that an existing file or folder always wins over a name.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/errors_ours.h"
#include "kestrel/named_stores.h"
#include "kestrel/store.h"
#include "support/error_of.h"
#include "support/fault_env.h"
#include "support/temp_folder.h"

namespace kestrel::store {
namespace {

using kestrel::testing::CaughtFrom;
using kestrel::testing::TempFolder;
using kestrel::testing::WriteFile;

// The process's files, but for the machine's stores file, which lives in
// the test's folder, and the variables the test gives.
class StoresEnv : public kestrel::testing::FaultEnv {
 public:
  explicit StoresEnv(std::string system_file) : system_(std::move(system_file)) {}
  bool FileExists(const std::string& p) override { return FaultEnv::FileExists(Mapped(p)); }
  bool FolderExists(const std::string& p) override { return FaultEnv::FolderExists(Mapped(p)); }
  EntryKind KindOf(const std::string& p) override { return FaultEnv::KindOf(Mapped(p)); }
  std::unique_ptr<SequentialFile> OpenForReading(const std::string& p) override {
    return FaultEnv::OpenForReading(Mapped(p));
  }

 private:
  std::string Mapped(const std::string& p) const { return p == kSystemStoresFile ? system_ : p; }
  std::string system_;
};

struct Files {
  std::optional<std::string> chosen, user, system;  // contents; nullopt: no such file
};

struct StoresSetup {
  TempFolder t;
  StoresEnv env{t / "etc/stores.ini"};
  explicit StoresSetup(const Files& f) {
    env.SetVariable("HOME", t / "home");
    if (f.chosen) { WriteFile(t / "chosen.ini", *f.chosen); env.SetVariable("KESTREL_STORES", t / "chosen.ini"); }
    if (f.user) WriteFile(t / "home/.config/kestrel/stores.ini", *f.user);
    if (f.system) WriteFile(t / "etc/stores.ini", *f.system);
  }
};

TEST(NamedStoresTest, TheFirstFileThatGivesANameWins) {
  const std::string uri = "postgresql://kestrel:pw@db.example/profiles";
  // `location`: what is opened; `from`: the file that gave it ("": not a name).
  const struct { Files files; std::string given, location, from; int line; } rows[] = {
      // Each file alone.
      {{"dev = /srv/dev.db\n", {}, {}}, "dev", "/srv/dev.db", "chosen.ini", 1},
      {{{}, "# mine\n\ndev=/srv/u.db\n", {}}, "dev", "/srv/u.db", "home/.config/kestrel/stores.ini", 3},
      {{{}, {}, "; machine\nprod = " + uri + "\r\n"}, "prod", uri, "/etc/kestrel/stores.ini", 2},
      // $KESTREL_STORES before the user's file before the machine's.
      {{"dev = /a.db\n", "dev = /b.db\n", "dev = /c.db\n"}, "dev", "/a.db", "chosen.ini", 1},
      {{{}, "dev = /b.db\n", "dev = /c.db\n"}, "dev", "/b.db", "home/.config/kestrel/stores.ini", 1},
      // Names are merged: one a later file alone gives is still found.
      {{"dev = /a.db\n", "x = /x.db\n", "prod = /p.db\n"}, "prod", "/p.db", "/etc/kestrel/stores.ini", 1},
      // ~/ is the home folder; names are matched with regard to case.
      {{"dev = ~/stores/dev.db\n", {}, {}}, "dev", "HOME/stores/dev.db", "chosen.ini", 1},
      {{"dev = /a.db\n", {}, {}}, "DEV", "DEV", "", 0},
      // Not of a name's shape, or no such name: the text as it is.
      {{"dev = /a.db\n", {}, {}}, "dev.db", "dev.db", "", 0},
      {{"dev = /a.db\n", {}, {}}, "./dev", "./dev", "", 0},
      {{"dev = /a.db\n", {}, {}}, "test", "test", "", 0},
      {{"dev = /a.db\n", {}, {}}, "dbname=dev", "dbname=dev", "", 0},
  };
  for (const auto& row : rows) {
    StoresSetup s(row.files);
    const auto at = [&](std::string p) { return p.empty() || p[0] == '/' ? p : s.t / p; };
    std::string expected = row.location;
    if (expected.rfind("HOME/", 0) == 0) expected = s.t / "home/" + expected.substr(5);
    const ResolvedStore r = ResolveStoreLocation(s.env, row.given);
    EXPECT_EQ(r.location, expected) << row.given;
    EXPECT_FALSE(r.passed_over);
    ASSERT_EQ(r.named.has_value(), !row.from.empty()) << row.given;
    if (r.named) {
      EXPECT_EQ(r.named->place.file, at(row.from)) << row.given;
      EXPECT_EQ(r.named->place.line, row.line) << row.given;
    }
  }
  // What `kestrel stores` lists: every name once, and what it overrides.
  StoresSetup s({"dev = /a.db\n", "dev = /b.db\nqa=/q.db\n", "qa = /c.db\ndev = /d.db\n"});
  const std::vector<NamedStore> all = NamedStores(s.env);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "dev");
  ASSERT_EQ(all[0].overrides.size(), 2u);
  EXPECT_EQ(all[0].overrides[0].file, s.t / "home/.config/kestrel/stores.ini");
  EXPECT_EQ(all[0].overrides[1].line, 2);
  EXPECT_EQ(all[1].location, "/q.db");
  EXPECT_EQ(all[1].overrides.size(), 1u);
}

// A name is looked up as a path from the folder the program runs in, which
// the test makes its own folder for the moment.
struct InFolder {
  explicit InFolder(const std::string& folder) : before(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(before); }
  std::filesystem::path before;
};

TEST(NamedStoresTest, AnExistingFileOrFolderWinsOverAName) {
  TempFolder t;
  StoresEnv env(t / "none.ini");
  WriteFile(t / "stores.ini", "taken = /srv/taken.db\nfolder = /srv/f.db\nfree = /srv/free.db\n");
  env.SetVariable("KESTREL_STORES", t / "stores.ini");
  WriteFile(t / "taken", "");
  std::filesystem::create_directory(t / "folder");
  const InFolder here(t.path());
  for (const std::string name : {"taken", "folder"}) {
    const ResolvedStore r = ResolveStoreLocation(env, name);
    EXPECT_EQ(r.location, name);
    EXPECT_TRUE(r.passed_over) << name;
    ASSERT_TRUE(r.named);
    EXPECT_EQ(r.named->location, "/srv/" + std::string(name == "taken" ? "taken" : "f") + ".db");
  }
  const ResolvedStore free = ResolveStoreLocation(env, "free");
  EXPECT_EQ(free.location, "/srv/free.db");
  EXPECT_FALSE(free.passed_over);
}

TEST(NamedStoresTest, ABadLineIsNamedByFileAndLineWithoutItsText) {
  const std::string secret = "hunter2";
  const struct { std::string content; int line; std::string what; } rows[] = {
      {"# ok\n[stores]\ndev = /a.db\n", 2, "sections are not used: every entry is NAME = LOCATION"},
      {" = /a.db\n", 1, "no name before '='"},
      {"dev =\n", 1, "no location after '='"},
      {"my store = /a.db\n", 1, "the name before '=' is not a store name (letters, digits, - and _)"},
      {"-dev = /a.db\n", 1, "the name before '=' is not a store name (letters, digits, - and _)"},
      {"prod.db = /a.db\n", 1, "the name before '=' is not a store name (letters, digits, - and _)"},
      {"dev = dev.db\n", 1,
       "the location is neither an absolute path, ~/PATH nor a server location (postgresql://...)"},
      {"dev = " + secret + "\n", 1,
       "the location is neither an absolute path, ~/PATH nor a server location (postgresql://...)"},
      {"dev = /a.db\r\nqa = /b.db\r\ndev = postgresql://u:" + secret + "@h/db\r\n", 3,
       "the name dev is given on line 1 already"},
      {"dev = /a\rb.db\n", 1, "a CR inside the line"},
      {std::string("dev = /a\0.db\n", 13), 1, "the line holds a NUL byte"},
  };
  for (const auto& row : rows) {
    StoresSetup s({row.content, {}, {}});
    const ComError e = CaughtFrom([&] { ResolveStoreLocation(s.env, "dev"); });
    EXPECT_EQ(e.number(), Number(Ours::StoresFileLine)) << row.content;
    EXPECT_EQ(e.description(), "A line of a stores file is not NAME = LOCATION: " + (s.t / "chosen.ini") +
                                   ", line " + std::to_string(row.line) + ": " + row.what);
    EXPECT_EQ(e.description().find(secret), std::string::npos);
  }
  // The machine's file is read strictly too, whichever file gives the name.
  StoresSetup s({"dev = /a.db\n", {}, "dev = /b.db\npostgresql://u:" + secret + "@h/db\n"});
  EXPECT_EQ(CaughtFrom([&] { ResolveStoreLocation(s.env, "dev"); }).description(),
            "A line of a stores file is not NAME = LOCATION: /etc/kestrel/stores.ini, line 2: no '=' after the name");
}

TEST(NamedStoresTest, AStoresFileThatCannotBeReadIsNamed) {
  TempFolder t;
  StoresEnv env(t / "etc.ini");
  env.SetVariable("KESTREL_STORES", t / "missing.ini");
  EXPECT_EQ(CaughtFrom([&] { NamedStores(env); }).description(),
            "A stores file cannot be read: " + (t / "missing.ini") + ": no such file ($KESTREL_STORES names it)");
  env.SetVariable("KESTREL_STORES", t.path());
  EXPECT_EQ(CaughtFrom([&] { NamedStores(env); }).number(), Number(Ours::StoresFileUnreadable));
  // The user's and the machine's files may be missing.
  env.SetVariable("KESTREL_STORES", "");
  env.SetVariable("HOME", t / "nobody");
  EXPECT_TRUE(NamedStores(env).empty());
}

}  // namespace
}  // namespace kestrel::store
