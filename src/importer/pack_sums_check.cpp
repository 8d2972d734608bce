// The pack's files against its ExportMR.sums, before an import reads them.
#include "importer/pack_sums_check.h"

#include "base/errors_ours.h"
#include "importer/run_log.h"
#include "pack/sums.h"

namespace kestrel::importer {

void CheckPackSums(const ImportOptions& o, const ImportContext& cx) {
  try {
    if (!pack::VerifySums(cx.env(), o.Path, cx.CheckedSums.get())) {
      // Without sums a pack cut short or mixed with another reads as a
      // smaller pack: only the host's word takes it.
      if (!o.AllowPackWithoutSums) RaiseWithDetail(Ours::PackWithoutSums, o.Path);
      Log(cx, LogKind::PackWithoutSums);
    }
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    LogFailure(cx, e);
    throw e;
  }
}

}  // namespace kestrel::importer
