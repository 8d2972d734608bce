// The function writers: the shared functions, the function library of a
// profile list with its revisions, and the functions one profile sees through
// its ancestors. Each row is written as soon as it is read.
#include "exporter/library_writers.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/files.h"
#include "exporter/profile_list.h"
#include "pack/layout.h"
#include "pack/record_writer.h"
#include "store/connection.h"
#include "store/statements_export.h"

namespace kestrel::exporter {
namespace {

// Creates a rule file of the pack folder and lists it.
std::unique_ptr<files::TextWriter> CreateRuleFile(const ExportContext& ctx, ExportResults& r, std::string_view name) {
  auto out = files::TextWriter::Create(ctx.env(), ctx.PackFile(name));
  r.ListRuleFile(name);
  return out;
}

std::unique_ptr<store::Recordset> OpenForward(store::Connection& c, const std::string& statement) {
  return c.OpenRecordset(statement);
}

// Writes every remaining row of `rows` as one record; returns how many.
size_t WriteRecords(pack::TaggedRecordWriter& writer, store::Recordset& rows) {
  const std::vector<int> binding = pack::BindColumnsOf(writer.layout(), rows);
  size_t n = 0;
  for (; !rows.IsEOF(); rows.MoveNext(), ++n) writer.Write(pack::BoundRow(rows, binding));
  return n;
}

bool Trapped(ExportResults& r, std::string_view tag, const std::exception& e) {
  r.Error.Trap(999, TrapHead::ExportWriter, std::string(tag), AsComError(e));
  return false;
}

// ExportQzlib100 and ExportQzlib105: the rows of the listed profiles outside
// their development VRCs, whatever the export is for.
bool ExportLibraryTable(ExportContext& ctx, ExportResults& r, const pack::TaggedLayout& layout, const std::string& profiles,
                        std::string_view tag) {
  try {
    store::Connection& c = ctx.Connection();
    const std::vector<int64_t> list = ProfileNumbers(profiles);
    auto rows = OpenForward(c, store::SelectLibraryRows(c.dialect(), layout.table, list));
    auto out = CreateRuleFile(ctx, r, layout.file);
    pack::TaggedRecordWriter writer(layout, *out);
    const auto written = static_cast<int64_t>(WriteRecords(writer, *rows));
    ctx.Report(std::string(layout.file), written);
    ctx.CountRows(layout.file, written);
    out->Close();
    return true;
  } catch (const std::exception& e) {
    return Trapped(r, tag, e);
  }
}

// The profiles whose functions profile `p` sees: its chain rows when
// `traverse_parents` and there are any, else `p` alone.
std::vector<int64_t> VisibleProfiles(store::Connection& c, int64_t p, bool traverse_parents) {
  std::vector<int64_t> list;
  if (traverse_parents) {
    auto chain = OpenForward(c, store::SelectChainProfileNumbers(c.dialect(), p));
    for (; !chain->IsEOF(); chain->MoveNext()) {
      // A chain row without a profile number names no profile to look in.
      Value pprf = chain->Fields(0);
      if (!pprf.IsNull()) list.push_back(pprf.Integer());
    }
  }
  if (list.empty()) list.push_back(p);
  return list;
}

}  // namespace

bool ExportFunctions(ExportContext& ctx, ExportResults& r) {
  try {
    store::Connection& c = ctx.Connection();
    const pack::TaggedLayout& layout = pack::kQzmap150;
    auto rows = OpenForward(c, store::SelectAllFunctions(c.dialect()));
    auto out = CreateRuleFile(ctx, r, layout.file);
    if (rows->IsEOF()) {
      ctx.AppendNote("No Functions Present");
    } else {
      pack::TaggedRecordWriter writer(layout, *out);
      const auto written = static_cast<int64_t>(WriteRecords(writer, *rows));
      ctx.Report(std::string(layout.file), written);
      ctx.CountRows(layout.file, written);
    }
    out->Close();
    return true;
  } catch (const std::exception& e) {
    return Trapped(r, "Export Functions", e);
  }
}

bool ExportQzlib100(ExportContext& ctx, ExportResults& r, const std::string& profiles) {
  return ExportLibraryTable(ctx, r, pack::kQzlib100, profiles, "QZLIB100");
}

bool ExportQzlib105(ExportContext& ctx, ExportResults& r, const std::string& profiles) {
  return ExportLibraryTable(ctx, r, pack::kQzlib105, profiles, "Qzlib105");
}

// One version of each function the profile sees: among the listed profiles,
// outside development VRCs, the one of the highest profile number; with
// revisions, the revisions of that version only.
bool ExportIncludes(ExportContext& ctx, ExportResults& r, const std::string& profile, IncludeScope scope) {
  try {
    store::Connection& c = ctx.Connection();
    const store::Dialect d = c.dialect();
    const std::vector<int64_t> list = VisibleProfiles(c, ProfileNumber(profile), scope.traverse_parents);

    auto library = CreateRuleFile(ctx, r, pack::kQzlib100.file);
    pack::TaggedRecordWriter library_writer(pack::kQzlib100, *library);
    std::unique_ptr<files::TextWriter> revisions;
    std::optional<pack::TaggedRecordWriter> revision_writer;
    if (scope.revisions) {
      revisions = CreateRuleFile(ctx, r, pack::kQzlib105.file);
      revision_writer.emplace(pack::kQzlib105, *revisions);
    }

    std::vector<int> binding;  // the same columns in every version query
    int64_t written = 0, revisions_written = 0;
    auto names = OpenForward(c, store::SelectLibraryFunctionNames(d, list));
    for (; !names->IsEOF(); names->MoveNext()) {
      const std::string fnam = names->Fields(0).TextOrEmpty();
      auto versions = OpenForward(c, store::SelectLibraryFunctionVersions(d, fnam, list));
      if (versions->IsEOF()) continue;  // every version lies in a development VRC
      if (binding.empty()) binding = pack::BindColumnsOf(pack::kQzlib100, *versions);
      library_writer.Write(pack::BoundRow(*versions, binding));
      ctx.Report(std::string(pack::kQzlib100.file), ++written);
      if (revision_writer) {
        const int64_t winner = versions->Fields("mprf").Integer();
        auto history = OpenForward(c, store::SelectLibraryFunctionRevisions(d, fnam, winner));
        revisions_written += static_cast<int64_t>(WriteRecords(*revision_writer, *history));
      }
    }
    names->Close();
    ctx.CountRows(pack::kQzlib100.file, written);
    if (revision_writer) ctx.CountRows(pack::kQzlib105.file, revisions_written);
    library->Close();
    if (revisions) revisions->Close();
    return true;
  } catch (const std::exception& e) {
    return Trapped(r, "QZLIB100", e);
  }
}

}  // namespace kestrel::exporter
