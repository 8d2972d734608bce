// The per-profile import: the walk of the header file that renumbers the
// pack's profiles and deletes what they replace, the loaders in their order,
// and the repair of the chains below replaced profiles. There is no database
// transaction: each statement commits by itself, which is why the pack is
// checked before the first delete.
#include "import/transaction.h"

#include <memory>

#include "component/error.h"
#include "component/files.h"
#include "component/value.h"
#include "import/app_import.h"
#include "import/entry_points.h"
#include "import/header_import.h"
#include "import/hierarchy.h"
#include "import/loaders.h"
#include "import/lookups.h"
#include "import/plan_lookups.h"
#include "import/run_log.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/statements_import_transaction.h"

namespace Kestrel20ImpExp::detail {
namespace {

constexpr std::string_view kHeaderLogPrefix = "qzmap100.dat ----> ";

std::string JoinFields(const std::vector<std::string>& fields, const std::string& separator) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) out += separator;
    out += fields[i];
  }
  return out;
}

// Deletes the application when the store holds it, between its two log lines.
void ReplaceApplication(ImportState& s, const std::string& appl) {
  if (!ApplicationExists(s, appl)) return;
  WriteImportLog(s, "Deleting existing application: " + appl);
  DeleteApplication(s, appl);
  WriteImportLog(s, "Deleted application: " + appl);
}

// Logs how a step of ImportProfileEx ended: `done`, or, after a failure, the
// error text when that step logs it and then `failed`.
bool Step(ImportState& s, bool ok, std::string_view done, std::string_view failed, bool log_error) {
  if (ok) {
    WriteImportLog(s, done);
    return true;
  }
  if (log_error) WriteImportLog(s, s.Error.ErrorDescription);
  WriteImportLog(s, failed);
  return false;
}

}  // namespace

bool WalkHeaderFile(ImportState& s, HeaderWalk mode, std::vector<std::string>& map, std::vector<std::string>& adjust,
                    size_t& line_number) {
  const bool importing = mode == HeaderWalk::Import;
  const size_t entries = s.Plan.Size < 0 ? 0 : static_cast<size_t>(s.Plan.Size) + 1;
  map.assign(entries, std::string());
  adjust.assign(entries, std::string());
  line_number = 0;

  auto in = files::TextReader::Open(files::PathInFolder(s.Path, "Qzmap100.dat"));
  std::string line;
  for (size_t i = 0; in->ReadLine(line); ++i) {
    line_number = in->line_number();
    if (importing) WriteImportLog(s, std::string(kHeaderLogPrefix) + line);
    int32_t position = 0;
    std::vector<std::string> fields;
    if (!ApplySelectionToHeader(s, line, position, fields)) return false;
    if (importing) WriteImportLog(s, std::string(kHeaderLogPrefix) + JoinFields(fields, s.FieldSeparator));

    // The map and the adjust list have one element per plan entry.
    if (i >= entries) RaiseRuntime(rt::SubscriptOutOfRange);
    const std::string& number = fields[0];
    map[i] = number + "_" + fields[3] + "_" + fields[4] + "_" + fields[5];
    adjust[i] = "_";
    if (!importing) continue;

    const int64_t mprf = Value(number).Integer();
    if (ProfileExists(s, mprf)) {
      adjust[i] = number + "_" + GetDerivedProfiles(s, number);
      WriteImportLog(s, "Profiles to adjust: " + adjust[i]);
      WriteImportLog(s, "Deleting existing profile: " + number);
      DeleteProfile(s, mprf);
      WriteImportLog(s, "Profile deleted: " + number);
    }
    ReplaceApplication(s, fields[1]);
    ReplaceApplication(s, fields[2]);
    s.Report("profiles", static_cast<int64_t>(i) + 1);
  }
  in->Close();
  return true;
}

bool ValidateAndImportEx(ImportState& s) {
  std::vector<std::string> adjust;
  try {
    std::string place;
    if (!CheckLogicPackFiles(s, place)) {
      s.RefusedAt = place;
      WriteImportLog(s, s.Error.ErrorDescription);
      WriteImportLog(s, std::string(kCheckRefused) + place);
      return false;
    }

    std::vector<std::string> map;
    size_t line_number = 0;
    if (!WalkHeaderFile(s, HeaderWalk::Import, map, adjust, line_number)) return false;
    ReverseStringArray(s, map);
    SetHeaderMap(s, std::move(map));

    if (!ImportProfileEx(s)) {
      WriteImportLog(s, s.Error.ErrorDescription);
      WriteImportLog(s, "ImportProfileEx failed.");
      return false;
    }
    AdjustDerivedChains(s, adjust);
    return true;
  } catch (const std::exception& ex) {
    s.Error.Trap(kTransactionUnexpected, kValidateAndImportHead, AsComError(ex));
    return false;
  }
}

void DeleteProfile(ImportState& s, int64_t mprf) {
  store::Connection& c = ConnectionOf(s);
  for (std::string_view table : store::ProfileTables()) {
    try {
      c.Execute(store::DeleteProfileRows(c.dialect(), table, mprf));
    } catch (const ComError&) {
      // The next table is still cleared.
    }
  }
}

void DeleteApplication(ImportState& s, const std::string& appl) {
  store::Connection& c = ConnectionOf(s);
  for (std::string_view table : store::ApplicationTables()) {
    try {
      c.Execute(store::DeleteApplicationRows(c.dialect(), table, appl));
    } catch (const ComError&) {
      // The next table is still cleared.
    }
  }
}

bool ImportProfileEx(ImportState& s) {
  try {
    WriteImportLog(s, "Importing Application ...");
    if (!Step(s, ImportApplicationsFromLogicPack(s), "Importing Application...done",
              "Importing Application Failed.", false))
      return false;

    WriteImportLog(s, "Importing qzmap100...");
    std::string imported;
    if (!Step(s, ImportProfileHeaders(s, imported), "Importing qzmap100...done", "Importing qzmap100 failed",
              true))
      return false;

    // The library loader has no trap of its own: its failure ends here, in
    // this procedure's trap.
    WriteImportLog(s, "Importing qzlib100...");
    if (!Step(s, LoadLibraryFiles(s), "Importing qzlib100...done", "Importing qzlib100 failed.", false))
      return false;

    WriteImportLog(s, "Importing qzmap120...");
    if (!Step(s, LoadToMAP120_130_140_160(s), "Importing qzmap120...done", "Importing qzmap120 failed.", true))
      return false;

    // A failure of the shared functions is logged with the rules' text.
    WriteImportLog(s, "Importing qzmap150...");
    if (!Step(s, LoadToMAP150(s), "Importing qzmap150...done", "Importing qzmap120 failed.", false))
      return false;

    if (s.ManifestRevisions) {
      WriteImportLog(s, "Importing qzmap110, 125...");
      if (!Step(s, LoadToMAP110_125_135_145_165(s), "Importing qzmap110, 125...done",
                "Importing qzmap110, 125 failed", false))
        return false;
    }
    return true;
  } catch (const std::exception& ex) {
    s.Error.Trap(kProfileImportUnexpected, ImportTrapHead("ImportProfileEx"), AsComError(ex));
    return false;
  }
}

}  // namespace Kestrel20ImpExp::detail
