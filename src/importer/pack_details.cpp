// ShowLogicPackDetails: checks a pack folder, its manifest and its header
// lines' own values, and describes
// the pack's profiles to the host as the source list (number, applications,
// parent, the applications' extn) and a marked target list that proposes how
// to import them.
#include <string>
#include <vector>

#include <fmt/format.h>

#include "base/error.h"
#include "base/files.h"
#include "base/text.h"
#include "importer/entry_points.h"
#include "importer/hierarchy.h"
#include "importer/lookups.h"
#include "importer/header_check.h"
#include "importer/pack_sums_check.h"
#include "importer/pack_details.h"
#include "importer/pack_file_refusals.h"
#include "importer/plan_lookups.h"
#include "importer/run_log.h"
#include "importer/selection.h"
#include "pack/manifest.h"
#include "base/row_reader.h"
#include "pack/naming.h"

namespace kestrel::importer {

namespace {

constexpr std::string_view kApplicationFileCorrupt =
    "Import Migration Profile - qzddi100.dat file is not having enough data or file is corrupted";

// The pack files' failures share the header line's number.
[[noreturn]] void RaiseCorrupt(std::string_view text) { throw ComError(kHeaderLineError, std::string(text)); }

}  // namespace

int64_t PackParentProfile(const std::string& pack_folder, const ImportContext& cx, const std::string& mprf) {
  const int64_t number = NumericValue(mprf);
  int64_t parent = 0;
  try {
    auto rows = files::RowReader::Open(cx.env(), files::PathInFolder(cx.env(), pack_folder, "Qzmap101.dat"));
    while (rows->Next()) {
      const auto& f = rows->fields();
      if (f.size() == kChainFieldCount && NumericValue(f[0]) == number && NumericValue(f[1]) == 2) {
        parent = NumericValue(f[5]);
        break;
      }
    }
  } catch (const ComError&) {
    RaiseCorrupt(kChainFileCorrupt);
  }
  // A profile the pack brings without its parent keeps the parent it has in
  // the store.
  if (parent == 0 && ProfileExists(cx, number))
    parent = NumericValue(text::TrimBlanks(GetParentProfile(cx, number)));
  return parent;
}

int32_t PackApplicationExtn(Env& env, const std::string& pack_folder, const std::string& appl) {
  const std::string name = pack::DataFileName("qzddi100", appl);
  try {
    auto rows = files::RowReader::Open(env, files::PathInFolder(env, pack_folder, name));
    if (!rows->Next()) return -1;
    // An empty first line defines nothing: the file is corrupt.
    if (rows->line().empty()) RaiseCorrupt(kApplicationFileCorrupt);
    return NumberOf(rows->fields().back());
  } catch (const ComError&) {
    RaiseCorrupt(kApplicationFileCorrupt);
  }
}

SelectionLists ShowLogicPackDetails(const ImportOptions& o, const ImportContext& cx,
                                    pack::ManifestOptions& manifest) {
  try {
    if (!files::FolderExists(cx.env(), o.Path)) throw Failure(1, "ShowLogicPackDetails - Path Not Found " + o.Path);
    if (!files::FileExistsInFolder(cx.env(), o.Path, "ExportMR.log"))
      throw Failure(2, "ShowLogicPackDetails - Log File Missing ExportMR.log");
    CheckPackSums(o, cx);  // its failure is this trap's
    pack::DetailsManifest checked = pack::CheckManifestForDetails(cx.env(), o.Path);
    switch (checked.fault) {
      case pack::ManifestFault::None: break;
      case pack::ManifestFault::ExportFailed:
        throw Failure(3, "ShowLogicPackDetails - Exported Objects are incorrect");
      case pack::ManifestFault::Corrupt:
        throw Failure(4, "ShowLogicPackDetails - Incorrect log file or log file corrupted");
      case pack::ManifestFault::MissingFile:
        throw Failure(5, "ShowLogicPackDetails - At least one or more data files are missing." +
                             checked.missing_file);
    }
    manifest.new_profile_number = checked.new_profile_number;

    // A header line the import would refuse cannot be proposed either: its
    // codes and numbers would not survive the details string.
    if (const std::optional<Error> refused = CheckHeaderFile(cx.env(), o)) {
      const std::string place = PlaceText(refused->place());
      std::string text = refused->description();
      if (text.find(place) == std::string::npos) text += " (" + place + ")";
      throw Failure(Error(refused->number(), std::move(text), RefusalPlace(place)));
    }

    // Only the first profile takes the announced number: a pack that
    // announces one is a single-profile pack.
    int32_t announced = manifest.new_profile_number;
    SelectionLists lists;
    auto headers = files::RowReader::Open(cx.env(), files::PathInFolder(cx.env(), o.Path, "Qzmap100.dat"));
    while (headers->Next()) {
      if (headers->fields().size() != kHeaderFieldCount) RaiseCorrupt(kHeaderLineCorrupt);
      const std::string mprf(headers->fields()[0]), sapp(headers->fields()[1]), tapp(headers->fields()[2]);
      const auto parent = PackParentProfile(o.Path, cx, mprf);
      const auto source_extn = PackApplicationExtn(cx.env(), o.Path, sapp);
      const auto target_extn = PackApplicationExtn(cx.env(), o.Path, tapp);
      SelectionEntry entry = SelectionEntry::Of(0, sapp, tapp, parent, std::to_string(source_extn),
                                                std::to_string(target_extn));
      entry.number = mprf;  // as the header line has it
      lists.targets.push_back(MarkSelectionEntry(cx, entry, announced));
      lists.sources.push_back(std::move(entry));
    }
    headers->Close();

    // The chain export writes a profile before its bases: reversed, every
    // base comes before the profiles derived from it.
    for (auto* list : {&lists.sources, &lists.targets})
      ReverseStringArray(cx, *list, [](const SelectionEntry& e) { return e.Text(); });
    return lists;
  } catch (const Failure&) {
    throw;
  } catch (const std::exception& e) {
    const ComError c = AsComError(e);
    throw Failure(c.number(), c.description());
  }
}

}  // namespace kestrel::importer
