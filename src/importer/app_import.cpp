// The application data import: import folder, copies and re-coding of the
// data files, and the two ways of loading them.
#include "importer/app_import.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <utility>

#include <fmt/format.h>

#include "base/datetime.h"
#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "base/text.h"
#include "importer/batch_runner.h"
#include "importer/install.h"
#include "importer/plan_lookups.h"
#include "importer/run_log.h"
#include "kestrel/store.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "store/staging.h"
#include "store/statements_profiles.h"

namespace kestrel::importer {
namespace {

// The tables of an application's data files, in the order they are copied,
// loaded and deleted. The code table is shared by all applications: it is
// never re-coded, and the batch file has no line for it.
constexpr std::array<std::string_view, 12> kDataTables = {
    "qzddi100", "qzddi101", "qzddi140", "qzddi150", "qzddi160", "qzddi200",
    "qzddi220", "qzddi230", "qzlgy115", "qzlgy140", "qzlgy141", "qzlgy150"};
constexpr std::string_view kCodeTable = "qzlgy115";

constexpr std::string_view kDirectPath = "6";
// The staging store of an application's batch file, beside its data files.
constexpr std::string_view kStagingSuffix = ".staging";
constexpr int64_t kDirectRowsPerBatch = 2000;
// Scripted imports one after another may start within one second.
constexpr int kMostFoldersPerSecond = 1000;

std::string DataFilePath(const std::string& folder, std::string_view table, const std::string& application) {
  return files::Join(folder, pack::DataFileName(table, application));
}

// Deletes the batch file however its procedure is left: it holds the password.
class DeleteOnExit {
 public:
  DeleteOnExit(Env& env, std::string path) : env_(env), path_(std::move(path)) {}
  ~DeleteOnExit() {
    try {
      if (files::FileExists(env_, path_)) files::DeleteFile(env_, path_);
    } catch (...) {
    }
  }
  DeleteOnExit(const DeleteOnExit&) = delete;
  DeleteOnExit& operator=(const DeleteOnExit&) = delete;

 private:
  Env& env_;
  std::string path_;
};

bool Holds(std::string_view value, std::string_view characters) {
  return value.find_first_of(characters) != std::string_view::npos;
}

[[noreturn]] void RefuseBatchValue(const std::string& why) {
  Raise(Ours::UnsafeBatchValue, fmt::format("{}: {}", DefaultText(Ours::UnsafeBatchValue), why));
}

// Runs `write`, which writes `file` in the import folder: its failure (a
// full disk, most often) is the folder's, named with the file and the cause,
// never the store's or the pack's.
template <class Write>
void WriteInImportFolder(const std::string& file, Write&& write) {
  try {
    write();
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    if (e.number() == Number(Ours::ImportInterrupted) || e.number() == Number(Ours::WorkFolderWriteFailed)) throw;
    RaiseWithDetail(Ours::WorkFolderWriteFailed, fmt::format("{}: error {}: {}", file, e.number(), e.description()));
  }
}

}  // namespace

std::string CreateImportFolder(const ImportContext& cx) {
  const std::string base = files::Join(cx.TempFolder(), std::string(kImportFolderPrefix) + FormatCompact(cx.env().Now()));
  for (int k = 1;; ++k) {
    const std::string folder = k == 1 ? base : fmt::format("{}-{}", base, k);
    if (k < kMostFoldersPerSecond && files::FolderExists(cx.env(), folder)) continue;
    Log(cx, RunLogEvent{.kind = LogKind::FolderCreating, .path = folder});
    try {
      files::CreateFolder(cx.env(), folder);
    } catch (const ComError& e) {
      // Another import took the name between the look and the creation.
      if (e.number() != rt::FileAlreadyExists || k >= kMostFoldersPerSecond) throw;
      continue;
    }
    Log(cx, RunLogEvent{.kind = LogKind::FolderCreated, .path = folder});
    return folder;
  }
}

namespace {

// Removes an import folder's files, its lock file last, then the folder: one
// that cannot be removed whole keeps its lock file, so that a later import
// tries again.
void RemoveImportFolder(Env& env, const std::string& folder) {
  for (const std::string& name : env.ListFiles(folder))
    if (name != kImportFolderLock) env.DeleteFile(files::Join(folder, name));
  const std::string lock = files::Join(folder, kImportFolderLock);
  if (env.FileExists(lock)) env.DeleteFile(lock);
  env.DeleteFolder(folder);
}

// Holds the import folder's lock while the import uses it and removes the
// folder however the import of the applications is left: its copies of the
// data are of no use afterwards, and a batch file in it holds the store's
// password. A folder that will not go is logged, not raised, so that it
// never hides the import's own outcome. A folder kept on purpose loses its
// lock file, which keeps later imports from taking it for a leftover.
class RemoveFolderOnExit {
 public:
  RemoveFolderOnExit(const ImportContext& cx, std::string folder, bool keep)
      : cx_(cx), folder_(std::move(folder)), keep_(keep) {
    try {
      lock_ = cx_.env().CreateLockedFile(files::Join(folder_, kImportFolderLock));
    } catch (...) {
      try {
        cx_.env().DeleteFolder(folder_);
      } catch (...) {
      }
      throw;
    }
  }
  ~RemoveFolderOnExit() {
    try {
      if (keep_)
        cx_.env().DeleteFile(files::Join(folder_, kImportFolderLock));
      else
        RemoveImportFolder(cx_.env(), folder_);
    } catch (const std::exception& ex) {
      try {
        Log(cx_, RunLogEvent{.kind = LogKind::FolderNotRemoved, .path = folder_, .error = AsComError(ex)});
      } catch (...) {
      }
    }
  }
  RemoveFolderOnExit(const RemoveFolderOnExit&) = delete;
  RemoveFolderOnExit& operator=(const RemoveFolderOnExit&) = delete;

 private:
  const ImportContext& cx_;
  std::string folder_;
  bool keep_;
  std::unique_ptr<FileLock> lock_;
};

}  // namespace

void RemoveLeftImportFolders(const ImportContext& cx) noexcept {
  try {
    Env& env = cx.env();
    for (const std::string& name : env.ListFolders(cx.TempFolder())) {
      if (!name.starts_with(kImportFolderPrefix)) continue;
      const std::string folder = files::Join(cx.TempFolder(), name);
      // No lock file: kept on purpose (or made by an older release). A
      // lock that is held: an import is using the folder.
      const std::unique_ptr<FileLock> lock = env.TryLockFile(files::Join(folder, kImportFolderLock));
      if (!lock) continue;
      try {
        RemoveImportFolder(env, folder);
        Log(cx, RunLogEvent{.kind = LogKind::LeftFolderRemoved, .path = folder});
      } catch (const std::exception& ex) {
        Log(cx, RunLogEvent{.kind = LogKind::LeftFolderNotRemoved, .path = folder, .error = AsComError(ex)});
      }
    }
  } catch (...) {
    // Leftovers cost room on the disk, never the import.
  }
}

bool IsNotInList(const std::vector<std::string>& list, const std::string& text) {
  for (const auto& element : list)
    if (element == text) return false;
  return true;
}

void ImportApplicationsFromLogicPack(const PlannedPack& planned, const ImportContext& cx) {
  const ImportOptions& o = planned.options;
  const ImportPlan& plan = planned.plan;
  try {
    RemoveLeftImportFolders(cx);
    const std::string folder = CreateImportFolder(cx);
    const RemoveFolderOnExit remove_folder(cx, folder, o.KeepWork);
    // Starts with one empty entry, which the first application replaces.
    std::vector<std::string> imported(1);
    bool first = true;
    for (const PlanEntry& entry : plan.Entries) {
      for (size_t j = 0; j < 2; ++j) {
        const std::string& in_pack = entry.source.Application(j);
        const std::string& chosen = entry.target.Application(j);
        const bool recoded = in_pack != chosen;
        const std::string& application = recoded ? chosen : in_pack;
        if (!IsNotInList(imported, application)) continue;

        store::Connection& c = ConnectionOf(cx);
        auto stored = c.OpenRecordset(store::SelectApplicationRows(c.dialect(), "qzddi100", application));
        if (!(stored->BOF() && stored->IsEOF())) {
          // The walk deleted every application the pack brings: one still
          // stored fails the step with nothing more to say than the log's line.
          Log(cx, LogKind::ApplicationStillStored);
          throw Failure(0, "");
        }
        stored->Close();

        CopyApplicationDataFiles(cx.env(), o.Path, planned.manifest.files, folder, in_pack);
        if (recoded) RenameApplicationDataFiles(cx.env(), folder, in_pack, chosen);
        if (UsesBatchPath(cx))
          LoadDDITablesEx(o, cx, plan, application, folder);
        else
          LoadDDITablesDmo(o, cx, application, folder);
        if (first)
          imported[0] = application;
        else
          imported.push_back(application);
        first = false;
        DeleteApplicationDataFiles(cx.env(), folder, application);
      }
    }
  } catch (const Failure&) {
    throw;
  } catch (const std::exception& ex) {
    ComError e = AsComError(ex);
    Log(cx, RunLogEvent{.kind = LogKind::Trap, .procedure = "ImportApplicationsFromLogicPack", .error = e});
    throw Failure(e.number(), e.description());
  }
}

std::vector<PackDataFile> ListedApplicationDataFiles(Env& env, const std::string& pack_folder,
                                                     const std::vector<std::string>& listed,
                                                     const std::string& application) {
  std::vector<PackDataFile> found;
  for (std::string_view table : kDataTables) {
    std::optional<std::string> path = files::ResolveInFolder(env, pack_folder, pack::DataFileName(table, application));
    if (!path) continue;
    const std::string_view name = std::string_view(*path).substr(path->rfind('/') + 1);
    // An entry names the file when it is its name, or resolves to it the way
    // the file itself was found.
    const bool is_listed = std::any_of(listed.begin(), listed.end(), [&](const std::string& entry) {
      if (!text::EqualNoCase(entry, name)) return false;
      return entry == name || files::ResolveInFolder(env, pack_folder, entry) == path;
    });
    if (!is_listed)
      RaiseWithDetail(Ours::UnlistedPackFile,
                      fmt::format("{} is in the pack folder, but its manifest does not list it", *path));
    found.push_back(PackDataFile{table, std::move(*path)});
  }
  return found;
}

void CopyApplicationDataFiles(Env& env, const std::string& pack_folder, const std::vector<std::string>& listed,
                              const std::string& import_folder, const std::string& application) {
  for (const PackDataFile& file : ListedApplicationDataFiles(env, pack_folder, listed, application)) {
    // A copy cut short would load part of the application's rows.
    const std::string to = files::Join(import_folder, pack::DataFileName(file.table, application));
    WriteInImportFolder(to, [&] { files::CopyFile(env, file.path, to); });
  }
}

void RenameApplicationDataFiles(Env& env, const std::string& import_folder, const std::string& old_code,
                                const std::string& new_code) {
  for (std::string_view table : kDataTables) {
    if (!TableIsRecoded(table)) continue;
    if (files::FileExists(env, DataFilePath(import_folder, table, old_code)))
      RenameApplicationInFile(env, import_folder, old_code, new_code, std::string(table));
  }
}

bool TableIsRecoded(std::string_view table) { return table != kCodeTable; }

void RecodeApplicationInLine(std::string_view line, const std::string& old_code, const std::string& new_code,
                             std::string& recoded) {
  const std::string old_field = old_code + files::kFieldSeparator;
  recoded.clear();
  size_t start = 0;
  for (size_t at; (at = line.find(old_field, start)) != std::string_view::npos; start = at + old_field.size()) {
    recoded.append(line, start, at - start);
    recoded += new_code;
    recoded += files::kFieldSeparator;
  }
  recoded.append(line, start, std::string_view::npos);
}

void RenameApplicationInFile(Env& env, const std::string& import_folder, const std::string& old_code,
                             const std::string& new_code, const std::string& table) {
  const std::string from = DataFilePath(import_folder, table, old_code);
  const std::string to = DataFilePath(import_folder, table, new_code);
  WriteInImportFolder(to, [&] {
    auto in = files::TextReader::Open(env, from);
    auto out = files::TextWriter::Create(env, to);
    std::string line, recoded;
    while (in->ReadLine(line)) {
      RecodeApplicationInLine(line, old_code, new_code, recoded);
      out->WriteLine(recoded);
    }
    in->Close();
    out->Close();
  });
  files::DeleteFile(env, from);
}

std::string BatchFileLine(const ImportOptions& o, const std::string& store, const std::string& import_folder,
                          const std::string& application, std::string_view table) {
  return fmt::format("bcp {}..{} in \"{}\" -c -m 1 -b 1000 -C RAW -t \"{}\" -S {} -U \"{}\" -P \"{}\"", store, table,
                     DataFilePath(import_folder, table, application), o.FieldSeparator, o.DatabaseServer,
                     o.DatabaseUser, o.DatabasePassword);
}

void CheckBatchLineValues(const ImportOptions& o, const ImportContext& cx, const ImportPlan& plan) {
  const std::string line_end_or_quote = "\r\n\"";
  const std::string line_end_quote_or_blank = "\r\n\" ";
  if (o.DatabaseServer.empty()) RefuseBatchValue("the server is empty");
  if (Holds(o.DatabaseServer, line_end_quote_or_blank))
    RefuseBatchValue(fmt::format("the server {} holds a blank, a double quote or a line end",
                                 QuoteForMessage(o.DatabaseServer)));
  if (Holds(o.DatabaseUser, line_end_or_quote)) RefuseBatchValue("the user holds a double quote or a line end");
  if (Holds(o.DatabasePassword, line_end_or_quote))
    RefuseBatchValue("the password holds a double quote or a line end");
  if (o.DatabaseName.empty()) RefuseBatchValue("the store (database name) is empty");
  if (Holds(o.DatabaseName, line_end_quote_or_blank))
    RefuseBatchValue(fmt::format("the store {} holds a blank, a double quote or a line end",
                                 QuoteForMessage(store::MaskedLocation(o.DatabaseName))));
  const std::string folder = cx.TempFolder();
  if (Holds(folder, line_end_or_quote))
    RefuseBatchValue(
        fmt::format("the import folder below {} holds a double quote or a line end", QuoteForMessage(folder)));
  if (Holds(o.FieldSeparator, line_end_quote_or_blank))
    RefuseBatchValue("the field separator holds a blank, a double quote or a line end");
  // The pack's codes before the chosen ones, each side's source application
  // before its target application: the first refused code is named.
  for (const PlanProfile PlanEntry::*side : {&PlanEntry::source, &PlanEntry::target})
    for (size_t j = 0; j < 2; ++j)
      for (const PlanEntry& entry : plan.Entries)
        if (const std::string& application = (entry.*side).Application(j); Holds(application, line_end_or_quote))
        RefuseBatchValue(
            fmt::format("the application {} holds a double quote or a line end", QuoteForMessage(application)));
}

bool UsesBatchPath(const ImportContext& cx) { return ReadIISSetting(cx) != kDirectPath; }

void LoadDDITablesEx(const ImportOptions& o, const ImportContext& cx, const ImportPlan& plan,
                     const std::string& application, const std::string& import_folder) {
  try {
    CheckBatchLineValues(o, cx, plan);
    pack::CheckApplicationCode(application);
    const std::string batch = files::Join(import_folder, application + ".Bat");
    const std::string staging_path = files::Join(import_folder, application + std::string(kStagingSuffix));
    DeleteOnExit remove_batch(cx.env(), batch);
    DeleteOnExit remove_staging(cx.env(), staging_path), remove_log(cx.env(), staging_path + "-wal"),
        remove_index(cx.env(), staging_path + "-shm");
    std::vector<std::string_view> tables;
    for (std::string_view table : kDataTables)
      if (table != kCodeTable) tables.push_back(table);

    // The lines load a staging store of their own: the store is written only
    // through this connection, inside the import's unit, so that a failure
    // anywhere leaves nothing of the application behind.
    store::Connection& c = ConnectionOf(cx);
    store::Staging staging(c, staging_path, tables);
    WriteInImportFolder(batch, [&] {
      auto out = files::TextWriter::CreatePrivate(cx.env(), batch);
      for (std::string_view table : tables)
        out->WriteLine(BatchFileLine(o, staging_path, import_folder, application, table));
      out->Close();
    });
    RunBatchFile(cx.env(), batch, BulkCopyProgram(cx.env()));

    for (size_t i = 0; i < tables.size(); ++i) {
      const std::string table(tables[i]);
      try {
        const int64_t total = cx.CountedRows(pack::DataFileName(table, application));
        staging.CopyInto(table, kDirectRowsPerBatch,
                         [&cx, &table, total](int64_t rows) { cx.Report(table, rows, total); });
      } catch (const ComError& e) {
        if (e.number() == Number(Ours::ImportInterrupted)) throw;
        Raise(Ours::BulkLoadFailed,
              fmt::format("{}: line {} of {} (table {}) could not be copied into the store: error {}: {} of {}",
                          DefaultText(Ours::BulkLoadFailed), i + 1, batch, table, e.number(), e.description(),
                          DataFilePath(import_folder, table, application)));
      }
    }
    staging.Close();
  } catch (const std::exception& ex) {
    ComError e = AsComError(ex);
    if (e.number() == Number(Ours::UnsafeBatchValue) || e.number() == Number(Ours::BulkLoadFailed) ||
        e.number() == Number(Ours::WorkFolderWriteFailed))
      throw Failure(e.number(), e.description());
    throw Failure(Trapping(kBatchLoadUnexpected, TrapHead::Import, "LoadDDITablesEx", e));
  }
}

namespace {

// Where the bulk loader writes its log and the rows it refused.
struct BulkLogFiles {
  std::string log, errors;
};

// Loads one data file into its table; `logs` says where its log and error
// files go, `rows` is the file's rows where known (0 where not) for the
// progress. A failure raises its number and "Loading to table T failed." +
// CR LF + its text, with the table as its place.
void BulkCopyTable(const ImportContext& cx, const std::string& table, const std::string& data_file,
                   const std::string& delimiter, const BulkLogFiles& logs, int64_t rows) {
  try {
    if (delimiter != std::string(1, files::kFieldSeparator))
      Raise(Ours::Internal, "The bulk loader splits fields at character 1 only");
    store::BulkLoadOptions options;
    options.rows_per_batch = kDirectRowsPerBatch;
    options.log_path = logs.log;
    options.error_path = logs.errors;
    options.progress = [&cx, &table, rows](int64_t done) { cx.Report(table, done, rows); };
    ConnectionOf(cx).BulkLoad(cx.env(), table, data_file, options);
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    kestrel::Place place;
    place.table = table;
    throw Error(e.number(), fmt::format("Loading to table {} failed.\r\n{}", table, e.description()),
                std::move(place));
  }
}

}  // namespace

void LoadDDITablesDmo(const ImportOptions& o, const ImportContext& cx, const std::string& application,
                      const std::string& import_folder) {
  Log(cx, RunLogEvent{.kind = LogKind::ApplicationLoading, .application = application});
  try {
    store::Connection& c = ConnectionOf(cx);
    if (!c.CanBulkLoad()) {
      const ComError refused(store::kNoBulkRights, std::string(store::kNoBulkRightsText));
      LogFailure(cx, refused);
      throw refused;
    }
    for (std::string_view table : kDataTables) {
      const std::string data_file = DataFilePath(import_folder, table, application);
      if (!files::FileExists(cx.env(), data_file)) {
        Log(cx, RunLogEvent{.kind = LogKind::DataFileMissing, .table = std::string(table)});
        continue;
      }
      const std::string stem = files::Join(import_folder, std::string(table) + application);
      BulkCopyTable(cx, std::string(table), data_file, o.FieldSeparator, BulkLogFiles{stem + ".log", stem + ".err"},
                    cx.CountedRows(pack::DataFileName(table, application)));
    }
    Log(cx, RunLogEvent{.kind = LogKind::ApplicationLoaded, .application = application});
  } catch (const std::exception& ex) {
    ComError e = AsComError(ex);
    // A table whose load failed is named; any other failure is the application's.
    Log(cx, RunLogEvent{.kind = LogKind::ApplicationLoadFailed, .application = application, .table = e.place().table});
    throw Failure(e.number(), e.description());
  }
}

void DeleteApplicationDataFiles(Env& env, const std::string& import_folder, const std::string& application) {
  for (std::string_view table : kDataTables) {
    const std::string path = DataFilePath(import_folder, table, application);
    if (files::FileExists(env, path)) files::DeleteFile(env, path);
  }
}

}  // namespace kestrel::importer
