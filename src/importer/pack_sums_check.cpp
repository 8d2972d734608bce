// The pack's files against its ExportMR.sums, before an import reads them.
#include "importer/pack_sums_check.h"

#include "importer/run_log.h"
#include "kestrel/cls_import.h"
#include "pack/sums.h"

namespace kestrel::importer {

bool CheckPackSums(const ImportContext& cx, const std::string& folder, ErrorState& error) {
  try {
    if (!pack::VerifySums(cx.env(), folder, cx.CheckedSums.get())) WriteImportLog(cx, Kestrel20ImpExp::kNoPackSumsNotice);
    return true;
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    error.Set(e.number(), e.description());
    WriteImportLog(cx, e.description());
    return false;
  }
}

}  // namespace kestrel::importer
