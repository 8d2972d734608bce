// ShowLogicPackDetails: checks a pack folder and its manifest, and describes
// the pack's profiles to the host as the source list (number, applications,
// parent, the applications' extn) and a marked target list that proposes how
// to import them.
#include <string>
#include <vector>

#include "component/error.h"
#include "component/files.h"
#include "component/text.h"
#include "import/entry_points.h"
#include "import/hierarchy.h"
#include "import/lookups.h"
#include "import/pack_details.h"
#include "import/plan_lookups.h"
#include "import/run_log.h"
#include "import/selection.h"
#include "pack/manifest.h"
#include "component/row_reader.h"
#include "pack/naming.h"

namespace Kestrel20ImpExp::detail {

namespace {

constexpr size_t kChainFields = 6;
constexpr std::string_view kChainFileCorrupt =
    "Import Migration Profile - Qzmap101.dat file is not having enough data or file is corrupted";
constexpr std::string_view kApplicationFileCorrupt =
    "Import Migration Profile - qzddi100.dat file is not having enough data or file is corrupted";

// The pack files' failures share the header line's number.
[[noreturn]] void RaiseCorrupt(std::string_view text) { throw ComError(kHeaderLineError, std::string(text)); }

}  // namespace

int64_t PackParentProfile(ImportState& s, const std::string& mprf) {
  const int64_t number = NumericValue(mprf);
  int64_t parent = 0;
  try {
    auto rows = files::RowReader::Open(files::PathInFolder(s.Path, "Qzmap101.dat"));
    while (rows->Next()) {
      const auto& f = rows->fields();
      if (f.size() == kChainFields && NumericValue(f[0]) == number && NumericValue(f[1]) == 2) {
        parent = NumericValue(f[5]);
        break;
      }
    }
  } catch (const ComError&) {
    RaiseCorrupt(kChainFileCorrupt);
  }
  // A profile the pack brings without its parent keeps the parent it has in
  // the store.
  if (parent == 0 && ProfileExists(s, number))
    parent = NumericValue(text::TrimBlanks(GetParentProfile(s, number)));
  return parent;
}

int32_t PackApplicationExtn(ImportState& s, const std::string& appl) {
  const std::string name = pack::DataFileName("qzddi100", appl);
  try {
    auto rows = files::RowReader::Open(files::PathInFolder(s.Path, name));
    if (!rows->Next()) return -1;
    // An empty first line defines nothing: the file is corrupt.
    if (rows->line().empty()) RaiseCorrupt(kApplicationFileCorrupt);
    return NumberOf(rows->fields().back());
  } catch (const ComError&) {
    RaiseCorrupt(kApplicationFileCorrupt);
  }
}

bool ShowLogicPackDetails(ImportState& s, std::string& strLPDetails) {
  try {
    if (!files::FolderExists(s.Path)) {
      s.Error.Set(1, "ShowLogicPackDetails - Path Not Found " + s.Path);
      return false;
    }
    if (!files::FileExistsInFolder(s.Path, "ExportMR.log")) {
      s.Error.Set(2, "ShowLogicPackDetails - Log File Missing ExportMR.log");
      return false;
    }
    pack::DetailsManifest manifest = pack::CheckManifestForDetails(s.Path);
    switch (manifest.fault) {
      case pack::ManifestFault::None: break;
      case pack::ManifestFault::ExportFailed:
        s.Error.Set(3, "ShowLogicPackDetails - Exported Objects are incorrect");
        return false;
      case pack::ManifestFault::Corrupt:
        s.Error.Set(4, "ShowLogicPackDetails - Incorrect log file or log file corrupted");
        return false;
      case pack::ManifestFault::MissingFile:
        s.Error.Set(5, "ShowLogicPackDetails - At least one or more data files are missing." + manifest.missing_file);
        return false;
    }
    s.ManifestNewProfileNumber = manifest.new_profile_number;

    // Only the first profile takes the announced number: a pack that
    // announces one is a single-profile pack.
    int32_t announced = s.ManifestNewProfileNumber;
    std::vector<std::string> sources, targets;
    auto headers = files::RowReader::Open(files::PathInFolder(s.Path, "Qzmap100.dat"));
    while (headers->Next()) {
      if (headers->fields().size() != kHeaderFieldCount) RaiseCorrupt(kHeaderLineCorrupt);
      const std::string mprf(headers->fields()[0]), sapp(headers->fields()[1]), tapp(headers->fields()[2]);
      std::string entry = mprf + "|" + sapp + "|" + tapp;
      entry += "|" + std::to_string(PackParentProfile(s, mprf));
      entry += "|" + std::to_string(PackApplicationExtn(s, sapp));
      entry += "|" + std::to_string(PackApplicationExtn(s, tapp));
      std::string marked;
      MarkSelectionEntry(s, entry, announced, marked);
      sources.push_back(std::move(entry));
      targets.push_back(std::move(marked));
    }
    headers->Close();

    // The chain export writes a profile before its bases: reversed, every
    // base comes before the profiles derived from it.
    ReverseStringArray(s, sources);
    ReverseStringArray(s, targets);
    std::string details = JoinList(sources);
    details += kDetailsLineEnd;
    details += JoinList(targets);
    strLPDetails = std::move(details);
    return true;
  } catch (const std::exception& e) {
    ComError c = AsComError(e);
    s.Error.Set(c.number(), c.description());
    return false;
  }
}

}  // namespace Kestrel20ImpExp::detail
