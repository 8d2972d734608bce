// The check of a logic pack before an import deletes anything: every file the
// import will load is read and converted by the loaders' own procedures (the
// application data files by the row reader, at their tables' widths), without
// a row being written, and compared with the target store's schema (its
// tables, columns and unique keys), so that a pack that would fail half-way
// is refused while the store still holds what it held.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "base/row_reader.h"
#include "base/text.h"
#include "importer/app_import.h"
#include "importer/key_collisions.h"
#include "importer/loaders.h"
#include "importer/pack_check.h"
#include "importer/plan_lookups.h"
#include "importer/records_ahead.h"
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

std::string Place(const std::string& path, size_t line) {
  return line ? fmt::format("{}, line {}", path, line) : path;
}

// A NUL byte would end the statement text that carries the value. `what`
// and `name` say whose value it is; the text is only put together for a
// refusal, since every value of a pack passes here.
void RefuseNul(std::string_view text, std::string_view what, std::string_view name = {}) {
  if (text.find('\0') == std::string_view::npos) return;
  std::string whose(what);
  if (!name.empty()) whose.append(" ").append(name);
  RaiseWithDetail(Ours::NulInValue, whose + " " + QuoteForMessage(text));
}

// The application codes chosen for the import fit the store's columns that
// hold them: "appl" of the application tables, the header's "sapp" or "tapp".
bool CheckApplicationWidths(const PlannedPack& planned, StoreTables& tables, ErrorState& error, std::string& place) {
  const ImportPlan& plan = planned.plan;
  for (int32_t i = 0; i <= plan.Size; ++i)
    for (size_t j = 0; j < 2; ++j) {
      const std::string& code = PlanAt(plan, plan.TargetApplications[j], static_cast<size_t>(i));
      std::vector<std::pair<std::string_view, std::string_view>> columns = {{"qzmap100", j == 0 ? "sapp" : "tapp"}};
      for (std::string_view table : store::ApplicationTables()) columns.emplace_back(table, "appl");
      for (const auto& [table, column] : columns) {
        const std::optional<size_t> width = tables.Width(table, column);
        if (!width || code.size() <= *width) continue;
        error.Set(Number(Ours::ApplicationCodeTooLong),
                  TextWithDetail(Ours::ApplicationCodeTooLong,
                                 fmt::format("{} has {} bytes, the store's {}.{} holds {}", QuoteForMessage(code),
                                             code.size(), table, column, *width)));
        const size_t k = static_cast<size_t>(i);
        place = fmt::format("the target entry of pack profile {} ({} to {})", PlanAt(plan, plan.SourceProfiles[0], k),
                            PlanAt(plan, plan.TargetApplications[0], k), PlanAt(plan, plan.TargetApplications[1], k));
        return false;
      }
    }
  return true;
}

// Reads every record of the loader's files; on a failure sets the error state
// as the loader (or its caller's trap) would and names the file and record.
// Each rule's profile must be one of `pack_profiles`, the numbers of the
// pack's header file.
// A column a record sets must be in the store's table, and no text value may
// hold a NUL byte (the statements that carry them would end there).
template <size_t N>
bool CheckFiles(const PlannedPack& planned, const ImportContext& cx, const std::vector<std::string>& header_map,
                const std::vector<int64_t>& pack_profiles, ErrorState& error,
                std::string_view procedure, Loader loader, const std::array<const pack::TaggedLayout*, N>& layouts,
                StoreTables& tables, std::string& place) {
  for (const pack::TaggedLayout* layout : layouts) {
    const std::string path = files::PathInFolder(cx.env(), planned.options.Path, layout->file);
    std::unique_ptr<RecordsAhead> records;
    // Whether each field's column has been found in the store.
    std::vector<bool> known(layout->fields.size(), false);
    try {
      records = std::make_unique<RecordsAhead>(cx.env(), planned, header_map, loader, *layout);
      LoadedRow row;
      int64_t& counted = (*cx.StepTotals)[std::string(layout->table)];
      counted = 0;
      while (records->Next(row)) {
        ++counted;
        // A rule of a profile the header file does not hold would be stored
        // under no profile of the import. Library files are exempt: a single
        // profile's pack that takes functions from its base profiles carries
        // them under the base profiles' numbers.
        if (row.profile && (loader == Loader::CurrentRules || loader == Loader::RevisionRules) &&
            std::find(pack_profiles.begin(), pack_profiles.end(), *row.profile) == pack_profiles.end()) {
          error.Set(Number(Ours::ProfileNotInPack),
                    TextWithDetail(Ours::ProfileNotInPack,
                                   fmt::format("profile {} in {} is not in Qzmap100.dat", *row.profile,
                                               Place(path, records->record_line()))));
          place = Place(path, records->record_line());
          return false;
        }
        for (size_t i = 0; i < row.columns.size(); ++i) {
          const LoadedRow::Column& column = row.columns[i];
          if (!column.set) continue;
          if (const std::string* text = column.value.AsText())
            RefuseNul(*text, "the value of column", column.name);
          if (known[i]) continue;
          try {
            tables.RequireColumn(layout->table, column.name);
          } catch (const ComError& e) {
            error.Set(e.number(), e.description());
            place = Place(path, records->record_line());
            return false;
          }
          known[i] = true;
        }
      }
      records->Close();
    } catch (const std::exception& ex) {
      place = Place(path, records ? records->record_line() : 0);
      const ComError e = AsComError(ex);
      if (e.number() == Number(Ours::NulInValue))
        error.Set(e.number(), e.description());
      else
        error.Trap(kLoaderUnexpected, ImportTrapHead(procedure), e);
      return false;
    }
  }
  return true;
}

// Two codes of one pack that differ only by case would name the same data
// files on a folder that ignores case, and be loaded twice.
void RefuseCaseTwin(std::vector<std::string>& codes, const std::string& code, const std::string& path,
                    size_t line) {
  for (const std::string& seen : codes) {
    if (seen == code) return;
    if (text::LowerAscii(seen) == text::LowerAscii(code))
      RaiseWithDetail(Ours::ApplicationCodesDifferByCase,
                      QuoteForMessage(code) + " and " + QuoteForMessage(seen) + " in " + Place(path, line));
  }
  codes.push_back(code);
}

// Every row of the chain file is read by the import; a row of another width
// would be skipped there and its profile become a root.
bool CheckChainFile(Env& env, const std::string& folder, ErrorState& error, std::string& place) {
  const std::optional<std::string> found = files::ResolveInFolder(env, folder, "Qzmap101.dat");
  if (!found) return true;
  std::unique_ptr<files::RowReader> rows;
  try {
    rows = files::RowReader::Open(env, *found);
    while (rows->Next()) {
      if (rows->line_number() == 1) pack::RefuseByteOrderMark(rows->line(), *found);
      const size_t width = rows->fields().size();
      if (width == kChainFieldCount) continue;
      place = Place(*found, rows->line_number());
      error.Set(kHeaderLineError,
                fmt::format("{} ({}: {} fields, {} wanted)", kChainFileCorrupt, place, width, kChainFieldCount));
      return false;
    }
  } catch (const ComError& e) {
    error.Set(e.number(), e.description());
    place = Place(*found, rows ? rows->line_number() : 0);
    return false;
  }
  return true;
}

}  // namespace

bool CheckHeaderFile(Env& env, const ImportOptions& o, ErrorState& error, std::string& place) {
  if (!files::FolderExists(env, o.Path)) return true;
  const std::optional<std::string> found = files::ResolveInFolder(env, o.Path, "Qzmap100.dat");
  if (!found) return true;
  const std::string& path = *found;
  auto in = files::TextReader::Open(env, path);
  std::string line;
  size_t lines = 0;
  std::vector<std::string> codes;
  try {
    while (in->ReadLine(line)) {
      ++lines;
      if (lines == 1) pack::RefuseByteOrderMark(line, path);
      RefuseNul(line, "the header line");
      const std::vector<std::string> fields = text::Split(line, o.FieldSeparator);
      if (fields.size() != kHeaderFieldCount) continue;
      CheckProfileField(fields[0], "the profile number", "of the header line");
      CheckImportedApplicationCode(fields[1], "in the header line");
      CheckImportedApplicationCode(fields[2], "in the header line");
      RefuseCaseTwin(codes, fields[1], path, lines);
      RefuseCaseTwin(codes, fields[2], path, lines);
    }
    in->Close();
  } catch (const ComError& e) {
    error.Set(e.number(), e.description());
    place = Place(path, in->line_number());
    return false;
  }
  if (lines == 0) {
    error.Set(Number(Ours::NothingToImport),
              TextWithDetail(Ours::NothingToImport,
                             "the header file holds no line, so every rule would lose its profile"));
    place = path;
    return false;
  }
  return CheckChainFile(env, o.Path, error, place);
}

namespace {

// Reads the data files of every application the plan names, as the import
// loads them: from the pack's files of the application it holds, under the
// code chosen for it, each application once, with the width of their tables
// in the store (the bulk loader stops at the first row of another width).
// No line may hold a NUL byte, and no row may collide on a unique key.
bool CheckApplicationData(const PlannedPack& planned, const ImportContext& cx, StoreTables& tables,
                          ErrorState& error, std::string& place) {
  const ImportPlan& plan = planned.plan;
  std::vector<std::string> replaced;
  for (const auto& row : {plan.TargetApplications[0], plan.TargetApplications[1]})
    for (const std::string& application : row)
      if (std::find(replaced.begin(), replaced.end(), application) == replaced.end())
        replaced.push_back(application);
  KeyCollisions collisions(ConnectionOf(cx), replaced);

  std::vector<std::string> seen;
  std::string recoded;
  std::vector<std::string_view> fields;
  for (int32_t i = 0; i <= plan.Size; ++i)
    for (size_t j = 0; j < 2; ++j) {
      const std::string& in_pack = PlanAt(plan, plan.SourceApplications[j], static_cast<size_t>(i));
      const std::string& chosen = PlanAt(plan, plan.TargetApplications[j], static_cast<size_t>(i));
      if (std::find(seen.begin(), seen.end(), chosen) != seen.end()) continue;
      seen.push_back(chosen);
      for (std::string_view table : ApplicationDataTables()) {
        const auto path = files::ResolveInFolder(cx.env(), planned.options.Path, pack::DataFileName(table, in_pack));
        if (!path) continue;
        size_t line = 0;
        try {
          const std::vector<std::string>& columns = tables.Columns(table);
          auto rows = files::RowReader::Open(cx.env(), *path, columns.size());
          const bool recode = in_pack != chosen && TableIsRecoded(table);
          int64_t& counted = (*cx.StepTotals)[pack::DataFileName(table, chosen)];
          counted = 0;
          while (rows->Next()) {
            ++counted;
            line = rows->line_number() - 1;
            if (line == 0) pack::RefuseByteOrderMark(rows->line(), *path);
            RefuseNul(rows->line(), "the row");
            // Every table but the shared codes' begins with the application;
            // a row of another one would be stored under it.
            if (TableIsRecoded(table) && rows->fields().front() != in_pack)
              RaiseWithDetail(Ours::ApplicationMismatch,
                              "the row's application " + QuoteForMessage(rows->fields().front()) + " in " +
                                  Place(*path, rows->line_number()) + ", a file of " + QuoteForMessage(in_pack));
            if (recode) {
              RecodeApplicationInLine(rows->line(), in_pack, chosen, recoded);
              files::SplitRow(recoded, fields);
            } else {
              fields.assign(rows->fields().begin(), rows->fields().end());
            }
            collisions.Add(table, columns, fields);
            line = rows->line_number();
          }
        } catch (const std::exception& ex) {
          const ComError e = AsComError(ex);
          error.Set(e.number(), e.description());
          place = Place(*path, line + 1);
          return false;
        }
      }
    }
  return true;
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

// Runs `check`; a failure it raises goes into the error state as it stands
// and names `where` as the place. False when the check failed either way.
template <class Check>
bool CheckNamingPlace(ErrorState& error, std::string& place, std::string_view where, Check&& check) {
  try {
    return check();
  } catch (const std::exception& ex) {
    const ComError e = AsComError(ex);
    error.Set(e.number(), e.description());
    place = std::string(where);
    return false;
  }
}

}  // namespace

bool CheckLogicPackFiles(const PlannedPack& planned, const ImportContext& cx, ErrorState& error, std::string& place) {
  WriteImportLog(cx, kCheckStarted);
  place.clear();
  cx.StepTotals->clear();
  if (!CheckHeaderFile(cx.env(), planned.options, error, place)) return false;

  // The values the batch path writes into its lines.
  if (!CheckNamingPlace(error, place, "the bulk-load lines of the application data", [&] {
        if (UsesBatchPath(cx)) CheckBatchLineValues(planned.options, cx, planned.plan);
        return true;
      }))
    return false;
  StoreTables tables(ConnectionOf(cx));
  if (!CheckApplicationWidths(planned, tables, error, place)) return false;
  if (!CheckNamingPlace(error, place, "the application data files",
                        [&] { return CheckApplicationData(planned, cx, tables, error, place); }))
    return false;

  // The tables the header import writes with statements of their own.
  for (std::string_view table : {"qzmap100", "qzmap101"}) {
    const store::TableDef* def = store::FindTable(table);
    if (!CheckNamingPlace(error, place, "the header file Qzmap100.dat", [&] {
          for (std::string_view column : def->ColumnNames()) tables.RequireColumn(table, column);
          return true;
        }))
      return false;
  }

  // The header file, walked as the import walks it, gives the map the
  // loaders convert with.
  const std::string header_path = files::PathInFolder(cx.env(), planned.options.Path, "Qzmap100.dat");
  std::vector<std::string> map, adjust;
  size_t line = 0;
  try {
    if (!WalkHeaderFile(planned, cx, error, HeaderWalk::Check, map, adjust, line)) {
      place = Place(header_path, line);
      return false;
    }
  } catch (const std::exception& ex) {
    place = Place(header_path, line);
    error.Trap(kTransactionUnexpected, kValidateAndImportHead, AsComError(ex));
    return false;
  }
  std::reverse(map.begin(), map.end());

  // The loaders in the order the import runs them. The library loader has no
  // trap: its failures end in the profile import's.
  const std::array<const pack::TaggedLayout*, 1> library = {&pack::kQzlib100};
  const std::array<const pack::TaggedLayout*, 1> library_revisions = {&pack::kQzlib105};
  const std::array<const pack::TaggedLayout*, 1> shared = {&pack::kQzmap150};
  const bool revisions = planned.manifest.revisions;
  const std::vector<int64_t> profiles = HeaderProfiles(cx.env(), planned.options);
  bool ok =
      CheckFiles(planned, cx, map, profiles, error, "ImportProfileEx", Loader::Library, library, tables, place) &&
      (!revisions || CheckFiles(planned, cx, map, profiles, error, "ImportProfileEx", Loader::Library,
                                library_revisions, tables, place)) &&
      CheckFiles(planned, cx, map, profiles, error, "LoadToMAP120_130_140_160", Loader::CurrentRules,
                 kCurrentRuleFiles, tables, place) &&
      CheckFiles(planned, cx, map, profiles, error, "LoadToMAP150", Loader::SharedFunctions, shared, tables,
                 place) &&
      (!revisions || CheckFiles(planned, cx, map, profiles, error, "LoadToMAP110_125_135_145_165",
                                Loader::RevisionRules, kRevisionRuleFiles, tables, place));
  if (ok) WriteImportLog(cx, kCheckDone);
  return ok;
}

}  // namespace kestrel::importer
