// What the import tests share: a temporary installation folder, the parts a
// clsImport holds pointed at a new empty store for tests that call the
// import's steps themselves, the demo store and packs of it written by
// clsExport, a clsImport on a store, plans built from rows, and the run log's
// messages. The Env handed to NewImport must outlive the import.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "importer/planned_pack.h"
#include "importer/selection.h"
#include "kestrel/cls_export.h"
#include "kestrel/cls_import.h"
#include "kestrel/registry.h"
#include "kestrel/run_log_text.h"
#include "support/fault_env.h"
#include "support/store_builder.h"
#include "support/temp_folder.h"

namespace kestrel::testing {

// What a clsImport holds, and the Env its context reaches the system through.
struct ImportParts {
  FaultEnv env;
  importer::ImportOptions o;
  importer::ImportContext cx{env};
  importer::ImportResults r;
  importer::PlannedPack Planned() const { return importer::PlannedPackOf(o, r); }
};

// One plan entry: the pack's profile, the number and parent chosen, the
// applications in the pack and as chosen; none has a development VRC ("__").
struct PlanRow {
  int32_t source, target, target_parent = 0;
  std::string sapp = "LGA", tapp = "EXB", target_sapp = "LGA", target_tapp = "EXB";
};

inline importer::ImportPlan MakePlan(const std::vector<PlanRow>& rows) {
  importer::ImportPlan p;
  for (const auto& e : rows)
    p.Entries.push_back({{e.source, 0, e.sapp, e.tapp}, {e.target, e.target_parent, e.target_sapp, e.target_tapp}});
  return p;
}

// Rows as a row file holds them: fields joined by `separator`, CR LF after each.
inline std::string RowLines(const std::vector<std::vector<std::string>>& rows, const std::string& separator = "\x01") {
  std::string out;
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) out += (i ? separator : "") + row[i];
    out += "\r\n";
  }
  return out;
}

class ImportFixture : public ::testing::Test {
 protected:
  // Runs one procedure of the import; the Failure it raises goes into the
  // parts' error state as the driving calls record it. False when it raised.
  template <class Step>
  bool Recorded(Step&& step) {
    try {
      step();
      return true;
    } catch (const Failure& e) {
      s_->r.Error.Set(e);
      return false;
    }
  }

  void SetUp() override {
    install_ = t_ / "install";
    std::filesystem::create_directories(install_ + "/LumoStudio/tmp");
    WriteFile(t_ / "registry.ini", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Tresk\\Tresk2.0]\nPath=" + install_ + "\n");
    registry_ = std::make_shared<RegistryFile>(Env::Default(), t_ / "registry.ini");
    Fresh("store");
  }
  // New parts in s_, pointed at the installation folder, its run log, a new
  // empty store `name`.db in store_ and an empty pack folder beside it.
  void Fresh(const std::string& name) {
    s_ = std::make_unique<ImportParts>();
    store_.emplace(StoreBuilder::Empty(t_ / (name + ".db")));
    s_->o.Path = (*store_)->location() + ".pack";
    std::filesystem::create_directories(s_->o.Path);
    s_->cx.InstallationPath = install_;
    s_->cx.ImportLogPath = LogPath();
    s_->cx.RunLog = AppendRunLog;
    s_->cx.DataConnection = store_->connection();
    s_->cx.RegistryComponent = registry_;
  }

  // The demo store, made on first use.
  StoreBuilder& Demo() { return demo_ ? *demo_ : demo_.emplace(StoreBuilder::Demo(t_ / "demo.db")); }

  // Writes a pack of the store below a root of its own; returns its folder.
  std::string Export(const StoreBuilder& from, int16_t profile) {
    const std::string root = t_ / ("export-" + std::to_string(++exports_));
    std::filesystem::create_directories(root);
    Kestrel20ImpExp::clsExport e;
    e.putref_DataConnection(from.connection());
    e.put_Path(root);
    e.put_MigrationProfileTobeExported(profile);
    e.put_ExportRevisionInformation(true);
    if (!e.ExportMigrationProfiles()) ADD_FAILURE() << "export failed: " << e.get_ErrorDescription();
    return e.PackFolder();
  }

  std::unique_ptr<Kestrel20ImpExp::clsImport> NewImport(const StoreBuilder& into, const std::string& pack,
                                                        Env& env = Env::Default()) {
    auto i = std::make_unique<Kestrel20ImpExp::clsImport>(env, registry_);
    i->putref_DataConnection(into.connection());
    i->put_Path(pack);
    i->put_LastModifiedUser("importer");
    i->put_DatabaseName(into->location());
    i->put_DatabaseServer("local");
    return i;
  }
  // The pack's proposal with `targets` (entries joined by character 1) as the
  // target list, or without its markers (every profile under its own number).
  static std::string Selection(Kestrel20ImpExp::clsImport& i, const std::vector<std::string>& targets = {}) {
    std::string proposal;
    EXPECT_TRUE(i.ShowLogicPackDetails(proposal)) << i.get_ErrorDescription();
    if (!targets.empty()) return proposal.substr(0, proposal.find('\r')) + "\r" + importer::JoinList(targets);
    std::erase(proposal, '*');
    return proposal;
  }
  // Application data then goes the batch-file way.
  void UseBatchPath() const { WriteFile(install_ + "/LumoStudio/bin/LumoConfig.ini", "[Lumo]\r\nIIS=5\r\n"); }

  std::string LogPath() const { return install_ + "/LumoStudio/tmp/importmr.log"; }
  // The run log's messages without the date and time in front (the log
  // at `path` when one is given).
  std::vector<std::string> Log(const std::string& path = "") const {
    std::vector<std::string> out;
    const std::string all = ReadFile(path.empty() ? LogPath() : path);
    for (size_t start = 0, end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2)
      out.push_back(end - start >= 20 ? all.substr(start + 20, end - start - 20) : all.substr(start, end - start));
    return out;
  }
  void ClearLog() const { std::filesystem::remove(LogPath()); }

  TempFolder t_;
  std::string install_;
  std::shared_ptr<Registry> registry_;
  std::unique_ptr<ImportParts> s_;
  std::optional<StoreBuilder> store_;
  std::optional<StoreBuilder> demo_;
  int exports_ = 0;
};

}  // namespace kestrel::testing
