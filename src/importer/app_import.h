// The application data import: every application the import plan names is
// brought from the pack into the store before its profiles. Its data files
// are copied into a fresh import folder, re-coded when the user chose another
// code, and bulk-loaded, either directly by the store's bulk loader (the
// "IIS=" setting "6", the default) or by a batch file of `bcp` lines.
// Internal to the import and its tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "importer/import_context.h"
#include "importer/import_options.h"
#include "importer/import_results.h"
#include "importer/planned_pack.h"

namespace kestrel::importer {

inline constexpr int32_t kBatchLoadUnexpected = 899;

// The import folders' names start so; the lock file in each is held by the
// import using it, for as long as it does.
inline constexpr std::string_view kImportFolderPrefix = "ImportAt";
inline constexpr std::string_view kImportFolderLock = "ImportAt.lock";

// Removes the import folders of the installation's temporary folder that an
// import left behind when it was killed: those whose lock file no running
// import holds. A folder without a lock file (kept on purpose) stays. Each
// removal is logged; nothing here fails the import.
void RemoveLeftImportFolders(const ImportContext& cx) noexcept;

// Creates the import folder below the installation's temporary folder:
// "ImportAt" + DDMMYYHHMMSS, or with "-2", "-3", ... added when an import of
// the same second made that folder already. Logs " Before Creating folder: "
// + the folder before and after creating it. Returns its path.
std::string CreateImportFolder(const ImportContext& cx);

// Brings the applications of every plan entry (its source, then its target
// application) into the store, each once per call. Raises a Failure when an
// application is still stored ("Import failed. Applications not deleted
// before importing." logged, number 0), when loading fails (the loader's), or
// after an unexpected failure, which is logged first.
void ImportApplicationsFromLogicPack(const PlannedPack& planned, const ImportContext& cx);

// One data file of an application that the import loads from the pack.
struct PackDataFile {
  std::string_view table;
  std::string path;  // in the pack folder
};

// The data files of `application` that the import loads from `pack_folder`,
// in the order the tables are copied, loaded and deleted (the code table
// qzlgy115 among them): table + code + ".dat", the exact
// name first, else the one name that matches without regard to case. The
// manifest's file list `listed` must name each file found, by the same rule:
// one it does not name raises Ours::UnlistedPackFile naming it (a pack mixed
// with another's files, or added to after its export, is refused rather than
// loaded). Files of other names are never looked at, so they stay unread.
std::vector<PackDataFile> ListedApplicationDataFiles(Env& env, const std::string& pack_folder,
                                                     const std::vector<std::string>& listed,
                                                     const std::string& application);

// Copies the data files of an application that ListedApplicationDataFiles
// finds into the import folder under their exact names. An unlisted one
// raises; a copy that fails raises 9061 naming the copy and the cause.
void CopyApplicationDataFiles(Env& env, const std::string& pack_folder, const std::vector<std::string>& listed,
                              const std::string& import_folder, const std::string& application);

// Gives the import folder's data files of `old_code` the name and the inner
// code `new_code` (see RenameApplicationInFile); qzlgy115 is left alone.
void RenameApplicationDataFiles(Env& env, const std::string& import_folder, const std::string& old_code,
                                const std::string& new_code);
// One line of a data file with every old code followed by character 1
// replaced by the new code followed by character 1, into `recoded`.
void RecodeApplicationInLine(std::string_view line, const std::string& old_code, const std::string& new_code,
                             std::string& recoded);
// Whether the data files of `table` are re-coded when the application takes
// another code (all but the shared code table's).
bool TableIsRecoded(std::string_view table);

// Rewrites table + old code + ".dat" as table + new code + ".dat", every old
// code followed by character 1 replaced by the new code followed by
// character 1, and deletes the old file.
void RenameApplicationInFile(Env& env, const std::string& import_folder, const std::string& old_code,
                             const std::string& new_code, const std::string& table);

// True when no element of `list` equals `text` exactly.
bool IsNotInList(const std::vector<std::string>& list, const std::string& text);

// The batch path: writes application + ".Bat" (owner only), one `bcp` line
// per table from the options and the plan, each loading a staging store in
// the import folder (never the store itself), runs it without a shell, then
// copies the staged rows into the store through the connection, inside
// whatever transaction it holds. The batch file and the staging store are
// deleted whatever happens. Raises a Failure 9009 when a value cannot be carried by
// a line (CheckBatchLineValues), 9010 when a line fails or a staged row is
// refused by the store (naming the line, the table and the row), 899 on any
// other failure.
void LoadDDITablesEx(const ImportOptions& o, const ImportContext& cx, const ImportPlan& plan,
                     const std::string& application, const std::string& import_folder);

// The direct path: every data file of the application through the bulk
// loader on the connection, fields split at o.FieldSeparator, 2000 rows a
// batch, with a log and an error file per table in the import folder. Raises
// a Failure with the failure's number and text.
void LoadDDITablesDmo(const ImportOptions& o, const ImportContext& cx, const std::string& application,
                      const std::string& import_folder);

// Deletes the import folder's data files of an application.
void DeleteApplicationDataFiles(Env& env, const std::string& import_folder, const std::string& application);

// The line of the batch file that loads `table` into the store at `store`.
std::string BatchFileLine(const ImportOptions& o, const std::string& store, const std::string& import_folder,
                          const std::string& application, std::string_view table);

// Refuses (Ours::UnsafeBatchValue) what a batch file line cannot carry: an
// empty server or one holding a blank; a user or password holding a double
// quote; an empty store (DatabaseName) or one holding a blank or a double
// quote; an import folder or a plan application holding a double quote; and
// a line end anywhere. The message never shows the user or the password, nor
// the password of a server store's URI.
// The import runs it before loading by the batch path, and the pack check
// before anything is deleted.
void CheckBatchLineValues(const ImportOptions& o, const ImportContext& cx, const ImportPlan& plan);

// Whether the installation's setting chooses the batch path (not "6").
bool UsesBatchPath(const ImportContext& cx);

}  // namespace kestrel::importer
