// The one way tests make a profile store: empty with the schema, filled as
// the demo data generator fills it, or holding another store's codes and
// users as `init-store --shared-from` makes it; then the rows a test needs,
// by column name or through the helpers for profiles, applications, mapping
// objects, rules and revisions; and reading back (counts, sorted rows, a dump
// of every row for "nothing changed" comparisons).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/value.h"
#include "store/connection.h"
#include "support/store_dump.h"

namespace kestrel::testing {

// Column -> value pairs of one row.
using Named = std::vector<std::pair<std::string, Value>>;

struct TestVrc {
  std::string vers, rele, cust;
};

struct TestProfile {
  int mprf = 0;
  std::string sapp, tapp;
  TestVrc vrc;
  std::optional<TestVrc> base;           // nullopt: a root profile (NULL verf, relf, cusf)
  std::string scme = "N";
  std::optional<std::string> owner = "jmartin";  // stored enciphered; nullopt stores NULL
};

struct TestObject {
  std::string pac, mod, flno;
  std::string Name() const { return pac + mod + flno; }
};

class StoreBuilder {
 public:
  // A new store at `path` (which must not exist) holding the empty schema.
  static StoreBuilder Empty(const std::string& path);
  // A new store at `path` filled with the demo data at `scale`.
  static StoreBuilder Demo(const std::string& path, int scale = 1);
  // A new store at `path` with the smallest chain an export can fold: the
  // applications BAS and EXT (an extension), the EXT object AR/CUST/010, the
  // root profile `root` (VRC X40) holding one qzmap120 rule `rule` for it, and
  // its child `child` (development VRC X41U, based on X40) holding none.
  static StoreBuilder RootAndChild(const std::string& path, int root, int child, const std::string& rule);
  // A new store at `path` holding the codes and users of `other`.
  static StoreBuilder SharedWith(const std::string& path, store::Connection& other);
  // Rows added to a store that exists already.
  explicit StoreBuilder(std::shared_ptr<store::Connection> c) : conn_(std::move(c)) {}

  const std::shared_ptr<store::Connection>& connection() const { return conn_; }
  store::Connection& operator*() const { return *conn_; }
  store::Connection* operator->() const { return conn_.get(); }

  void Exec(const std::string& sql) const { conn_->Execute(sql); }

  // Adds one row, the columns not named left to the table's defaults.
  void Add(std::string_view table, const Named& values) const;
  // Adds `count` rows, the i-th from make(i), in one batch.
  template <class Make>
  void AddMany(std::string_view table, int count, Make make) const {
    store::Batch batch(*conn_);
    for (int i = 0; i < count; ++i) Add(table, make(i));
    batch.Commit();
  }

  // qzddi100 with `extn`, and one row in each table its kind exports besides
  // the mapping objects: base (0) qzddi101, qzlgy141, qzlgy150; extension (1)
  // qzddi150 ... qzddi230.
  void AddApplication(const std::string& appl, int extn) const;
  // A mapping object in qzlgy140 (base) or qzddi140 (extension).
  void AddObject(const std::string& appl, int extn, const TestObject& o) const;
  // The header row and the chain rows (levels from the given ancestors,
  // nearest first).
  void AddProfile(const TestProfile& p, const std::vector<const TestProfile*>& ancestors = {}) const;
  void AddDevelopmentVrc(const TestProfile& p, const TestVrc& dev) const;
  // One qzmap120 row; `text` goes into prtx so that tests can tell rows apart.
  void AddRule120(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                  std::optional<std::string> logn = std::nullopt, std::optional<std::string> isms = "1") const;
  // One row in each of qzmap130, qzmap140, qzmap160 and qzmap170 (`text` in
  // their block columns).
  void AddOtherRules(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text) const;
  // One row in each revision table: qzmap110 (NULL sdat when asked),
  // qzmap125, qzmap135, qzmap145, qzmap165, qzmap175.
  void AddRevisions(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                    bool null_sdat = false) const;
  // Only the qzmap110 row, or only the revision rows without it.
  void AddRevisionInfo(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                       bool null_sdat = false) const;
  void AddRevisionTwins(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text) const;

  // The first column of the first row of a select, as a whole number.
  int64_t Count(const std::string& select) const;
  // The rows of a select, each value as text ("NULL" for NULL), sorted, so
  // that no test depends on the order the store returns them in.
  std::vector<std::vector<std::string>> Rows(const std::string& select) const;
  // Every table, index and row (support/store_dump.h).
  StoreDump Dump(bool decipher_owners = false) const { return DumpStore(*conn_, decipher_owners); }

 private:
  std::shared_ptr<store::Connection> conn_;
};

}  // namespace kestrel::testing
