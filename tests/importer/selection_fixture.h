// What the pack-details, verification and import-driver tests share: a
// clsImport on a temporary installation folder, a profile store with the
// schema, and a pack folder that each test fills with the files it needs.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "kestrel/cls_import.h"
#include "base/files.h"
#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "kestrel/registry.h"
#include "base/value.h"
#include "importer/selection.h"
#include "pack/row_writer.h"
#include "store/connection.h"
#include "store/open.h"
#include "store/schema.h"
#include "support/temp_folder.h"
#include "store_views.h"

namespace kestrel::testing {

// A registry that names one installation folder.
class FixedRegistry : public Registry {
 public:
  explicit FixedRegistry(std::string folder) : folder_(std::move(folder)) {}
  bool GetKeyValue(uint32_t, const std::string&, const std::string& value_name, std::string& data) override {
    if (value_name != "Path") return false;
    data = folder_;
    return true;
  }

 private:
  std::string folder_;
};

// "a|b|c" from the fields of an entry.
inline std::string Entry(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) out += (i ? "|" : "") + fields[i];
  return out;
}

// Source list, CR, target list.
inline std::string Details(const std::vector<std::string>& sources, const std::vector<std::string>& targets) {
  return importer::JoinList(sources) + "\r" + importer::JoinList(targets);
}

class SelectionFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    install_ = tmp_ / "install";
    files::CreateFolders(Env::Default(), install_ + "/LumoStudio/tmp");
    store_ = store::Create(tmp_ / "store.db");
    store::CreateSchema(*store_);
    auto registry = std::make_shared<FixedRegistry>(install_);
    object_ = std::make_unique<Kestrel20ImpExp::clsImport>(registry);
    object_->putref_DataConnection(store_);
    pack_ = tmp_ / "pack";
    files::CreateFolder(Env::Default(), pack_);
    object_->put_Path(pack_);

    options_.Path = pack_;
    context_.DataConnection = store_;
    context_.RegistryComponent = registry;
    context_.InstallationPath = install_;
    context_.ImportLogPath = install_ + "/LumoStudio/tmp/importmr.log";
  }

  Kestrel20ImpExp::clsImport& Object() { return *object_; }
  // What a clsImport on the same installation, store and pack works with, for
  // the tests that call the import's steps themselves.
  const importer::ImportOptions& Options() const { return options_; }
  const importer::ImportContext& Context() const { return context_; }
  importer::ImportResults& Results() { return results_; }
  ErrorState& Error() { return results_.Error; }
  store::Connection& Store() { return *store_; }
  const std::string& PackFolder() const { return pack_; }

  // --- the store --------------------------------------------------------
  void StoreApplication(const std::string& appl, int extn) {
    store_->Execute("insert into qzddi100 (appl, extn) values ('" + appl + "', " + std::to_string(extn) + ")");
  }
  // A profile with its chain rows: itself at level 1, its parent at level 2.
  void StoreProfile(int mprf, const std::string& sapp, const std::string& tapp, int parent = 0) {
    const std::string n = std::to_string(mprf);
    store_->Execute("insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, deph) values (" + n + ", '" + sapp +
                    "', '" + tapp + "', 'X" + n + "', 'c', 'ab1', " + (parent ? "2" : "1") + ")");
    store_->Execute("insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values (" + n + ", 1, 'X" + n +
                    "', 'c', 'ab1', " + n + ")");
    if (parent)
      store_->Execute("insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values (" + n + ", 2, 'X" +
                      std::to_string(parent) + "', 'c', 'ab1', " + std::to_string(parent) + ")");
  }

  // --- the pack ---------------------------------------------------------
  // A row file of the pack, written by the pack's row writer.
  void WriteRows(const std::string& name, const std::vector<std::vector<std::string>>& rows, size_t width) {
    auto out = files::TextWriter::Create(Env::Default(), files::Join(pack_, name));
    pack::RowWriter writer(width, *out);
    for (const auto& row : rows) {
      std::vector<Value> values(row.begin(), row.end());
      writer.Write(values);
    }
    out->Close();
  }
  // An 18-field header line of "Qzmap100.dat".
  static std::vector<std::string> Header(int mprf, const std::string& sapp, const std::string& tapp) {
    const std::string n = std::to_string(mprf);
    return {n, sapp, tapp, "X" + n, "c", "ab1", "", "", "", "Profile " + n, "Y", "1", "owner", "", "", "", "",
            "apln"};
  }
  // A six-field chain line of "Qzmap101.dat".
  static std::vector<std::string> Chain(int mprf, int levl, int pprf) {
    return {std::to_string(mprf), std::to_string(levl), "X" + std::to_string(pprf), "c", "ab1",
            std::to_string(pprf)};
  }
  // "qzddi100" + appl + ".dat" with one definition line whose last field is extn.
  void WriteApplication(const std::string& appl, int extn) {
    WriteRows("qzddi100" + appl + ".dat", {{appl, "Application " + appl, std::to_string(extn)}}, 3);
  }
  // The manifest from its lines: CR LF between them, none after the last.
  void WriteManifest(const std::vector<std::string>& lines) {
    auto out = files::TextWriter::Create(Env::Default(), files::Join(pack_, "ExportMR.log"));
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i) out->Write("\r\n");
      out->Write(lines[i]);
    }
    out->Close();
  }
  // A manifest of a successful export listing `files` and `apps`.
  void WriteGoodManifest(const std::vector<std::string>& files, const std::vector<std::string>& apps,
                         const std::string& revisions = "ExportRevisions=0",
                         const std::string& new_profile = "ExportToNewProfile=0") {
    std::vector<std::string> lines = {"SUCCESS", "--TESTFILES--"};
    lines.insert(lines.end(), files.begin(), files.end());
    lines.push_back("--END TESTFILES--");
    lines.push_back("--APPLS--");
    lines.insert(lines.end(), apps.begin(), apps.end());
    lines.push_back("--ENDAPPLS--");
    lines.push_back(revisions);
    lines.push_back(new_profile);
    lines.push_back("ExportForSyn=0");
    lines.push_back("Exporting Migration Profile 5 Started at 2026-01-02   10:11:12");
    lines.push_back("Exporting Migration Profile 5 completed Successfully at 2026-01-02   10:11:13");
    WriteManifest(lines);
  }

  // --- the run log ------------------------------------------------------
  // The messages of the run log, without the date and time in front.
  std::vector<std::string> LogMessages() const { return RunLogMessages(install_ + "/LumoStudio/tmp/importmr.log"); }
  void ClearLog() const {
    std::error_code ec;
    std::filesystem::remove(install_ + "/LumoStudio/tmp/importmr.log", ec);
  }

 private:
  kestrel::testing::TempFolder tmp_;
  std::string install_, pack_;
  std::shared_ptr<store::Connection> store_;
  std::unique_ptr<Kestrel20ImpExp::clsImport> object_;
  importer::ImportOptions options_;
  importer::ImportContext context_{Env::Default()};
  importer::ImportResults results_;
};

}  // namespace kestrel::testing
