// What the whole-import tests share: the demo store, packs exported from it
// by Kestrel20ImpExp::clsExport, stores to import into (empty, or with the demo store's codes
// and users), Kestrel20ImpExp::clsImport on a temporary installation folder, the run log's
// messages, and a dump of a store for "nothing changed" comparisons.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kestrel/cls_export.h"
#include "kestrel/cls_import.h"
#include "base/files.h"
#include "kestrel/variant.h"
#include "importer/selection.h"
#include "selection_fixture.h"
#include "store/connection.h"
#include "store/open.h"
#include "store/demo_data.h"
#include "store/schema.h"
#include "support/store_dump.h"
#include "support/temp_folder.h"
#include "store_views.h"

namespace kestrel::testing {

struct ExportChoice {
  int16_t profile = 30;
  bool single = false;
  bool revisions = true;
  bool traverse_parent = false;
  int16_t new_number = 0;
};

class ImportFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    install_ = t_ / "install";
    files::CreateFolders(Env::Default(), install_ + "/LumoStudio/tmp");
    demo_ = store::CreateDemoStore(t_ / "demo.db", 1);
  }

  // Writes a pack of the store below a root of its own; returns its folder.
  std::string Export(const std::shared_ptr<store::Connection>& from, const ExportChoice& choice) {
    const std::string root = t_ / ("export-" + std::to_string(++exports_));
    files::CreateFolders(Env::Default(), root);
    Kestrel20ImpExp::clsExport e;
    e.putref_DataConnection(from);
    e.put_Path(root);
    e.put_MigrationProfileTobeExported(choice.profile);
    e.put_ExportToSingleProfile(choice.single);
    e.put_ExportRevisionInformation(choice.revisions);
    e.put_traveseparent(choice.traverse_parent);
    e.put_NewProfileNumber(choice.new_number);
    if (!e.ExportMigrationProfiles()) ADD_FAILURE() << "export failed: " << e.get_ErrorDescription();
    return e.PackFolder();
  }

  // A new store holding the demo store's codes and users, as
  // `init-store --shared-from` makes it.
  std::shared_ptr<store::Connection> SharedStore(const std::string& name) {
    auto c = store::CreateStore(t_ / name);
    store::CopySharedReferenceData(*c, *demo_);
    return c;
  }

  // The import reaches the system through `env`, which must outlive it.
  std::unique_ptr<Kestrel20ImpExp::clsImport> NewImport(const std::shared_ptr<store::Connection>& into, const std::string& pack,
                                                        kestrel::Env& env = Env::Default()) {
    auto i = std::make_unique<Kestrel20ImpExp::clsImport>(env, std::make_shared<FixedRegistry>(install_));
    i->putref_DataConnection(into);
    i->put_Path(pack);
    i->put_LastModifiedUser("importer");
    i->put_DatabaseName(into->location());
    i->put_DatabaseServer("local");
    return i;
  }

  // The pack's source list, CR, and `targets` (entries joined by character 1).
  static std::string WithTargets(const std::string& proposal, const std::vector<std::string>& targets) {
    return proposal.substr(0, proposal.find('\r')) + "\r" + importer::JoinList(targets);
  }
  // The details that import every pack profile under its own number, as the
  // proposal stands without its markers.
  static std::string Unmarked(const std::string& proposal) {
    std::string out;
    for (char c : proposal)
      if (c != '*') out += c;
    return out;
  }
  std::string Proposal(Kestrel20ImpExp::clsImport& i) {
    std::string details;
    EXPECT_TRUE(i.ShowLogicPackDetails(details)) << i.get_ErrorDescription();
    return details;
  }

  // The run log's messages without the date and time in front.
  std::vector<std::string> Log() const { return RunLogMessages(install_ + "/LumoStudio/tmp/importmr.log"); }
  void ClearLog() const { std::filesystem::remove(install_ + "/LumoStudio/tmp/importmr.log"); }

  // Every row of every table (support/store_dump.h).
  static kestrel::testing::StoreDump Dump(store::Connection& c) { return kestrel::testing::DumpStore(c); }

  static int64_t Count(store::Connection& c, const std::string& select) {
    return c.OpenRecordset(select)->Fields(0).Integer();
  }

  kestrel::testing::TempFolder t_;
  std::string install_;
  std::shared_ptr<store::Connection> demo_;
  int exports_ = 0;
};

}  // namespace kestrel::testing
