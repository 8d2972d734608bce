// The store side of a diff, exported into a temporary pack.
#include "diff/store_export.h"

#include <limits>

#include "base/error.h"
#include "base/files.h"
#include "exporter/export_driver.h"
#include "pack/naming.h"
#include "store/recordset.h"
#include "store/statements_export.h"

namespace kestrel::diff {
namespace {

// A new folder below the temporary folder; the name is taken only when the
// folder could be created, so two runs never share one.
std::string NewTemporaryFolder(Env& env) {
  std::string base = env.Variable("TMPDIR");
  if (base.empty()) base = "/tmp";
  return files::CreateUniqueFolder(env, base, "kestrel-diff-");
}

}  // namespace

ExportShape ShapeOf(const PackSide& pack) {
  const auto& m = pack.manifest();
  return {.single = pack.single_profile(),
          .revisions = m.revisions,
          .for_sync = m.for_sync,
          .new_number = pack.single_profile() && m.new_profile ? m.new_profile_number : int16_t{0},
          .based_on = pack.based_on() ? std::to_string(*pack.based_on()) : std::string()};
}

TemporaryPack::TemporaryPack(Env& env, const std::shared_ptr<store::Connection>& connection, int64_t profile,
                             const ExportShape& shape)
    : env_(env), root_(NewTemporaryFolder(env)) {
  try {
    if (profile < std::numeric_limits<int16_t>::min() || profile > std::numeric_limits<int16_t>::max())
      RaiseRuntime(rt::Overflow);
    exporter::ExportOptions o;
    o.MigrationProfileTobeExported = static_cast<int16_t>(profile);
    o.NewProfileNumber = shape.new_number;
    o.Path = root_;
    o.ExportRevisionInformation = shape.revisions;
    o.ExportToSingleProfile = shape.single;
    o.ExportForSync = shape.for_sync;
    o.ExportBasedOn = shape.based_on;
    exporter::ExportResults r;
    {
      exporter::ExportContext ctx(env_);
      ctx.DataConnection = connection;
      const bool ok = exporter::ExportMigrationProfiles(o, ctx, r);
      if (ctx.PackFolder != root_) pack_folder_ = ctx.PackFolder;
      if (!ok) throw r.Error.value().WithPlace({});
    }
    side_ = std::make_unique<PackSide>(env_, pack_folder_);
  } catch (...) {
    Remove();
    throw;
  }
}

TemporaryPack::~TemporaryPack() { Remove(); }

void TemporaryPack::Remove() noexcept {
  // Only what the export writes is there: the pack's files, its folder and
  // the rules folder above it.
  try {
    if (!pack_folder_.empty() && env_.FolderExists(pack_folder_)) {
      for (const auto& f : env_.ListFiles(pack_folder_)) env_.DeleteFile(files::Join(pack_folder_, f));
      env_.DeleteFolder(pack_folder_);
    }
    const std::string rules = files::Join(root_, pack::kRulesFolder);
    if (env_.FolderExists(rules)) env_.DeleteFolder(rules);
    if (env_.FolderExists(root_)) env_.DeleteFolder(root_);
  } catch (...) {
    // A folder left behind in the temporary folder does no harm to the diff's answer.
  }
}

bool StoreHoldsProfile(store::Connection& c, int64_t profile) {
  return !c.OpenRecordset(store::SelectProfileToExport(c.dialect(), profile))->IsEOF();
}

bool StoreHoldsApplication(store::Connection& c, const std::string& appl) {
  return !c.OpenRecordset(store::SelectApplicationExtn(c.dialect(), appl))->IsEOF();
}

}  // namespace kestrel::diff

namespace kestrel::diff {

std::optional<int64_t> StoreProfileOfApplication(store::Connection& c, const std::string& appl) {
  auto rs = c.OpenRecordset(store::SelectProfilesOfApplication(c.dialect(), appl));
  if (rs->IsEOF()) return std::nullopt;
  return rs->Fields(0).Integer();
}

}  // namespace kestrel::diff
