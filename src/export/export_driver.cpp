// ExportMigrationProfiles: checks the profile, creates the pack folder and the
// manifest, runs one of the two profile drivers and writes the manifest at the
// end, the status line, file list, application list and revisions line put in
// front of what the drivers appended (which waits in a spool file when large).
#include "export/export_driver.h"

#include <string>

#include "component/error.h"
#include "component/files.h"
#include "export/profile_drivers.h"
#include "pack/manifest.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "store/statements_export.h"

namespace Kestrel20ImpExp::detail {

std::string DefaultExportRoot(Env& env) {
  if (std::string root = env.Variable("KESTREL_EXPORT_ROOT"); !root.empty()) return root;
  std::string home = env.Variable("HOME");
  return files::Join(home.empty() ? "." : home, "ImpExpMR");
}

// Transitional: callers move to the Env& form.
std::string DefaultExportRoot() { return DefaultExportRoot(Env::Default()); }

namespace {

// Puts the status line, file list, application list and revisions line in
// front of the text the drivers appended, and writes the manifest.
void WriteManifest(ExportState& s, bool success, const std::string& mprf) {
  namespace m = pack::manifest;
  std::string front = m::FileListBlock(s.DataFileList, s.RuleFileList) + m::ApplicationBlock(s.ApplicationList) +
                      m::RevisionsLine(s.ExportRevisionInformation && s.ProfileRevisionsEnabled);
  if (success) {
    s.ManifestText += m::SuccessLineNow(mprf);
  } else {
    s.ManifestText += m::FailureLines(s.Error.ErrorNumber, s.Error.ErrorDescription);
  }
  s.ManifestText.WriteWithFront(m::StatusLine(success) + front, *s.ManifestStream);
}

// An export that ends before its manifest is written leaves no spool in the
// pack folder: the text returns to memory.
class SpoolGuard {
 public:
  explicit SpoolGuard(SpooledText& text) : text_(text) {}
  ~SpoolGuard() { text_.Unspool(); }
  SpoolGuard(const SpoolGuard&) = delete;
  SpoolGuard& operator=(const SpoolGuard&) = delete;

 private:
  SpooledText& text_;
};

}  // namespace

bool ExportMigrationProfiles(ExportState& s) {
  const std::string mprf = std::to_string(s.MigrationProfileTobeExported);
  try {
    store::Connection& c = ConnectionOf(s);
    if (s.Path.empty()) {
      std::string root = DefaultExportRoot();
      if (!files::FolderExists(root)) files::CreateFolders(root);
      s.Path = root;
    }
    if (!files::FolderExists(s.Path)) {
      s.Error.Set(1, "Error : Path Not Found " + s.Path);
      return false;
    }

    std::string pack_folder;
    {
      auto rs = c.OpenRecordset(store::SelectProfileToExport(c.dialect(), s.MigrationProfileTobeExported),
                                store::adOpenForwardOnly, store::adLockOptimistic);
      if (rs->BOF() && rs->IsEOF()) {
        s.Error.Set(2, "Error : Migration Profile Not found PROFILE NUMBER = " + mprf);
        rs->Close();
        return false;
      }
      Value scme = rs->Fields("scme");
      if (scme == Value("Y")) s.ProfileRevisionsEnabled = true;
      if (scme == Value("N")) s.ProfileRevisionsEnabled = false;
      std::string name = pack::PackFolderName(s.MigrationProfileTobeExported, rs->Fields("sapp").TextOrEmpty(),
                                              rs->Fields("tapp").TextOrEmpty(), s.ExportToSingleProfile);
      rs->Close();
      std::string rules_folder = files::Join(s.Path, pack::kRulesFolder);
      if (!files::FolderExists(rules_folder)) files::CreateFolder(rules_folder);
      pack_folder = files::Join(rules_folder, name);
    }
    if (!files::FolderExists(pack_folder)) {
      files::CreateFolder(pack_folder);
    } else if (!s.OverWrite) {
      s.Error.Set(3, "Error : Migration Profile Already Exported\r\nSuggession : Set Overwrite Option to True");
      return false;
    }

    // The progress of a large export waits in a spool file rather than in
    // memory; the manifest is put together from it at the end.
    SpoolGuard spool_guard(s.ManifestText);
    s.ManifestText.SpoolTo(files::Join(pack_folder, pack::kManifestSpoolFile));
    s.ManifestStream = files::TextWriter::Create(files::Join(pack_folder, pack::kManifestFile));
    namespace m = pack::manifest;
    s.ManifestText += m::NewProfileLine(s.ExportToSingleProfile ? s.NewProfileNumber : 0);
    s.ManifestText += m::SyncLine(s.ExportForSync);
    s.ManifestText += m::StartLineNow(mprf);
    s.Path = pack_folder;

    bool ok = s.ExportToSingleProfile ? ExportSingleProfile(s) : ExportMultipleProfiles(s);
    if (ok) s.Error.Clear();
    WriteManifest(s, ok, mprf);
    return ok;
  } catch (const std::exception& ex) {
    s.Error.Trap(999, ExportTrapHead("ExportMigrationProfiles"), AsComError(ex));
    return false;
  }
}

}  // namespace Kestrel20ImpExp::detail
