// ExportMigrationProfiles: reads one snapshot of the store throughout, checks
// the profile, creates the pack folder and the manifest, runs one of the two profile drivers and writes the manifest at the
// end, the status line, file list, application list and revisions line put in
// front of what the drivers appended (which waits in a spool file when large).
#include "exporter/export_driver.h"

#include <optional>
#include <string>

#include <fmt/format.h>

#include "base/error.h"
#include "base/files.h"
#include "exporter/profile_drivers.h"
#include "pack/manifest.h"
#include "pack/naming.h"
#include "pack/sums.h"
#include "store/connection.h"
#include "store/snapshot.h"
#include "store/statements_export.h"

namespace kestrel::exporter {

std::string DefaultExportRoot(Env& env) {
  if (std::string root = env.Variable("KESTREL_EXPORT_ROOT"); !root.empty()) return root;
  std::string home = env.Variable("HOME");
  return files::Join(home.empty() ? "." : home, "ImpExpMR");
}

namespace {

// Puts the status line, file list, application list and revisions line in
// front of the text the drivers appended, and writes the manifest.
void WriteManifest(const ExportOptions& o, ExportContext& ctx, const ExportResults& r, bool success,
                   const std::string& mprf) {
  std::string front = pack::manifest::FileListBlock(r.DataFileList, r.RuleFileList) + pack::manifest::ApplicationBlock(r.ApplicationList) +
                      pack::manifest::RevisionsLine(r.WithRevisions(o.ExportRevisionInformation));
  if (success) {
    ctx.ManifestText += pack::manifest::SuccessLineNow(ctx.env(), mprf);
  } else {
    ctx.ManifestText += pack::manifest::FailureLines(r.Error.ErrorNumber, r.Error.ErrorDescription);
  }
  ctx.ManifestText.WriteWithFront(pack::manifest::StatusLine(success) + front, *ctx.ManifestStream);
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

// The export root: the host's Path, else the default one, created if need be.
// A root the host named must exist already.
bool EnterExportRoot(ExportContext& ctx, ExportResults& r) {
  if (ctx.PackFolder.empty()) {
    std::string root = DefaultExportRoot(ctx.env());
    if (!files::FolderExists(ctx.env(), root)) files::CreateFolders(ctx.env(), root);
    ctx.PackFolder = root;
  }
  if (!files::FolderExists(ctx.env(), ctx.PackFolder)) {
    r.Error.Set(1, "Error : Path Not Found " + ctx.PackFolder);
    return false;
  }
  return true;
}

// Reads whether the profile keeps revisions and names its pack folder under
// the root's rules folder (which it creates); nothing when there is no such
// profile.
std::optional<std::string> PackFolderOfProfile(const ExportOptions& o, const ExportContext& ctx, ExportResults& r,
                                               store::Connection& c) {
  auto rs = c.OpenRecordset(store::SelectProfileToExport(c.dialect(), o.MigrationProfileTobeExported),
                            store::adOpenForwardOnly, store::adLockOptimistic);
  if (rs->BOF() && rs->IsEOF()) {
    r.Error.Set(2,
                fmt::format("Error : Migration Profile Not found PROFILE NUMBER = {}", o.MigrationProfileTobeExported));
    rs->Close();
    return std::nullopt;
  }
  Value scme = rs->Fields("scme");
  if (scme == Value("Y")) r.ProfileRevisionsEnabled = true;
  if (scme == Value("N")) r.ProfileRevisionsEnabled = false;
  std::string name = pack::PackFolderName(o.MigrationProfileTobeExported, rs->Fields("sapp").TextOrEmpty(),
                                          rs->Fields("tapp").TextOrEmpty(), o.ExportToSingleProfile);
  rs->Close();
  std::string rules_folder = ctx.PackFile(pack::kRulesFolder);
  if (!files::FolderExists(ctx.env(), rules_folder)) files::CreateFolder(ctx.env(), rules_folder);
  return files::Join(rules_folder, name);
}

// A pack folder that exists is written again only when the host allows it.
bool CreatePackFolder(const ExportOptions& o, const ExportContext& ctx, ExportResults& r,
                      const std::string& pack_folder) {
  if (!files::FolderExists(ctx.env(), pack_folder)) {
    files::CreateFolder(ctx.env(), pack_folder);
  } else if (!o.OverWrite) {
    r.Error.Set(3, "Error : Migration Profile Already Exported\r\nSuggession : Set Overwrite Option to True");
    return false;
  }
  return true;
}

}  // namespace

bool ExportMigrationProfiles(const ExportOptions& o, ExportContext& ctx, ExportResults& r) {
  const std::string mprf = std::to_string(o.MigrationProfileTobeExported);
  ctx.PackFolder = o.Path;
  ctx.Written().ForgetClosed();
  try {
    store::Connection& c = ctx.Connection();
    // The whole pack comes from one state of the store: an import committed
    // meanwhile is in it entirely or not at all. A host's own transaction
    // already is one.
    std::optional<store::Snapshot> snapshot;
    if (!c.InTransaction()) snapshot.emplace(c);
    if (!EnterExportRoot(ctx, r)) return false;
    const std::optional<std::string> pack_folder = PackFolderOfProfile(o, ctx, r, c);
    if (!pack_folder || !CreatePackFolder(o, ctx, r, *pack_folder)) return false;

    // The progress of a large export waits in a spool file rather than in
    // memory; the manifest is put together from it at the end.
    SpoolGuard spool_guard(ctx.ManifestText);
    ctx.ManifestText.SpoolTo(files::Join(*pack_folder, pack::kManifestSpoolFile));
    ctx.ManifestStream = files::TextWriter::Create(ctx.env(), files::Join(*pack_folder, pack::kManifestFile));
    ctx.ManifestText += pack::manifest::NewProfileLine(o.ExportToSingleProfile ? o.NewProfileNumber : 0);
    ctx.ManifestText += pack::manifest::SyncLine(o.ExportForSync);
    ctx.ManifestText += pack::manifest::StartLineNow(ctx.env(), mprf);
    ctx.PackFolder = *pack_folder;

    bool ok = o.ExportToSingleProfile ? ExportSingleProfile(o, ctx, r) : ExportMultipleProfiles(o, ctx, r);
    if (ok) r.Error.Clear();
    WriteManifest(o, ctx, r, ok, mprf);
    // Last, once every other file of the pack is closed.
    if (ok) pack::WriteSums(ctx.env(), *pack_folder, &ctx.Written());
    return ok;
  } catch (const std::exception& ex) {
    r.Error.Trap(999, ExportTrapHead("ExportMigrationProfiles"), AsComError(ex));
    return false;
  }
}

}  // namespace kestrel::exporter
