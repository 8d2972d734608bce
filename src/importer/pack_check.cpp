// The check of a logic pack before an import deletes anything: every file the
// import will load is read and converted by the loaders' own procedures (the
// application data files by the row reader, at their tables' widths), without
// a row being written, and compared with the target store's schema (its
// tables, columns and unique keys), so that a pack that would fail half-way
// is refused while the store still holds what it held, or, for the files
// read beside the load, before the import's unit is committed.
#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "base/background_queue.h"
#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "base/text.h"
#include "importer/app_data_check.h"
#include "importer/app_import.h"
#include "importer/header_check.h"
#include "importer/key_collisions.h"
#include "importer/loaded_records.h"
#include "importer/pack_check.h"
#include "importer/pack_file_refusals.h"
#include "importer/plan_lookups.h"
#include "importer/run_log.h"
#include "importer/selection.h"
#include "importer/store_tables.h"
#include "importer/transaction.h"
#include "pack/naming.h"
#include "pack/text_checks.h"
#include "store/connection.h"
#include "store/schema.h"

namespace kestrel::importer {
namespace {

// The application codes chosen for the import fit the store's columns that
// hold them: "appl" of the application tables, the header's "sapp" or "tapp".
std::optional<PackRefusal> CheckApplicationWidths(const PlannedPack& planned, StoreTables& tables) {
  const ImportPlan& plan = planned.plan;
  for (const PlanEntry& entry : plan.Entries)
    for (size_t j = 0; j < 2; ++j) {
      const std::string& code = entry.target.Application(j);
      std::vector<std::pair<std::string_view, std::string_view>> columns = {{"qzmap100", j == 0 ? "sapp" : "tapp"}};
      for (std::string_view table : store::ApplicationTables()) columns.emplace_back(table, "appl");
      for (const auto& [table, column] : columns) {
        const std::optional<size_t> width = tables.Width(table, column);
        if (!width || code.size() <= *width) continue;
        return PackRefusal{
            Error(Number(Ours::ApplicationCodeTooLong),
                  TextWithDetail(Ours::ApplicationCodeTooLong,
                                 fmt::format("{} has {} bytes, the store's {}.{} holds {}", QuoteForMessage(code),
                                             code.size(), table, column, *width))),
            fmt::format("the target entry of pack profile {} ({} to {})", entry.source.profile,
                        entry.target.source_application, entry.target.target_application)};
      }
    }
  return std::nullopt;
}

// The files the load did not read through, read on two worker threads
// (while the caller checks the application data, when the check reads
// ahead). Whatever Start is given must outlive this object; dropping it
// stops the reading.
class RuleFileReadings {
 public:
  RuleFileReadings() = default;
  ~RuleFileReadings() { Stop(); }
  RuleFileReadings(const RuleFileReadings&) = delete;
  RuleFileReadings& operator=(const RuleFileReadings&) = delete;

  void Start(Env& env, const PlannedPack& planned, const std::vector<std::string>& header_map,
             std::vector<RuleFileCheck*> files) {
    Stop();
    files_ = std::move(files);
    stop_ = false;
    next_ = 0;
    for (auto& worker : workers_) {
      worker = std::make_unique<BackgroundQueue>(1);
      worker->Submit([this, &env, &planned, &header_map] {
        for (size_t i = next_++; i < files_.size() && !stop_; i = next_++) {
          RuleFileCheck& check = *files_[i];
          try {
            check.ReadThrough(env, planned, header_map, stop_);
          } catch (...) {
            check.Failed(std::runtime_error("The check of the file failed"), 0);
          }
        }
      });
    }
  }
  // Waits for every file.
  void Wait() {
    for (auto& worker : workers_)
      if (worker) worker->Drain();
  }
  void Stop() {
    stop_ = true;
    for (auto& worker : workers_) worker.reset();
  }

 private:
  std::vector<RuleFileCheck*> files_;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> next_{0};
  std::array<std::unique_ptr<BackgroundQueue>, 2> workers_;  // last: they use what comes before
};

// The checks still unread, up to the first that refused its file: a refusal
// after it would not be the first.
std::vector<RuleFileCheck*> Unread(std::vector<RuleFileCheck>& checks) {
  std::vector<RuleFileCheck*> unread;
  for (RuleFileCheck& check : checks) {
    if (check.verdict() == RuleFileCheck::Verdict::Refused) break;
    if (check.verdict() == RuleFileCheck::Verdict::Unread) unread.push_back(&check);
  }
  return unread;
}

// The profile numbers of the pack's header file, from its lines of the
// header's width (the walk of the header file has refused any other).
std::vector<int64_t> HeaderProfiles(Env& env, const ImportOptions& o) {
  std::vector<int64_t> numbers;
  auto in = files::TextReader::Open(env, files::PathInFolder(env, o.Path, "Qzmap100.dat"));
  std::string line;
  while (in->ReadLine(line)) {
    const std::vector<std::string> fields = text::Split(line, o.FieldSeparator);
    if (fields.size() == kHeaderFieldCount) numbers.push_back(NumericValue(fields[0]));
  }
  in->Close();
  return numbers;
}

// Runs `check`; a failure it raises is the refusal, with its number and
// text, at its own place, or `where` when it names none.
template <class Check>
std::optional<PackRefusal> CheckNamingPlace(std::string_view where, Check&& check) {
  try {
    check();
    return std::nullopt;
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    return PackRefusal{Error(e.number(), e.description()),
                       e.place().Empty() ? std::string(where) : PlaceText(e.place())};
  }
}

}  // namespace

void RuleFileCheck::Inspect(const LoadedRow& row, size_t line) {
  ++rows_;
  try {
    // A rule of a profile the header file does not hold would be stored
    // under no profile of the import. Library files are exempt: a single
    // profile's pack that takes functions from its base profiles carries
    // them under the base profiles' numbers.
    if (row.profile && profiles_ && std::find(profiles_->begin(), profiles_->end(), *row.profile) == profiles_->end())
      RaiseWithDetail(Ours::ProfileNotInPack,
                      fmt::format("profile {} in {} is not in Qzmap100.dat", *row.profile, Place(path_, line)));
    for (size_t i = 0; i < row.columns.size(); ++i) {
      const LoadedRow::Column& column = row.columns[i];
      if (!column.set) continue;
      if (const std::string* text = column.value.AsText()) RefuseNul(*text, "the value of column", column.name);
      if (table_refused_) throw *table_refused_;
      if (!in_store_[i]) StoreTables::RaiseColumnMissing(layout_->table, layout_->fields[i].column);
    }
  } catch (const ComError& e) {
    verdict_ = Verdict::Refused;
    refusal_ = PackRefusal{Error(e.number(), e.description()), Place(path_, line)};
    throw;
  }
}

void RuleFileCheck::Failed(const std::exception& ex, size_t line) {
  if (verdict_ == Verdict::Refused) return;
  verdict_ = Verdict::Refused;
  refusal_ = PackRefusal{Trapping(kLoaderUnexpected, TrapHead::Import, std::string(TrapProcedureOf(loader_)),
                                  AsComError(ex)),
                         Place(path_, line)};
}

void RuleFileCheck::Passed() {
  verdict_ = Verdict::Passed;
  if (total_) total_->store(rows_, std::memory_order_relaxed);
}

void RuleFileCheck::Begin() {
  verdict_ = Verdict::Unread;
  rows_ = 0;
}

void RuleFileCheck::ReadThrough(Env& env, const PlannedPack& planned, const std::vector<std::string>& header_map,
                                const std::atomic<bool>& stop) {
  Begin();
  std::unique_ptr<LoadedRecords> records;
  try {
    records = std::make_unique<LoadedRecords>(env, planned, header_map, loader_, *layout_);
    LoadedRow row;
    while (!stop.load(std::memory_order_relaxed) && records->Next(row)) Inspect(row, records->record_line());
    records->Close();
    if (!stop.load(std::memory_order_relaxed)) Passed();
  } catch (const std::exception& ex) {
    Failed(ex, records ? records->record_line() : 0);
  }
}

// What the check keeps between its two parts. The readings come last: they
// use what comes before while they run.
struct PackCheck::Reading {
  Reading(store::Connection& c, std::vector<std::string> replaced) : tables(c), collisions(c, std::move(replaced)) {}
  ~Reading() { application_stop = true; }
  StoreTables tables;
  std::vector<std::string> map;
  std::vector<int64_t> profiles;
  std::vector<RuleFileCheck> checks;  // one per file, in the order the import loads them
  // The application data files, and their check's verdict when it runs on
  // a thread of its own beside the load.
  std::vector<ApplicationFile> application_files;
  KeyCollisions collisions;
  std::atomic<bool> application_stop{false};
  std::optional<PackRefusal> application_refusal;
  RuleFileReadings readings;
  std::unique_ptr<BackgroundQueue> application_reading;
};

// The applications whose rows the import deletes: every code chosen.
std::vector<std::string> ReplacedApplications(const ImportPlan& plan) {
  std::vector<std::string> replaced;
  for (size_t j = 0; j < 2; ++j)
    for (const PlanEntry& entry : plan.Entries)
      if (const std::string& application = entry.target.Application(j);
          std::find(replaced.begin(), replaced.end(), application) == replaced.end())
        replaced.push_back(application);
  return replaced;
}

std::optional<PackRefusal> PackCheck::ApplicationDataRefusal() {
  Reading& r = *reading_;
  if (r.application_reading) {
    r.application_reading->Drain();
    r.application_reading.reset();
  }
  return r.application_refusal;
}

PackCheck::PackCheck(const PlannedPack& planned, const ImportContext& cx) : planned_(planned), cx_(cx) {}
PackCheck::~PackCheck() = default;

std::optional<PackRefusal> PackCheck::Start(bool read_ahead) {
  const PlannedPack& planned = planned_;
  const ImportContext& cx = cx_;
  Log(cx, LogKind::PackCheckStarted);
  cx.StepTotals->clear();
  if (const std::optional<Error> refused = CheckHeaderFile(cx.env(), planned.options))
    return PackRefusal{Error(refused->number(), refused->description()), PlaceText(refused->place())};

  // The values the batch path writes into its lines.
  if (auto refused = CheckNamingPlace("the bulk-load lines of the application data", [&] {
        if (UsesBatchPath(cx)) CheckBatchLineValues(planned.options, cx, planned.plan);
      }))
    return refused;
  reading_ = std::make_unique<Reading>(ConnectionOf(cx), ReplacedApplications(planned.plan));
  Reading& r = *reading_;
  StoreTables& tables = r.tables;
  if (auto refused = CheckApplicationWidths(planned, tables)) return refused;

  // The header file, walked as the import walks it, gives the map the
  // loaders convert with. It is walked first, so that the rule files can be
  // read while the application data is checked; a refusal of it still
  // comes after theirs.
  const std::string header_path = files::PathInFolder(cx.env(), planned.options.Path, "Qzmap100.dat");
  std::optional<PackRefusal> walk_refusal;
  std::vector<std::string> adjust;
  size_t line = 0;
  try {
    ImportSummary nothing_replaced;
    WalkHeaderFile(planned, cx, HeaderWalk::Check, r.map, adjust, line, nothing_replaced);
  } catch (const Failure& e) {
    walk_refusal = PackRefusal{e, Place(header_path, line)};
  } catch (const std::exception& ex) {
    walk_refusal = PackRefusal{
        Trapping(kTransactionUnexpected, TrapHead::ImportTransaction, std::string(kValidateAndImport), AsComError(ex)),
        Place(header_path, line)};
  }
  const bool walked = !walk_refusal;
  std::reverse(r.map.begin(), r.map.end());
  if (walked) r.profiles = HeaderProfiles(cx.env(), planned.options);

  // The rule files in the order the import loads them. Their tables'
  // columns are read now, before anything is written, so that the check
  // of a file needs nothing of the store while it runs; a table that cannot
  // be read is refused at the file's first record.
  auto add = [&](Loader loader, std::span<const pack::TaggedLayout* const> layouts) {
    for (const pack::TaggedLayout* layout : layouts) {
      RuleFileCheck& check = r.checks.emplace_back();
      check.layout_ = layout;
      check.loader_ = loader;
      check.path_ = files::PathInFolder(cx.env(), planned.options.Path, layout->file);
      if (loader == Loader::CurrentRules || loader == Loader::RevisionRules) check.profiles_ = &r.profiles;
      check.total_ = &(*cx.StepTotals)[std::string(layout->table)];
      try {
        const std::vector<std::string>& columns = tables.Columns(layout->table);
        for (const pack::Field& field : layout->fields)
          check.in_store_.push_back(std::find(columns.begin(), columns.end(), field.column) != columns.end());
      } catch (const ComError& e) {
        check.table_refused_ = e;
      }
    }
  };
  const std::array<const pack::TaggedLayout*, 1> library = {&pack::kQzlib100};
  const std::array<const pack::TaggedLayout*, 1> library_revisions = {&pack::kQzlib105};
  const std::array<const pack::TaggedLayout*, 1> shared = {&pack::kQzmap150};
  const bool revisions = planned.manifest.revisions;
  r.checks.reserve(kCurrentRuleFiles.size() + kRevisionRuleFiles.size() + 3);
  add(Loader::Library, library);
  if (revisions) add(Loader::Library, library_revisions);
  add(Loader::CurrentRules, kCurrentRuleFiles);
  add(Loader::SharedFunctions, shared);
  if (revisions) add(Loader::RevisionRules, kRevisionRuleFiles);
  if (walked && read_ahead) r.readings.Start(cx.env(), planned, r.map, Unread(r.checks));

  // The application data files are read beside the load that follows,
  // unless their keys must be looked up in the store, which the load is
  // changing: the verdict then comes before anything is loaded.
  bool asks_store = true;
  if (auto refused = CheckNamingPlace("the application data files", [&] {
        r.application_files = ApplicationFiles(planned, cx, tables);
        asks_store = CheckAsksStore(r.application_files, r.collisions);
      }))
    return refused;
  if (read_ahead || asks_store) {
    if (auto refused = CheckNamingPlace("the application data files", [&] {
          CheckApplicationData(cx.env(), r.application_files, r.collisions, r.application_stop);
        }))
      return refused;
  } else {
    r.collisions.CloseStore();
    r.application_reading = std::make_unique<BackgroundQueue>(1);
    r.application_reading->Submit([&r, &cx] {
      r.application_refusal = CheckNamingPlace("the application data files", [&] {
        CheckApplicationData(cx.env(), r.application_files, r.collisions, r.application_stop);
      });
    });
  }

  // The tables the header import writes with statements of their own.
  for (std::string_view table : {"qzmap100", "qzmap101"}) {
    const store::TableDef* def = store::FindTable(table);
    if (auto refused = CheckNamingPlace("the header file Qzmap100.dat", [&] {
          for (std::string_view column : def->ColumnNames()) tables.RequireColumn(table, column);
        })) {
      if (auto first = ApplicationDataRefusal()) return first;
      return refused;
    }
  }
  if (!walked) {
    if (auto first = ApplicationDataRefusal()) return first;
    return walk_refusal;
  }
  return std::nullopt;
}

RuleFileCheck* PackCheck::ForFile(const pack::TaggedLayout& layout) {
  if (!reading_) return nullptr;
  for (RuleFileCheck& check : reading_->checks)
    if (check.layout_ == &layout) return &check;
  return nullptr;
}

std::optional<PackRefusal> PackCheck::Finish() {
  if (!reading_) Raise(Ours::Internal, "The pack check finished before it started");
  Reading& r = *reading_;
  // The application data comes before the rule files, as the import loads.
  if (auto refused = ApplicationDataRefusal()) {
    r.readings.Stop();
    return refused;
  }
  // Files read ahead are read through. Of those the load read, the ones it
  // did not read to their end are read again, up to the first refused.
  r.readings.Wait();
  std::vector<RuleFileCheck*> unread = Unread(r.checks);
  if (!unread.empty()) {
    r.readings.Start(cx_.env(), planned_, r.map, std::move(unread));
    r.readings.Wait();
  }
  for (const RuleFileCheck& check : r.checks) {
    if (check.verdict_ == RuleFileCheck::Verdict::Passed) continue;
    if (check.verdict_ == RuleFileCheck::Verdict::Refused) return check.refusal_;
    return PackRefusal{Error(Number(Ours::Internal), "The check of " + check.path_ + " did not finish"), check.path_};
  }
  Log(cx_, LogKind::PackCheckDone);
  return std::nullopt;
}

std::optional<PackRefusal> CheckLogicPackFiles(const PlannedPack& planned, const ImportContext& cx) {
  PackCheck check(planned, cx);
  if (auto refused = check.Start(true)) return refused;
  return check.Finish();
}

}  // namespace kestrel::importer
