// Packs of the canonical demo store: every file parses back through the pack
// readers and the manifest lists exactly the files present.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "base/files.h"
#include "base/row_reader.h"
#include "exporter/export_store.h"
#include "pack/layout.h"
#include "pack/manifest.h"
#include "pack/record_reader.h"
#include "store/demo_data.h"
#include "store/schema.h"
#include "support/temp_folder.h"

namespace kestrel::testing {
namespace {

// The number of fields a row file of the pack must have.
size_t RowFieldsOf(const std::string& name) {
  if (const auto* layout = pack::RowLayoutOfFile(name)) return layout->columns.size();
  for (const auto& t : pack::kApplicationTables)
    if (name.rfind(t.table, 0) == 0) return store::FindTable(t.table)->columns.size();
  ADD_FAILURE() << "a file of no known layout: " << name;
  return 0;
}

struct ParsedPack {
  std::map<std::string, size_t> records;  // per file
  std::set<std::string> profiles;         // mprf of every rule record
};

ParsedPack ParseBack(const std::string& folder, bool for_sync) {
  ParsedPack out;
  auto listed = ListedFiles(folder);
  auto sorted = listed;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, FilesIn(folder)) << "the manifest lists exactly the files present";
  EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()).size(), listed.size()) << "each file once";
  for (const auto& name : listed) {
    SCOPED_TRACE(name);
    size_t count = 0;
    if (const auto* layout = pack::TaggedLayoutOfFile(name)) {
      pack::ReadOptions options;
      options.for_sync = for_sync;
      pack::TaggedRecordReader in(*layout, files::TextReader::Open(Env::Default(), files::Join(folder, name)), options);
      pack::TaggedRecord r;
      const int mprf = layout->IndexOf("mprf");
      while (in.Next(r)) {
        ++count;
        if (mprf >= 0) out.profiles.insert(r.Text(static_cast<size_t>(mprf)));
      }
    } else {
      auto in = files::RowReader::Open(Env::Default(), files::Join(folder, name), RowFieldsOf(name));
      while (in->Next()) ++count;
    }
    out.records[name] = count;
  }
  pack::ManifestOptions options;
  EXPECT_TRUE(pack::ReadLogicPackManifest(Env::Default(), folder, options));
  EXPECT_EQ(options.applications,
            store::Demo().base_appl + "|" + store::Demo().extension_appl);
  return out;
}

class DemoPack : public ::testing::Test {
 protected:
  void SetUp() override {
    connection = store::CreateDemoStore(folder / "demo.db", 1);
    root = folder / "packs";
    files::CreateFolder(Env::Default(), root);
  }
  std::unique_ptr<Kestrel20ImpExp::clsExport> Export(const store::DemoProfile& p, bool single) {
    auto e = std::make_unique<Kestrel20ImpExp::clsExport>();
    e->putref_DataConnection(connection);
    e->put_MigrationProfileTobeExported(static_cast<int16_t>(p.mprf));
    e->put_Path(root);
    e->put_ExportToSingleProfile(single);
    e->put_ExportRevisionInformation(true);
    e->put_traveseparent(true);
    return e;
  }
  kestrel::testing::TempFolder folder;
  std::shared_ptr<store::Connection> connection;
  std::string root;
};

TEST_F(DemoPack, SingleProfilePackOfTheGrandchildParsesBack) {
  const auto& grandchild = store::Demo().profiles.at(2);
  auto e = Export(grandchild, true);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  auto parsed = ParseBack(e->PackFolder(), false);
  EXPECT_EQ(parsed.records.at("Qzmap100.dat"), 1u);
  EXPECT_GT(parsed.records.at("Qzmap120.dat"), 0u);
  EXPECT_GT(parsed.records.at("Qzmap110.dat"), 0u);
  // Rules inherited from every level come as the grandchild's; the library
  // keeps each function's own profile.
  parsed.profiles.erase(std::to_string(grandchild.mprf));
  for (const auto& p : parsed.profiles) {
    bool in_chain = false;
    for (const auto& d : store::Demo().profiles) in_chain |= std::to_string(d.mprf) == p;
    EXPECT_TRUE(in_chain) << p;
  }
}

TEST_F(DemoPack, ChainPackOfTheGrandchildParsesBack) {
  const auto& grandchild = store::Demo().profiles.at(2);
  auto e = Export(grandchild, false);
  ASSERT_TRUE(e->ExportMigrationProfiles()) << e->get_ErrorDescription();
  auto parsed = ParseBack(e->PackFolder(), false);
  EXPECT_EQ(parsed.records.at("Qzmap100.dat"), 3u);
  EXPECT_EQ(parsed.records.at("Qzmap105.dat"), 3u);
  std::set<std::string> chain;
  for (const auto& d : store::Demo().profiles) chain.insert(std::to_string(d.mprf));
  EXPECT_EQ(parsed.profiles, chain) << "rules of all three profiles, each under its own number";
}

}  // namespace
}  // namespace kestrel::testing
