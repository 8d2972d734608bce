// A store and a pack folder for the export writers' tests: a new store with
// the schema, an export context pointing at both, rows added by column name,
// and the pack's files read back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "exporter/export_context.h"
#include "exporter/export_results.h"
#include "base/value.h"
#include "store/connection.h"
#include "store/schema.h"
#include "support/temp_folder.h"

namespace kestrel::testing {

using kestrel::testing::ReadFile;
using kestrel::testing::TempFolder;
using Named = std::vector<std::pair<std::string, Value>>;

class WriterStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = store::CreateStore(tmp_ / "profiles.db");
    std::filesystem::create_directory(tmp_ / "pack");
    ctx_.DataConnection = db_;
    ctx_.PackFolder = tmp_ / "pack";
  }

  // Adds one row; returns it as a data file line holds it: every column of the
  // table in its own order, joined by character 1, NULL empty, CR LF.
  std::string Add(std::string_view table, const Named& values) {
    auto rs = OpenForAdding(table);
    std::string line = AddTo(*rs, values);
    rs->Update();
    return line;
  }

  // Adds `count` rows, the i-th from make(i), in one batch; returns their lines.
  template <class Make>
  std::vector<std::string> AddMany(std::string_view table, int count, Make make) {
    std::vector<std::string> lines;
    store::Batch batch(*db_);
    auto rs = OpenForAdding(table);
    for (int i = 0; i < count; ++i) lines.push_back(AddTo(*rs, make(i)));
    rs->Update();
    batch.Commit();
    return lines;
  }

  // An application definition.
  std::string AddApplication(std::string_view appl, Value extn, std::string_view description) {
    return Add("qzddi100", {{"appl", std::string(appl)}, {"dsca", std::string(description)},
                            {"aver", "4.2"}, {"crdt", "2024-03-18 09:30:00"}, {"extn", extn}});
  }

  std::unique_ptr<store::Recordset> OpenForAdding(std::string_view table) {
    return db_->OpenRecordset("select * from " + std::string(table) + " where 1=2", store::adOpenKeyset,
                              store::adLockOptimistic);
  }

  // Starts a new row on `rs` (saving the one before) and puts the values.
  static std::string AddTo(store::Recordset& rs, const Named& values) {
    rs.AddNew();
    for (const auto& [column, v] : values) rs.Put(column, v);
    std::string line;
    for (int i = 0; i < rs.FieldCount(); ++i) {
      if (i > 0) line += '\x01';
      for (const auto& [column, v] : values)
        if (column == rs.FieldName(i)) line += v.TextOrEmpty();
    }
    return line + "\r\n";
  }

  std::string Read(const std::string& name) const { return ReadFile(ctx_.PackFolder + "/" + name); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(ctx_.PackFolder + "/" + name); }
  std::set<std::string> PackFiles() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ctx_.PackFolder)) names.insert(entry.path().filename());
    return names;
  }

  TempFolder tmp_;
  std::shared_ptr<store::Connection> db_;
  exporter::ExportContext ctx_{Env::Default()};
  exporter::ExportResults r_;
};

}  // namespace kestrel::testing
