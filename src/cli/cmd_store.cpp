// kestrel init-store, demo-store and counts: creating profile stores (empty,
// with another store's shared reference data, or with the demo data) and
// showing how many rows each table holds.
#include <cstdio>
#include <iostream>

#include <fmt/format.h>

#include "cli/command.h"
#include "component/error.h"
#include "component/files.h"
#include "store/open.h"
#include "store/demo_data.h"
#include "store/schema.h"

namespace kestrel::cli {
namespace {

namespace k = Kestrel20ImpExp;
namespace store = Kestrel20ImpExp::store;

// Creates a store file and fills it; a failure removes the half-made file so
// that the next attempt starts clean.
void CreateFilled(const std::string& path, const std::function<void(store::Connection&)>& fill) {
  auto c = store::CreateStore(path);
  try {
    fill(*c);
  } catch (...) {
    c.reset();
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
    throw;
  }
}

int64_t TotalRows(store::Connection& c) {
  int64_t total = 0;
  for (const auto& [table, n] : store::RowCounts(c)) total += n;
  return total;
}

Registration init_store(
    "init-store", "create an empty profile store, optionally with another store's codes and users",
    [](CLI::App& sub) {
      auto path = std::make_shared<std::string>();
      auto shared_from = std::make_shared<std::string>();
      sub.add_option("STORE", *path, "store file to create (must not exist)")->required();
      sub.add_option("--shared-from", *shared_from,
                     "store whose lookup codes (qzlgy115) and users (qzusr100) the new store receives");
      return [path, shared_from]() -> int {
        std::shared_ptr<store::Connection> other;
        if (!shared_from->empty()) other = store::Open(*shared_from);  // before creating anything
        CreateFilled(*path, [&](store::Connection& c) {
          if (other) store::CopySharedReferenceData(c, *other);
        });
        std::cout << "created " << *path << (other ? " with the shared data of " + *shared_from : std::string())
                  << '\n';
        return 0;
      };
    });

Registration demo_store("demo-store", "create a profile store filled with the demo data", [](CLI::App& sub) {
  auto path = std::make_shared<std::string>();
  auto scale = std::make_shared<int>(1);
  sub.add_option("STORE", *path, "store file to create (must not exist)")->required();
  sub.add_option("--scale", *scale, "multiplies the rule and application rows (100 gives tens of thousands)")
      ->check(CLI::Range(1, 100000));
  return [path, scale]() -> int {
    int64_t rows = 0;
    CreateFilled(*path, [&](store::Connection& c) {
      store::FillDemoStore(c, *scale);
      rows = TotalRows(c);
    });
    std::cout << "created " << *path << " with " << rows << " rows of demo data (scale " << *scale << ")\n";
    return 0;
  };
});

Registration counts("counts", "print the number of rows of every table of a profile store", [](CLI::App& sub) {
  auto path = std::make_shared<std::string>();
  sub.add_option("--store", *path, "the store file")->required();
  return [path]() -> int {
    auto c = store::Open(*path);
    int64_t total = 0;
    for (const auto& [table, n] : store::RowCounts(*c)) {
      total += n;
      std::cout << fmt::format("{:<9} {:>8}\n", table, n);
    }
    std::cout << fmt::format("{:<9} {:>8}\n", "total", total);
    return 0;
  };
});

}  // namespace
}  // namespace kestrel::cli
