// Kestrel's own interface: open a profile store, export a profile into a
// logic pack, read a pack, import it (checked first, renumbered if asked),
// compare two sides. Every face (the command line, the web wizard, the C
// interface, Python, and the classes that keep the original component's
// interface) is built on these calls; none of them needs a details string,
// a property or an error number read back from an object.
//
// Numbers are numbers, targets are structs, and every failure is one
// kestrel::Error (kestrel/error.h) carrying a number, a text and the place it
// is about (file and line, table, entry, path). Calls throw it; none returns
// a flag with a text beside it.
//
// Callers guarantee: a Store is used by one thread at a time; a Context and
// what it points at outlive the call it is handed to.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "kestrel/diff.h"
#include "kestrel/env.h"
#include "kestrel/error.h"
#include "kestrel/export.h"
#include "kestrel/import_summary.h"
#include "kestrel/inspect.h"
#include "kestrel/progress.h"
#include "kestrel/run_log.h"
#include "kestrel/runs.h"
#include "kestrel/store.h"

namespace kestrel {

// What a long call reports to and asks while it runs.
struct Context {
  // The way to files, clock, environment and child processes; nullptr takes
  // Env::Default().
  Env* env = nullptr;
  // Steps and rows done (may be empty). Called on the caller's thread.
  ProgressFn progress;
  // Lines to show while a call waits (another program's lock).
  NoticeFn notice;
  // Where the run log of an import, a check or a verification goes: its
  // events, with the installation's run log file (empty: none is kept).
  // The faces that keep the run log as it always read attach AppendRunLog
  // (kestrel/run_log_text.h).
  RunLogFn run_log;
  // Set to true, from any thread or a signal handler, to stop an import:
  // it rolls back and throws Ours::ImportInterrupted. nullptr: never.
  const std::atomic<bool>* stop = nullptr;

  Env& Environment() const { return env ? *env : Env::Default(); }
  bool StopRequested() const { return stop && stop->load(std::memory_order_relaxed); }
};

// ---- Stores ----

struct TableCount {
  std::string table;
  int64_t rows = 0;
};

// A profile store, opened by its location: a file path (SQLite) or a
// "postgresql://" URI or key=value string (PostgreSQL). Copies share one
// connection.
class KESTREL_API Store {
 public:
  // Opens an existing store (a missing file is 53 and never created). Every
  // statement waits at most `wait_seconds` for a lock another program holds,
  // then fails with 9031 naming what it waited for.
  static Store Open(const std::string& location, int wait_seconds = store::kDefaultLockWaitSeconds);
  // Creates a store with the empty schema (58 when it exists); with
  // `demo_scale` above 0 it is filled with the demo data at that scale, and
  // removed again when the filling fails.
  static Store Create(const std::string& location, int demo_scale = 0);
  // A store some other part opened (the component face's DataConnection).
  explicit Store(std::shared_ptr<store::Connection> connection, std::string location = "");

  // The location as given, and as a message may show it (passwords masked).
  const std::string& Location() const { return location_; }
  std::string ShownLocation() const;

  // Every profile, by number, with its place in the hierarchy and its rows.
  std::vector<inspect::StoredProfile> Profiles();
  // The rows of every table, in the schema's order.
  std::vector<TableCount> Counts();

  // The connection underneath, for the faces that hand it on.
  const std::shared_ptr<store::Connection>& Connection() const { return connection_; }

 private:
  std::shared_ptr<store::Connection> connection_;
  std::string location_;
};

// The depth a profile would have as a child of `parent` (1 for 0, a root):
// the parent's chain of base profiles, climbed through the store's chains.
// A parent the store does not hold is refused with 9131 (Ours::ProfileNotStored),
// naming it; the component's GetDepthOfProfile answers for one as if it were
// a root.
// Changes nothing and needs no installation.
KESTREL_API int ProfileDepth(Store& store, int parent, const Context& context = {});

// ---- Export ----

struct ExportRequest {
  int profile = 0;          // 1 to kMaxProfile
  std::string root{};       // the export root; "" takes DefaultExportRoot()
  bool single_profile = false;  // one profile with its rules resolved, else the chain of base profiles
  int new_number = 0;       // a single-profile pack announces this number to the import (0: none)
  bool traverse_parent = false;  // an object without rules takes its nearest ancestor's
  bool revisions = false;   // the revision information, when the profile keeps it
  int based_on = 0;         // ancestors numbered at or below it stay out of a chain pack (0: none)
  bool for_sync = false;
  bool overwrite = false;   // replace a pack of the same name (in one step)
};

struct ExportReport {
  std::string folder;                     // the pack folder written
  std::vector<std::string> files;         // as the manifest lists them: application data, then rules
  std::vector<std::string> applications;  // application codes, as listed
  bool revisions = false;                 // the pack carries revision information
  // Rows (records of a rule file) written per file, by file name.
  std::map<std::string, int64_t, std::less<>> rows;
};

// The highest profile number a store and a pack carry (16 bits, signed).
inline constexpr int kMaxProfile = 32767;

KESTREL_API ExportReport Export(Store& store, const ExportRequest& request, const Context& context = {});

// The export root an export uses when none is given: $KESTREL_EXPORT_ROOT,
// else $HOME/ImpExpMR; and the folder below a root that holds the packs.
KESTREL_API std::string DefaultExportRoot(const Context& context = {});
KESTREL_API std::string PacksFolder(const std::string& root);

// ---- Packs ----

struct Vrc {
  std::string version, release, customer;
  bool operator==(const Vrc&) const = default;
};

// One profile of a pack, from its header, hierarchy and definition files.
struct PackProfile {
  int number = 0;
  std::string source_application, target_application;
  int parent = 0;  // its parent as the pack's hierarchy says; 0 for a root
  int depth = 0;   // its level in that hierarchy (1 for a root)
  Vrc vrc;
  std::string description;
  std::string source_extn, target_extn;  // the applications' extn
};

// What the import of a pack profile asks for: the number and parent it gets
// in the store and the applications it serves.
struct Target {
  int profile = 0;
  std::string source_application{}, target_application{};
  int parent = 0;  // 0 for a root
  std::string source_extn{}, target_extn{};
  // What the store holds already, as a proposal or a verification finds it
  // (ignored on input): the profile number, either application, and a parent
  // the store lacks (never for a root).
  struct Stored {
    bool profile = false, source_application = false, target_application = false;
    bool parent_missing = false;
    bool operator==(const Stored&) const = default;
  } stored;
  bool operator==(const Target&) const = default;
};

struct PackReadOptions {
  // Take a pack without ExportMR.sums (an older export's); else 9053.
  bool allow_without_sums = false;
};

struct PackInfo {
  std::string folder;
  bool export_succeeded = false;  // the manifest's status line is "SUCCESS"
  bool revisions = false;
  bool for_sync = false;
  int new_profile_number = 0;     // 0: the pack keeps its profiles' numbers
  std::vector<std::string> applications;
  std::vector<PackProfile> profiles;     // in the header file's order
  std::vector<inspect::PackFile> files;  // by name, with rows and sums
  bool has_sums = false;
  std::vector<std::string> missing_files;  // listed in ExportMR.sums, not in the folder
};

// Reads a pack folder without a store. Reading checks the pack's files
// against ExportMR.sums first.
class KESTREL_API PackReader {
 public:
  explicit PackReader(std::string folder, PackReadOptions options = {}, Context context = {});
  // The manifest, profiles and files (every file read for its rows).
  PackInfo Info() const;
  // The pack's profiles as an import into `store` would start: one target
  // per pack profile, the manifest's new number applied, marked with what
  // the store holds.
  std::vector<Target> Proposal(Store& store) const;
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  PackReadOptions options_;
  Context context_;
};

// ---- Import ----

enum class ReplacePolicy {
  Refuse,   // 9030 when the import would delete stored profiles or applications
  Replace,  // delete and replace them
};

// Members of a class type carry "{}" so that a request made with designated
// initializers names only what it sets, warning-free.
struct ImportRequest {
  std::string pack{};
  // One per pack profile, in the pack's order; empty takes the proposal. A
  // target's extn left empty takes the pack's.
  std::vector<Target> targets{};
  // A pack profile's number → the number it gets in the store; applied to
  // the targets' numbers and parents after they are chosen.
  std::map<int, int> renumber{};
  ReplacePolicy replace = ReplacePolicy::Refuse;
  bool dry_run = false;    // run it all, then roll back
  bool keep_work = false;  // keep the working folder with its copies of the application data
  bool allow_without_sums = false;
  int wait_seconds = store::kDefaultLockWaitSeconds;  // for another program's write lock
  std::string user{};      // recorded as the last to change the rules; "" the login name
  std::string registry{};  // the registry file naming the installation; "" the default one
  // Records no run in the store (kestrel/runs.h), so keeps no undo copy of
  // what the import replaces: for imports too large to keep twice. A dry run
  // records none anyway.
  bool no_undo = false;
  // What the store's history names as the run's pack: the archive a folder
  // was unpacked from, the store a promotion came from; "" the pack as given.
  std::string recorded_as{};
};

struct ImportReport {
  // The pack's profiles imported, as the selection lists them (number,
  // applications, parent, extn; PackReader::Info has the rest).
  std::vector<PackProfile> sources;
  std::vector<Target> targets;       // what each became, marked as verified
  bool dry_run = false;
  bool committed = false;
  std::vector<int64_t> profiles_replaced;
  std::vector<std::string> applications_replaced;
  store::RowChangeCounts rows;  // per table
  double seconds = 0;
  std::string run_log;  // the run log file its events went to ("" when the context kept none)
  int64_t run = 0;      // the run recorded in the store (kestrel/runs.h); 0 when none was
};

// The targets the request names (or the proposal), renumbered, each marked
// with what the store holds (Target::stored): what an import would replace,
// for a face to show before it asks. Changes nothing.
KESTREL_API std::vector<Target> Targets(Store& store, const ImportRequest& request, const Context& context = {});

// What marked targets say an import would replace: "profile N" for every
// profile number the store holds, then "application X" for every application
// it holds, each named once, in list order.
KESTREL_API std::vector<std::string> WouldReplace(const std::vector<Target>& marked);

// The targets the request names (or the proposal), renumbered, checked
// against each other and the store (501 repeats, 502 parent not lower, 503,
// 504, values out of range): one Error per finding, each with the entry's
// index as its place; empty when the selection passes. Changes nothing.
KESTREL_API std::vector<Error> Verify(Store& store, const ImportRequest& request, const Context& context = {});

// Verify's findings, and the one failure Import throws for them: the number
// the import reports, their texts in the order found joined by blanks, the
// place of the first. No refusal when the selection passes.
struct SelectionVerdict {
  std::vector<Error> findings;
  std::optional<Error> refusal;
};
KESTREL_API SelectionVerdict Verdict(Store& store, const ImportRequest& request, const Context& context = {});

// The check an import runs before its first delete, alone: the selection
// verified, every file the import would load read and converted. Throws the
// first refusal with its place (file and line). Changes nothing.
KESTREL_API void Check(Store& store, const ImportRequest& request, const Context& context = {});

// Targets, WouldReplace, Verify and Check only read: they need no
// installation (no registry file); where one is recorded, Check writes its
// line into the installation's run log.

// Verifies, refuses a replacement the policy does not allow, checks the pack,
// and imports it as one unit of the store: all of it, or nothing. It needs
// the installation the registry file names (505 without one): its work
// folders and run log live there.
KESTREL_API ImportReport Import(Store& store, const ImportRequest& request, const Context& context = {});


// ---- Runs and their undo ----

// Records a run in the store, inside the transaction open on its connection
// (an edit's before_change, kestrel/profile_edits.h): `run`'s pack, user,
// added and replaced profiles, and the undo copy of the replaced profiles as
// the store holds them now, exported with their revisions for
// synchronisation so that an import puts them back as they are. Profiles
// that are not one chain of descent are recorded without an undo copy. An
// empty user takes the login name. Returns the run's id.
KESTREL_API int64_t RecordRun(Store& store, const store::Run& run, const Context& context = {});

// Drops the runs started more than `days` days before now (the Env's
// clock), with their undo copies; returns how many.
KESTREL_API int64_t PruneRuns(Store& store, int days, const Context& context = {});

struct UndoRequest {
  int64_t run = 0;
  bool force = false;  // undo even when later runs changed the same profiles
  int wait_seconds = store::kDefaultLockWaitSeconds;
  std::string user{};      // recorded as the last to change the rules; "" the login name
  std::string registry{};  // the registry file naming the installation; "" the default one
};

struct UndoReport {
  int64_t run = 0;       // the run undone
  int64_t undo_run = 0;  // the undo's own run, which may itself be undone
  std::vector<int64_t> restored;  // profiles put back from the undo copy
  std::vector<int64_t> deleted;   // profiles the run had added
  std::vector<std::string> applications_deleted;  // applications the run had added
  // An undone renumber: the profile's number before the undo and again now.
  std::optional<std::pair<int64_t, int64_t>> renumbered;
  store::RowChangeCounts rows;    // per table (none for a renumber undone)
};

// Puts the store back as it was before run `request.run`, in one
// transaction: the profiles it replaced imported from its undo copy, the
// profiles it added deleted with the applications it added (those no other
// profile serves); the run is marked undone by the undo's own run.
// Refuses a run the store does not keep (9210), one undone already (9211),
// one that replaced profiles without keeping an undo copy (9212), and, unless
// `force`, one whose profiles a later run that stands changed (9213, naming
// it).
KESTREL_API UndoReport Undo(Store& store, const UndoRequest& request, const Context& context = {});

// ---- Compare ----

// What differs between two sides (packs, a store's profile, a store): see
// kestrel/diff.h.
KESTREL_API diff::Result Diff(const diff::Side& a, const diff::Side& b, const diff::Options& options = {},
                              const Context& context = {});

}  // namespace kestrel
