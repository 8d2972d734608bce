// GetDevelopmentVRC: the development VRC a pack carries for one of its
// profiles ("Qzmap105.dat": mprf, vers, rele, cust, dver, drel, dcus).
#include "base/error.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "base/text.h"
#include "importer/entry_points.h"
#include "importer/selection.h"

namespace kestrel::importer {

std::vector<std::string> GetDevelopmentVRC(const ImportOptions& o, const ImportContext& cx,
                                           const pack::ManifestOptions& manifest, int32_t mprf) {
  if (!manifest.revisions) throw Failure(250, "The profile is not SCM Enabled.");
  try {
    auto rows = files::RowReader::Open(cx.env(), files::PathInFolder(cx.env(), o.Path, "Qzmap105.dat"));
    while (rows->Next()) {
      const auto& f = rows->fields();
      if (NumericValue(text::TrimBlanks(Piece(f, 0))) != mprf) continue;
      return {std::string(Piece(f, 4)), std::string(Piece(f, 5)), std::string(Piece(f, 6))};
    }
    return std::vector<std::string>(3);
  } catch (const std::exception&) {
    throw Failure(299, "Could Not get Development VRC");
  }
}

}  // namespace kestrel::importer
