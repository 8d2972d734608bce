// Export: a request's numbers checked, handed to the export driver, and what
// it wrote read back from its results.
#include "kestrel/engine.h"

#include <string_view>

#include "base/error.h"
#include "base/files.h"
#include "base/text.h"
#include "exporter/export_context.h"
#include "exporter/export_driver.h"
#include "exporter/export_options.h"
#include "exporter/export_results.h"
#include "importer/selection.h"
#include "pack/naming.h"

namespace kestrel {
namespace {

// A number of the request, as the export's 16-bit fields take it.
int16_t ProfileField(int number, std::string_view what) {
  importer::CheckProfileNumber(number, what, "in the export request");
  return static_cast<int16_t>(number);
}

// The entries of a list the export wrote, each ended by CR LF.
std::vector<std::string> Lines(const std::string& list) {
  std::vector<std::string> lines;
  for (std::string& line : text::Split(list, "\r\n"))
    if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

}  // namespace

ExportReport Export(Store& store, const ExportRequest& request, const Context& context) {
  exporter::ExportOptions o;
  o.MigrationProfileTobeExported = ProfileField(request.profile, "the profile number");
  o.NewProfileNumber = ProfileField(request.new_number, "the new profile number");
  o.Path = request.root;
  o.OverWrite = request.overwrite;
  o.ExportRevisionInformation = request.revisions;
  o.ExportToSingleProfile = request.single_profile;
  if (request.based_on != 0) o.ExportBasedOn = std::to_string(ProfileField(request.based_on, "the based-on profile"));
  o.ExportForSync = request.for_sync;
  o.traveseparent = request.traverse_parent;

  exporter::ExportContext ctx(context.Environment());
  ctx.DataConnection = store.Connection();
  ctx.Progress = context.progress;
  exporter::ExportResults r;
  if (!exporter::ExportMigrationProfiles(o, ctx, r)) {
    Place place;
    place.path = ctx.ProfilePackFolder.empty() ? ctx.PackFolder : ctx.ProfilePackFolder;
    throw r.Error.value().WithPlace(std::move(place));
  }

  ExportReport report;
  report.folder = ctx.PackFolder;
  report.files = Lines(r.DataFileList);
  for (std::string& file : Lines(r.RuleFileList)) report.files.push_back(std::move(file));
  report.applications = Lines(r.ApplicationList);
  report.revisions = r.WithRevisions(request.revisions);
  for (const std::string& file : report.files) {
    const auto counted = ctx.RowsWritten.find(file);
    report.rows.emplace(file, counted == ctx.RowsWritten.end() ? 0 : counted->second);
  }
  return report;
}

std::string DefaultExportRoot(const Context& context) {
  return exporter::DefaultExportRoot(context.Environment());
}

std::string PacksFolder(const std::string& root) { return files::Join(root, pack::kRulesFolder); }

}  // namespace kestrel
