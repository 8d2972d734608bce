// What an import tells its run log, as events: the step it is at, what it
// deleted and created, the values it decided and the failures it met, each
// with its typed fields. The engine says what happened and never how a line
// of the log reads; a face renders the events (the component's renderer,
// kestrel/run_log_text.h, gives the run log's lines as they always read) or
// keeps them as they are.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kestrel/env.h"
#include "kestrel/error.h"

namespace kestrel {

// The loaders of an import, in the order they run.
enum class ImportStep : uint8_t {
  Applications,  // the application data
  Headers,       // the profile headers (qzmap100)
  Library,       // the function library (qzlib100)
  Rules,         // the current rules (qzmap120 and the other rule files)
  Functions,     // the shared functions (qzmap150)
  Revisions,     // the revision history (qzmap110, qzmap125, ...)
};

struct RunLogEvent {
  enum class Kind : uint8_t {
    // A call starts or ends: an import, the check of a pack on its own, a
    // verification of the selection; the import hands over to the loading.
    ImportStarted,
    ImportEnded,
    CheckStarted,
    VerifyStarted,
    LoadingStarted,
    // The selection as the call got it (`text`: the pack's entries, the
    // targets), and the import plan: a header line, then one event per
    // entry (`index`, `profile`, `fields`: source and target application,
    // parent), first the pack's side, then the targets'.
    PackContents,
    ImportPreference,
    PlanHeader,
    PlanEntry,
    // The development VRC of each plan entry (`index`, `fields`: version,
    // release, customer; none when the pack has no revisions or lacks it),
    // after a header line.
    DevelopmentVrcHeader,
    DevelopmentVrc,
    // A list reversed (after "sorting"), then its elements (`index`, `text`).
    ArraySorted,
    ArrayElement,
    // The pack's sums: the pack carries none and the host took it anyway.
    PackWithoutSums,
    // The check of the pack's files starts, passes; it refused the pack at
    // `text` (file and line), after a Failure event with its error.
    PackCheckStarted,
    PackCheckDone,
    PackRefused,
    // A loader starts, ends, fails (`step`); a procedure failed as a whole.
    StepStarted,
    StepDone,
    StepFailed,
    ProcedureFailed,  // `procedure`
    // The header file's lines as read and with the selection applied (`text`).
    HeaderLineRead,
    HeaderLineSelected,
    // A stored profile the pack replaces: its derived profiles (`text`, the
    // profile then "_" and the list), its delete and the delete done.
    ProfilesToAdjust,
    ProfileDeleting,
    ProfileDeleted,
    // A stored application the pack replaces (`application`).
    ApplicationDeleting,
    ApplicationDeleted,
    // The working folder of the application data (`path`): made (before and
    // after), not removed (`error`); one an earlier import left, removed or
    // not removed (`error`).
    FolderCreating,
    FolderCreated,
    FolderNotRemoved,
    LeftFolderRemoved,
    LeftFolderNotRemoved,
    // The store still holds an application the import was to replace.
    ApplicationStillStored,
    // An application's data loads (`application`), a table's data file is
    // missing (`table`), the application is loaded, or failed (`table`
    // when the load of one table failed).
    ApplicationLoading,
    DataFileMissing,
    ApplicationLoaded,
    ApplicationLoadFailed,
    // The VRC (`vrc`, "version_release_customer") a profile header gets: as
    // the pack has it, generated for one the store has taken, as the store
    // has it, for an update profile.
    VrcFromPack,
    VrcGenerated,
    VrcPresent,
    VrcForUpdateProfile,
    // A profile header row written (`fields`: the row's values, the owner
    // left out), and the profiles imported (`text`).
    HeaderInserted,
    ProfilesImported,
    // The import was rolled back after a failure, or as a dry run.
    RolledBack,
    DryRunRolledBack,
    // A failure, logged as it is (`error`); one a procedure's trap caught
    // (`procedure`, `error`); one nothing expected (`error`).
    Failure,
    Trap,
    Unexpected,
    // What the verification of the selection found (`text`: the findings'
    // texts, "" when it passed).
    SelectionVerified,
  };

  Kind kind = Kind::Failure;
  ImportStep step = ImportStep::Applications;
  int64_t index = -1;
  std::string profile{};
  std::string application{};
  std::string table{};
  std::string vrc{};
  std::string path{};
  std::string procedure{};
  std::string text{};
  std::vector<std::string> fields{};
  std::optional<Error> error{};
};

// Where a call's run log goes: each event, with the Env of the call and the
// run log file the installation has ("" when it has none). Called on the
// call's threads; it must not throw.
using RunLogFn = std::function<void(Env& env, const std::string& file, const RunLogEvent& event)>;

}  // namespace kestrel
