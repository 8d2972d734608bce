// The errors that are Kestrel's own, numbered from 9001: conditions the
// component's run time had no number for. The table behind DefaultText is the
// one list of their numbers and texts; docs/errors.md mirrors it for users.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "kestrel/export.h"

namespace kestrel {

enum class Ours : int32_t {
  Internal = 9001,            // a failure of the library itself (std::exception)
  AmbiguousFileName = 9002,   // two files in a folder match a name only without regard to case
  StoreFailure = 9003,        // a store refusal whose SQLite code would read as a run-time number
  CipherFailure = 9005,       // a text this cipher did not make
  BadApplicationCode = 9006,  // an application code that would leave the pack folder
  ChainTooLong = 9007,        // a loop of parent or base VRCs in the store
  MalformedPackFile = 9008,   // a line outside the pack file format
  UnsafeBatchValue = 9009,    // a value the bulk-load line format cannot carry
  BulkLoadFailed = 9010,      // a bulk-load line exited non-zero
  UpdateVrcExhausted = 9011,  // no free update VRC
  InvalidSelection = 9012,    // a target entry the command line cannot use
  UnwritableValue = 9013,     // a value a pack file cannot carry without breaking its format
  CipherExhausted = 9014,     // no salt gives the text a form that can be stored
  FieldNotFound = 9020,       // a recordset or a write names no column of the table
  NoCurrentRow = 9021,        // a recordset at BOF or EOF was read or changed
  StatementNotSingle = 9023,  // Execute was given more than one statement
  StoreKindUnsupported = 9024,  // a store location of a kind this build cannot open
  // Every row here has its row in docs/errors.md (a test checks it).
  ReplaceNotConfirmed = 9030, // an import would replace stored profiles or applications without --replace
  StoreLocked = 9031,          // another program held a lock on the store (its write lock, a table) for the whole wait
  ImportInterrupted = 9032,    // SIGINT or SIGTERM stopped an import, which was rolled back
  ImportRunning = 9033,        // the web wizard was asked for an import while its import into the store runs
  NulInValue = 9040,          // a value the import would write holds a NUL byte
  KeyCollision = 9041,        // rows the import would add collide on a unique key of the store
  TableMissing = 9042,        // the store lacks a table that a pack file is loaded into
  NothingToImport = 9043,     // a pack or selection that names no profile
  ApplicationCodeTooLong = 9044,  // an application code longer than a store column or a file name holds
  ProfileNotInPack = 9045,        // a rule of a profile the pack's header file does not hold
  ApplicationMismatch = 9046,     // an application data row of another application than its file's
  ApplicationCodesDifferByCase = 9047,  // two application codes of one pack that differ only by case
  NotARegularFile = 9050,     // a pack entry (or a file read) that is a link, folder, FIFO or device
  PackSumsMismatch = 9051,    // a pack file differs from what the pack's ExportMR.sums lists
  SumsNameOutsidePack = 9052,  // a line of ExportMR.sums names no file of the pack folder ("../x", "/x", "a/b")
  PackWithoutSums = 9053,      // a pack without ExportMR.sums, loaded without leave to take one
  UnlistedPackFile = 9054,     // a data file the import would load that the pack's manifest does not list
  ExportRootUnusable = 9060,  // the export root takes no pack folder (read-only, no permission, not a folder)
  WorkFolderWriteFailed = 9061,  // a file of the import's working folder could not be written (a full disk)
  NulInArgument = 9070,       // a text a host passes (a store location, a path, a user) holds a NUL byte
  RequestNotJson = 9080,      // a call of the web wizard that changes something with a body not declared JSON
  DiffTableUnknown = 9110,    // a diff asked for a table that no pack carries
  CommandLineInvalid = 9120,  // a command line that names no valid command or option (exit code 2), as --json reports it
  RenumberedProfileNotInPack = 9121,  // --renumber OLD=NEW (or --apps) for a profile the pack does not hold
  BareTargetNeedsOneProfile = 9122,   // a bare --target NUMBER for a pack of more than one profile
  ApplicationPairsMismatch = 9123,    // --apps with neither one pair nor one per pack profile
  ReplaceNotAsConfirmed = 9160,  // a wizard import would replace more than the person confirmed (the store changed)
  NotAProfileStore = 9130,    // a store location that opens, but holds no profile store (an SQLite file of other tables)
  ProfileNotStored = 9131,    // a profile number the store does not hold, where one it holds is needed
  StoresFileLine = 9180,         // a line of a stores file that is not blank, a comment or NAME = LOCATION
  StoresFileUnreadable = 9181,   // a stores file that cannot be read ($KESTREL_STORES naming none, a folder, no permission)
  ProfileHasDescendants = 9183,  // a delete of a profile others derive from
  ProfileNumberTaken = 9184,     // a renumber to a number the store holds a profile of
  ProfileNumberOutOfOrder = 9185,  // a renumber to a number not above the parent's and below the children's
  ChangeNotConfirmed = 9186,     // a delete not confirmed (no terminal to ask on, and no --yes)
  PackArchiveUnreadable = 9170,  // a pack archive cut short, or not a tar archive (plain or zstd)
  PackArchiveEntryRefused = 9171,  // an archive entry that is no plain pack file: a path, link, device, folder, duplicate
  PackArchiveTooLarge = 9172,    // an archive that unpacks to more entries or bytes than a pack has
  PackArchiveWriteFailed = 9173,  // the archive file (or standard output) could not be written
  PrivateFolderFailed = 9174,    // the private temporary folder an archive is unpacked into could not be made or written
  PackArchiveExists = 9175,      // an export to an archive file that exists, without leave to replace it
  PromoteIntoItself = 9200,      // a promote whose source and destination are one store
  RunNotKept = 9210,             // an undo of a run the store keeps no record of (never recorded, or pruned)
  RunUndoneAlready = 9211,       // an undo of a run that was undone already
  UndoCopyNotKept = 9212,        // an undo of a run that replaced profiles without keeping them (--no-undo)
  UndoAfterLaterRun = 9213,      // an undo of a run whose profiles a later run changed, without --force
};

KESTREL_API int32_t Number(Ours e);
KESTREL_API std::string_view DefaultText(Ours e);

// Every row of the table, in its order (docs/errors.md must list each one).
KESTREL_API std::vector<Ours> AllOurs();

}  // namespace kestrel
