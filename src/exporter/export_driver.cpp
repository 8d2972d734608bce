// ExportMigrationProfiles: reads one snapshot of the store throughout, checks
// the profile, writes the pack into a folder of its own beside the pack
// folder (the manifest, one of the two profile drivers, the manifest at the
// end with the status line, file list, application list and revisions line
// put in front of what the drivers appended, which waits in a spool file when
// large) and gives that folder the pack folder's name in one rename.
#include "exporter/export_driver.h"

#include <optional>
#include <string>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
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
    ctx.ManifestText += pack::manifest::FailureLines(r.Error.value());
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

// Why a folder could not be made below the root, in words a user can act on.
std::string CauseOf(const ComError& e) {
  switch (e.number()) {
    case rt::PermissionDenied: return "Permission denied (no right to write there, or a read-only file system)";
    case rt::PathNotFound: return "Path not found (the file system there takes no folders of ours)";
    default: return e.description();
  }
}

[[noreturn]] void RaiseRootUnusable(const std::string& root, const std::string& why) {
  RaiseWithDetail(Ours::ExportRootUnusable, root + ": " + why);
}

// Creates `folder` below the export root unless it is there already; a root
// that takes none is refused naming the folder and the cause.
void MakeFolderBelowRoot(Env& env, const std::string& root, const std::string& folder) {
  try {
    env.CreateFolder(folder);
  } catch (const ComError& e) {
    RaiseRootUnusable(root, "the folder " + folder + " cannot be created: " + CauseOf(e));
  }
  if (!env.FolderExists(folder)) RaiseRootUnusable(root, folder + " is not a folder");
}

// Reads whether the profile keeps revisions and names its pack folder under
// the root's rules folder (which it creates); nothing when there is no such
// profile.
std::optional<std::string> PackFolderOfProfile(const ExportOptions& o, const ExportContext& ctx, ExportResults& r,
                                               store::Connection& c) {
  auto rs = c.OpenRecordset(store::SelectProfileToExport(c.dialect(), o.MigrationProfileTobeExported));
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
  const std::string rules_folder = ctx.PackFile(pack::kRulesFolder);
  MakeFolderBelowRoot(ctx.env(), ctx.PackFolder, rules_folder);
  return files::Join(rules_folder, name);
}

// A pack folder that exists is written again only when the host allows it.
bool MayWritePackFolder(const ExportOptions& o, const ExportContext& ctx, ExportResults& r,
                        const std::string& pack_folder) {
  if (ctx.env().KindOf(pack_folder) != EntryKind::Missing && !o.OverWrite) {
    r.Error.Set(3, "Error : Migration Profile Already Exported\r\nSuggession : Set Overwrite Option to True");
    return false;
  }
  return true;
}

// The folder beside the pack folder that the pack is written into, so that
// no reader ever finds half a pack under the pack's name, and two exports of
// one pack never write into one folder. It takes the pack's name in one
// rename at the end; whatever it holds when it goes (a pack that could not
// be put in place, or the pack it replaced) goes with it.
class WorkFolder {
 public:
  WorkFolder(Env& env, const std::string& root, std::string pack_folder) : env_(env), pack_(std::move(pack_folder)) {
    const size_t slash = pack_.rfind('/');
    try {
      path_ = files::CreateUniqueFolder(env_, pack_.substr(0, slash), pack::PackWorkFolderPrefix(pack_.substr(slash + 1)));
    } catch (const ComError& e) {
      RaiseRootUnusable(root, "no folder can be created in " + pack_.substr(0, slash) + ": " + CauseOf(e));
    }
  }
  ~WorkFolder() {
    if (path_.empty()) return;
    try {
      // A replaced pack folder that was a link goes as a link: what it
      // pointed at is no part of the pack.
      if (env_.KindOf(path_) == EntryKind::Link)
        env_.DeleteFile(path_);
      else
        files::DeleteFolderTree(env_, path_);
    } catch (const std::exception&) {
      // Only what was written into it, or a replaced pack, is lost.
    }
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;

  const std::string& path() const { return path_; }

  // Gives the written pack the pack folder's name. A pack already there is
  // exchanged for it in the same step when `replace` allows it (and then
  // removed); otherwise it stays, and the result is false.
  bool Publish(bool replace) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      try {
        env_.RenameFolder(path_, pack_, FolderRename::NoReplace);
        path_.clear();
        return true;
      } catch (const ComError& e) {
        if (e.number() != rt::FileAlreadyExists) throw;
      }
      if (!replace) return false;
      try {
        env_.RenameFolder(path_, pack_, FolderRename::Exchange);
        return true;
      } catch (const ComError& e) {
        // The pack went between the two renames: put this one in its place.
        if (e.number() != rt::PathNotFound) throw;
      }
    }
    Raise(Ours::Internal, "the pack folder " + pack_ + " keeps changing");
  }

 private:
  Env& env_;
  std::string pack_;
  std::string path_;
};

// Writes the manifest and every file of the pack into `folder`: the lines
// before the drivers', one of the two drivers, the manifest at the end and,
// when the driver succeeded, the sums. True when the driver succeeded.
bool WritePack(const ExportOptions& o, ExportContext& ctx, ExportResults& r, const std::string& mprf,
               const std::string& folder) {
  // The progress of a large export waits in a spool file rather than in
  // memory; the manifest is put together from it at the end.
  SpoolGuard spool_guard(ctx.ManifestText);
  ctx.ManifestText.SpoolTo(files::Join(folder, pack::kManifestSpoolFile));
  ctx.ManifestStream = files::TextWriter::Create(ctx.env(), files::Join(folder, pack::kManifestFile));
  ctx.ManifestText += pack::manifest::NewProfileLine(o.ExportToSingleProfile ? o.NewProfileNumber : 0);
  ctx.ManifestText += pack::manifest::SyncLine(o.ExportForSync);
  ctx.ManifestText += pack::manifest::StartLineNow(ctx.env(), mprf);
  ctx.PackFolder = folder;

  bool ok = o.ExportToSingleProfile ? ExportSingleProfile(o, ctx, r) : ExportMultipleProfiles(o, ctx, r);
  if (ok) r.Error.Clear();
  WriteManifest(o, ctx, r, ok, mprf);
  // Last, once every other file of the pack is closed.
  if (ok) pack::WriteSums(ctx.env(), folder, &ctx.Written());
  return ok;
}

}  // namespace

bool ExportMigrationProfiles(const ExportOptions& o, ExportContext& ctx, ExportResults& r) {
  const std::string mprf = std::to_string(o.MigrationProfileTobeExported);
  ctx.PackFolder = o.Path;
  ctx.Written().ForgetClosed();
  ctx.RowsWritten.clear();
  ctx.ProfilePackFolder.clear();
  std::optional<std::string> pack_folder;
  try {
    store::Connection& c = ctx.Connection();
    // The whole pack comes from one state of the store: an import committed
    // meanwhile is in it entirely or not at all. A host's own transaction
    // already is one.
    std::optional<store::Snapshot> snapshot;
    if (!c.InTransaction()) snapshot.emplace(c);
    if (!EnterExportRoot(ctx, r)) return false;
    const std::string root = ctx.PackFolder;
    pack_folder = PackFolderOfProfile(o, ctx, r, c);
    if (pack_folder) ctx.ProfilePackFolder = *pack_folder;
    if (!pack_folder || !MayWritePackFolder(o, ctx, r, *pack_folder)) return false;

    WorkFolder work(ctx.env(), root, *pack_folder);
    const bool ok = WritePack(o, ctx, r, mprf, work.path());
    ctx.PackFolder = *pack_folder;
    // A pack that failed takes the name, marked ERRORS, only where no pack
    // was: one that is there stays as it was. Another export may have put
    // its pack there since the look above.
    if (!work.Publish(ok && o.OverWrite)) {
      if (ok) MayWritePackFolder(o, ctx, r, *pack_folder);
      return false;
    }
    return ok;
  } catch (const std::exception& ex) {
    if (pack_folder) ctx.PackFolder = *pack_folder;
    const ComError e = AsComError(ex);
    if (e.number() == Number(Ours::ExportRootUnusable))
      r.Error.Set(e.number(), e.description());
    else
      r.Error.Trap(999, TrapHead::Export, "ExportMigrationProfiles", e);
    return false;
  }
}

}  // namespace kestrel::exporter
