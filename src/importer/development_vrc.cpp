// GetDevelopmentVRC: the development VRC a pack carries for one of its
// profiles ("Qzmap105.dat": mprf, vers, rele, cust, dver, drel, dcus).
#include "base/error.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "base/text.h"
#include "importer/entry_points.h"
#include "importer/selection.h"

namespace kestrel::importer {

bool GetDevelopmentVRC(const ImportOptions& o, const ImportContext& cx, const pack::ManifestOptions& manifest,
                       ErrorState& error,
                       int32_t& lMprfIn, std::vector<std::string>& strArray) {
  if (!manifest.revisions) {
    error.Set(250, "The profile is not SCM Enabled.");
    return false;
  }
  try {
    strArray.assign(3, std::string());
    auto rows = files::RowReader::Open(cx.env(), files::PathInFolder(cx.env(), o.Path, "Qzmap105.dat"));
    while (rows->Next()) {
      const auto& f = rows->fields();
      if (NumericValue(text::TrimBlanks(Piece(f, 0))) != lMprfIn) continue;
      strArray = {std::string(Piece(f, 4)), std::string(Piece(f, 5)), std::string(Piece(f, 6))};
      break;
    }
    return true;
  } catch (const std::exception&) {
    error.Set(299, "Could Not get Development VRC");
    return false;
  }
}

}  // namespace kestrel::importer
