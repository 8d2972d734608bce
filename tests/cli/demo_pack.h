// The command-line tests' common ground: an installation recorded in a
// registry file, the demo store and its grandchild's chain pack with
// revisions, made once per test program; copies of them for a test to
// damage; the edits that damage a pack; and a run's JSON. Callers never
// change the originals, only copies.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "store/backends.h"
#include "support/run_kestrel.h"
#include "support/temp_folder.h"

namespace kestrel::testing {

// What the command line's tests all use.
using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;
using Json = nlohmann::json;

struct DemoPack {
  TempFolder folder;
  std::string install, registry, store, pack;
};

// The pack of profile 30 of `store` (the demo's grandchild) that an export
// with `options` writes below `root`, made first: its folder, the first line
// the export prints.
inline std::string ExportPack(const std::string& store, const std::string& root,
                              const std::vector<std::string>& options = {"--revisions"}) {
  std::filesystem::create_directories(root);
  std::vector<std::string> args = {"export", "--store", store, "--profile", "30", "--root", root};
  args.insert(args.end(), options.begin(), options.end());
  const RunResult r = RunKestrel(args);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return r.out.substr(0, r.out.find('\n'));
}

inline const DemoPack& SharedDemoPack() {
  static DemoPack* demo = [] {
    auto* d = new DemoPack;
    d->install = d->folder / "lumo";
    d->registry = d->folder / "registry.ini";
    d->store = d->folder / "demo.db";
    EXPECT_EQ(RunKestrel({"setup", "--install-dir", d->install, "--registry", d->registry}).exit_code, 0);
    EXPECT_EQ(RunKestrel({"demo-store", d->store}).exit_code, 0);
    d->pack = ExportPack(d->store, d->folder / "export");
    return d;
  }();
  return *demo;
}

// Runs `test` once for every store backend this machine has, on a demo store
// the command line made at `location` in the fresh folder `t`; a backend it
// cannot run on is named, with why.
inline void ForEachDemoStore(
    const std::function<void(const StoreBackend& backend, const TempFolder& t, const std::string& location)>& test) {
  for (const StoreBackend& backend : AllStoreBackends()) {
    SCOPED_TRACE(backend.name);
    if (const std::string why = backend.unavailable(); !why.empty()) {
      std::cout << "not run on " << backend.name << ": " << why << "\n";
      continue;
    }
    TempFolder t;
    const std::string location = backend.location(t.path());
    ASSERT_EQ(RunKestrel({"demo-store", "--store", location}).exit_code, 0);
    test(backend, t, location);
  }
}

// Copies of the pack, the store and the registry file in `folder`.
struct Copies {
  std::string pack, store, registry;
};

inline Copies CopyDemo(const std::string& folder) {
  const DemoPack& d = SharedDemoPack();
  const Copies c{folder + "/pack", folder + "/store.db", folder + "/registry.ini"};
  std::filesystem::create_directories(folder);
  std::filesystem::copy(d.pack, c.pack);
  std::filesystem::copy_file(d.store, c.store);
  std::filesystem::copy_file(d.registry, c.registry);
  return c;
}

inline void Prepend(const std::string& path, const std::string& front) { WriteFile(path, front + ReadFile(path)); }

// What a run of kestrel that is to succeed (`args` asking for --json) wrote.
inline nlohmann::json KestrelJson(const std::vector<std::string>& args,
                                  const std::map<std::string, std::optional<std::string>>& env = {}) {
  const RunResult r = RunKestrel(args, env);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return nlohmann::json::parse(r.out);
}

}  // namespace kestrel::testing
