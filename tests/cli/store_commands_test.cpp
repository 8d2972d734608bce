// kestrel init-store, demo-store and counts: what they create, what they
// refuse, and that a missing store is never created.
#include <gtest/gtest.h>

#include <filesystem>

#include "store/connection.h"
#include "store/open.h"
#include "store/schema.h"
#include "support/run_kestrel.h"
#include "support/temp_folder.h"

namespace {

using kestrel::testing::RunKestrel;
using kestrel::testing::TempFolder;
namespace store = kestrel::store;

int64_t CountOf(const std::string& path, const std::string& table) {
  auto c = store::Open(path);
  return c->OpenRecordset("select count(*) from " + table)->Fields(0).Integer();
}

TEST(StoreCommandsTest, DemoStoreAndCounts) {
  TempFolder t;
  auto r = RunKestrel({"demo-store", t / "demo.db"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("created " + (t / "demo.db")), std::string::npos);

  r = RunKestrel({"counts", "--store", t / "demo.db"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // One line per table, then the total.
  int lines = 0;
  for (char ch : r.out) lines += ch == '\n';
  EXPECT_EQ(lines, 32);
  EXPECT_NE(r.out.find("qzmap100         3\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("qzddi100         2\n"), std::string::npos) << r.out;

  // An existing store is not overwritten.
  r = RunKestrel({"demo-store", t / "demo.db"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "error 58: File already exists: " + (t / "demo.db") + "\n");
  EXPECT_EQ(CountOf(t / "demo.db", "qzmap100"), 3);

  // The scale multiplies; a scale of 0 is a usage error.
  r = RunKestrel({"demo-store", t / "big.db", "--scale", "4"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(CountOf(t / "big.db", "qzddi140"), 4 * CountOf(t / "demo.db", "qzddi140"));
  r = RunKestrel({"demo-store", t / "zero.db", "--scale", "0"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_FALSE(std::filesystem::exists(t / "zero.db"));
}

TEST(StoreCommandsTest, MissingStoresAreNeverCreated) {
  TempFolder t;
  auto r = RunKestrel({"counts", "--store", t / "nothing.db"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "error 53: File not found: " + (t / "nothing.db") + "\n");
  EXPECT_FALSE(std::filesystem::exists(t / "nothing.db"));

  // A missing source of shared data fails before the new store is made.
  r = RunKestrel({"init-store", t / "new.db", "--shared-from", t / "nothing.db"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "error 53: File not found: " + (t / "nothing.db") + "\n");
  EXPECT_FALSE(std::filesystem::exists(t / "new.db"));
  EXPECT_FALSE(std::filesystem::exists(t / "nothing.db"));

  r = RunKestrel({"init-store"});
  EXPECT_EQ(r.exit_code, 2);
}

TEST(StoreCommandsTest, InitStoreEmptyOrWithSharedData) {
  TempFolder t;
  auto r = RunKestrel({"init-store", t / "empty.db"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  int64_t rows = 0;
  auto empty = store::Open(t / "empty.db");
  for (auto [table, n] : store::RowCounts(*empty)) rows += n;
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(store::RowCounts(*empty).size(), 31u);

  ASSERT_EQ(RunKestrel({"demo-store", t / "demo.db"}).exit_code, 0);
  r = RunKestrel({"init-store", t / "second.db", "--shared-from", t / "demo.db"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(CountOf(t / "second.db", "qzlgy115"), CountOf(t / "demo.db", "qzlgy115"));
  EXPECT_EQ(CountOf(t / "second.db", "qzusr100"), CountOf(t / "demo.db", "qzusr100"));
  EXPECT_EQ(CountOf(t / "second.db", "qzmap100"), 0);
  EXPECT_EQ(CountOf(t / "second.db", "qzddi100"), 0);
}

}  // namespace
