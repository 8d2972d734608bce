// kestrel init-store, demo-store and counts: creating profile stores (empty,
// with another store's shared reference data, or with the demo data) and
// showing how many rows each table holds.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "command.h"
#include "output.h"
#include "shared_options.h"
#include "kestrel/store.h"

namespace kestrel::cli {
namespace {

// Creates a store and fills it; a failure removes the half-made store so that
// the next attempt starts clean. (The engine creates stores with the demo
// data so; it has no call that copies another store's shared data.)
void CreateFilled(const std::string& path, const std::function<void(kestrel::store::Connection&)>& fill) {
  auto c = kestrel::store::CreateStore(path);
  try {
    fill(*c);
  } catch (...) {
    c.reset();
    try {
      kestrel::store::DiscardNewStore(path);
    } catch (...) {
    }
    throw;
  }
}

struct InitStoreOptions {
  std::string path;
  std::string shared_from;
};

void DeclareInitStoreOptions(CLI::App& sub, InitStoreOptions& o) {
  AddNewStoreArgument(sub, o.path);
  sub.add_option("--shared-from", o.shared_from,
                 "store whose lookup codes (qzlgy115) and users (qzusr100) the new store receives")
      ->type_name("STORE");
}

int RunInitStore(const InitStoreOptions& o) {
  // The source of the shared data is opened before anything is created.
  std::shared_ptr<kestrel::store::Connection> other;
  if (!o.shared_from.empty()) other = OpenStore(o.shared_from).Connection();
  const std::string path = ResolveStore(o.path);
  CreateFilled(path, [&](kestrel::store::Connection& c) {
    if (other) kestrel::store::CopySharedReferenceData(c, *other);
  });
  std::cout << "created " << kestrel::store::MaskedLocation(path)
            << (other ? " with the shared data of " + kestrel::store::MaskedLocation(o.shared_from) : std::string())
            << '\n';
  return 0;
}

struct DemoStoreOptions {
  std::string path;
  int scale = 1;
};

void DeclareDemoStoreOptions(CLI::App& sub, DemoStoreOptions& o) {
  AddNewStoreArgument(sub, o.path);
  sub.add_option("--scale", o.scale, "multiplies the rule and application rows (100 gives tens of thousands)")
      ->check(CLI::Range(1, 100000))
      ->type_name("N");
}

int RunDemoStore(const DemoStoreOptions& o) {
  int64_t rows = 0;
  const std::string path = ResolveStore(o.path);
  for (const kestrel::TableCount& count : kestrel::Store::Create(path, o.scale).Counts()) rows += count.rows;
  std::cout << "created " << kestrel::store::MaskedLocation(path) << " with " << rows
            << " rows of demo data (scale " << o.scale << ")\n";
  return 0;
}

struct CountsOptions {
  std::string store;
  bool json = false;
};

void DeclareCountsOptions(CLI::App& sub, CountsOptions& o) {
  AddStoreOption(sub, o.store, "the store");
  AddJsonFlag(sub, o.json, "print the counts as JSON: {\"tables\": {TABLE: ROWS}, \"total\": ROWS}");
}

int RunCounts(const CountsOptions& o) {
  int64_t total = 0;
  Json tables = Json::object();
  std::vector<std::vector<std::string>> rows;
  for (const auto& [table, n] : OpenStore(o.store).Counts()) {
    total += n;
    tables[table] = n;
    rows.push_back({table, std::to_string(n)});
  }
  rows.push_back({"total", std::to_string(total)});
  if (o.json)
    PrintJson(std::cout, Json{{"tables", tables}, {"total", total}});
  else
    PrintTable(std::cout, rows, {1});
  return 0;
}

const Registration kInitStore{"init-store",
                              "create an empty profile store, optionally with another store's codes and users",
                              DeclareInitStoreOptions, RunInitStore};

const Registration kDemoStore{"demo-store", "create a profile store filled with the demo data",
                              DeclareDemoStoreOptions, RunDemoStore};

const Registration kCounts{"counts", "print the number of rows of every table of a profile store",
                           DeclareCountsOptions, RunCounts};

}  // namespace
}  // namespace kestrel::cli
