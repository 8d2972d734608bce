// The check of a logic pack before an import deletes anything: every file the
// import will load is read and converted by the loaders' own procedures (the
// application data files by the row reader, at their tables' widths), without
// a row being written, and compared with the target store's schema (its
// tables, columns and unique keys), so that a pack that would fail half-way
// is refused while the store still holds what it held.
#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "component/error.h"
#include "component/errors_ours.h"
#include "component/files.h"
#include "component/row_reader.h"
#include "component/text.h"
#include "import/app_import.h"
#include "import/loaders.h"
#include "import/pack_check.h"
#include "import/plan_lookups.h"
#include "import/run_log.h"
#include "import/selection.h"
#include "import/transaction.h"
#include "pack/naming.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/statements_import_check.h"
#include "store/statements_import_loaders.h"

namespace Kestrel20ImpExp::detail {
namespace {

std::string Place(const std::string& path, size_t line) {
  return line ? path + ", line " + std::to_string(line) : path;
}

// A failure of a check, raised where it is found and caught by the check's
// caller, which names the place.
[[noreturn]] void Refuse(Ours number, const std::string& detail) {
  Raise(number, std::string(DefaultText(number)) + ": " + detail);
}

void RefuseNul(std::string_view text, const std::string& what) {
  if (text.find('\0') != std::string_view::npos) Refuse(Ours::NulInValue, what + " " + QuoteForMessage(text));
}

// The target store's tables as the check needs them: their columns, read
// once per table from an empty select. A table the store cannot select from
// is refused with 9042 and the store's own text.
class StoreTables {
 public:
  explicit StoreTables(store::Connection& c) : c_(c) {}

  const std::vector<std::string>& Columns(std::string_view table) {
    auto found = columns_.find(table);
    if (found != columns_.end()) return found->second;
    std::vector<std::string> names;
    try {
      auto rs = c_.OpenRecordset(store::SelectNoRows(c_.dialect(), table));
      for (int i = 0; i < rs->FieldCount(); ++i) names.push_back(text::LowerAscii(rs->FieldName(i)));
    } catch (const ComError& e) {
      Refuse(Ours::TableMissing, "the store cannot read table " + std::string(table) + " (" + e.description() + ")");
    }
    return columns_.emplace(std::string(table), std::move(names)).first->second;
  }

  // The most bytes a column holds when the store declares a width for it
  // (a character type with one, "varchar(12)"), else nullopt.
  std::optional<size_t> Width(std::string_view table, std::string_view column) {
    auto found = widths_.find(table);
    if (found == widths_.end()) {
      std::map<std::string, size_t, std::less<>> widths;
      auto rs = c_.OpenRecordset(store::SelectColumnTypes(c_.dialect(), table));
      for (; !rs->IsEOF(); rs->MoveNext())
        if (auto width = DeclaredWidth(rs->Fields("typen").TextOrEmpty()))
          widths.emplace(text::LowerAscii(rs->Fields("coln").TextOrEmpty()), *width);
      found = widths_.emplace(std::string(table), std::move(widths)).first;
    }
    auto width = found->second.find(column);
    if (width == found->second.end()) return std::nullopt;
    return width->second;
  }

  // Raises 9020 when the table lacks the column.
  void RequireColumn(std::string_view table, std::string_view column) {
    const auto& names = Columns(table);
    if (std::find(names.begin(), names.end(), column) == names.end())
      Raise(Ours::FieldNotFound, std::string(DefaultText(Ours::FieldNotFound)) + ": the store's table " +
                                     std::string(table) + " has no column " + std::string(column));
  }

 private:
  static std::optional<size_t> DeclaredWidth(const std::string& type) {
    const std::string lower = text::LowerAscii(type);
    const size_t open = lower.find('(');
    if (lower.find("char") == std::string::npos || open == std::string::npos) return std::nullopt;
    size_t width = 0, digits = 0;
    for (size_t i = open + 1; i < lower.size() && lower[i] >= '0' && lower[i] <= '9'; ++i, ++digits)
      width = width * 10 + static_cast<size_t>(lower[i] - '0');
    if (digits == 0) return std::nullopt;
    return width;
  }

  store::Connection& c_;
  std::map<std::string, std::vector<std::string>, std::less<>> columns_;
  std::map<std::string, std::map<std::string, size_t, std::less<>>, std::less<>> widths_;
};

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
                  std::string(DefaultText(Ours::ApplicationCodeTooLong)) + ": " + QuoteForMessage(code) + " has " +
                      std::to_string(code.size()) + " bytes, the store's " + std::string(table) + "." +
                      std::string(column) + " holds " + std::to_string(*width));
        const size_t k = static_cast<size_t>(i);
        place = "the target entry of pack profile " + std::to_string(PlanAt(plan, plan.SourceProfiles[0], k)) +
                " (" + PlanAt(plan, plan.TargetApplications[0], k) + " to " +
                PlanAt(plan, plan.TargetApplications[1], k) + ")";
        return false;
      }
    }
  return true;
}

// Reads every record of the loader's files; on a failure sets the error state
// as the loader (or its caller's trap) would and names the file and record.
// A column a record sets must be in the store's table, and no text value may
// hold a NUL byte (the statements that carry them would end there).
template <size_t N>
bool CheckFiles(const PlannedPack& planned, const std::vector<std::string>& header_map, ErrorState& error,
                std::string_view procedure, Loader loader, const std::array<const pack::TaggedLayout*, N>& layouts,
                StoreTables& tables, std::string& place) {
  for (const pack::TaggedLayout* layout : layouts) {
    const std::string path = files::PathInFolder(planned.options.Path, layout->file);
    std::unique_ptr<LoadedRecords> records;
    // Whether each field's column has been found in the store.
    std::vector<bool> known(layout->fields.size(), false);
    try {
      records = std::make_unique<LoadedRecords>(planned, header_map, loader, *layout);
      LoadedRow row;
      while (records->Next(row)) {
        for (size_t i = 0; i < row.columns.size(); ++i) {
          const LoadedRow::Column& column = row.columns[i];
          if (!column.set) continue;
          if (const std::string* text = column.value.AsText())
            RefuseNul(*text, "the value of column " + std::string(column.name));
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

// The header lines' own values, which the import writes as they stand or
// puts into the selection: every line with its 18 fields names a profile
// number of 16 bits and application codes that can name the pack's files
// and pass through the selection, and holds no NUL byte. A header file
// without any line leaves the import nothing to import (its rule files would
// be stored under profile 0). Lines of another width are left to the walk.
}  // namespace

bool CheckHeaderFile(const ImportOptions& o, ErrorState& error, std::string& place) {
  if (!files::FolderExists(o.Path)) return true;
  const std::optional<std::string> found = files::ResolveInFolder(o.Path, "Qzmap100.dat");
  if (!found) return true;
  const std::string& path = *found;
  auto in = files::TextReader::Open(path);
  std::string line;
  size_t lines = 0;
  try {
    while (in->ReadLine(line)) {
      ++lines;
      RefuseNul(line, "the header line");
      const std::vector<std::string> fields = text::Split(line, o.FieldSeparator);
      if (fields.size() != kHeaderFieldCount) continue;
      const int64_t number = NumericValue(fields[0]);
      if (!IsProfileNumber(number))
        throw ComError(rt::Overflow, "Overflow: the header line's profile number " + std::to_string(number) +
                                         " is outside the 16-bit range");
      CheckImportedApplicationCode(fields[1], "in the header line");
      CheckImportedApplicationCode(fields[2], "in the header line");
    }
    in->Close();
  } catch (const ComError& e) {
    error.Set(e.number(), e.description());
    place = Place(path, in->line_number());
    return false;
  }
  if (lines > 0) return true;
  error.Set(Number(Ours::NothingToImport), std::string(DefaultText(Ours::NothingToImport)) +
                                               ": the header file holds no line, so every rule would lose its profile");
  place = path;
  return false;
}

namespace {

// The columns of a table's unique keys that the check can compare: keys on
// expressions are left out.
struct UniqueKey {
  std::string name;
  std::vector<std::string> columns;
  std::vector<size_t> positions;  // of the columns in the table's rows
};

std::vector<UniqueKey> UniqueKeysOf(store::Connection& c, std::string_view table,
                                    const std::vector<std::string>& table_columns) {
  std::vector<UniqueKey> keys;
  bool expression = false;
  auto rs = c.OpenRecordset(store::SelectUniqueKeyColumns(c.dialect(), table));
  for (; !rs->IsEOF(); rs->MoveNext()) {
    const std::string name = rs->Fields("keyn").TextOrEmpty();
    if (keys.empty() || keys.back().name != name) {
      if (expression) keys.pop_back();
      keys.push_back(UniqueKey{name, {}, {}});
      expression = false;
    }
    const Value column = rs->Fields("coln");
    const std::string* text = column.AsText();
    const auto at = text ? std::find(table_columns.begin(), table_columns.end(), text::LowerAscii(*text))
                         : table_columns.end();
    if (at == table_columns.end()) {
      expression = true;
      continue;
    }
    keys.back().columns.push_back(*at);
    keys.back().positions.push_back(static_cast<size_t>(at - table_columns.begin()));
  }
  if (expression) keys.pop_back();
  return keys;
}

// The rows the import adds to one table, checked against the table's unique
// keys: among themselves (across every application's file) and against the
// stored rows the import leaves in place (those of the applications it
// replaces are deleted before it loads).
class KeyCollisions {
 public:
  KeyCollisions(store::Connection& c, std::vector<std::string> replaced) : c_(c), replaced_(std::move(replaced)) {}

  // Raises 9041 naming the key and the values when the row collides.
  void Add(std::string_view table, const std::vector<std::string>& table_columns,
           const std::vector<std::string_view>& fields) {
    auto found = keys_.find(table);
    if (found == keys_.end())
      found = keys_.emplace(std::string(table), Keys{UniqueKeysOf(c_, table, table_columns), {}}).first;
    Keys& keys = found->second;
    keys.seen.resize(keys.keys.size());
    const bool deleted_by_application = IsApplicationTable(table);
    for (size_t k = 0; k < keys.keys.size(); ++k) {
      const UniqueKey& key = keys.keys[k];
      std::vector<std::string> values;
      std::string joined;
      bool has_null = false, replaced_application = false;
      for (size_t i = 0; i < key.positions.size(); ++i) {
        const std::string_view value = key.positions[i] < fields.size() ? fields[key.positions[i]] : "";
        // An empty field is loaded as NULL, which no unique key compares.
        if (value.empty()) has_null = true;
        if (key.columns[i] == "appl" &&
            std::find(replaced_.begin(), replaced_.end(), value) != replaced_.end())
          replaced_application = true;
        values.emplace_back(value);
        joined += value;
        joined += files::kFieldSeparator;
      }
      if (has_null) continue;
      if (!keys.seen[k].insert(joined).second) Collide(table, key, values, "an earlier row of the pack");
      // A stored row with these values belongs to a replaced application, and
      // goes, when the key holds the application.
      if (deleted_by_application && replaced_application) continue;
      if (!c_.OpenRecordset(store::SelectRowWithKey(c_.dialect(), table, key.columns, values,
                                                    deleted_by_application ? replaced_ : std::vector<std::string>{}))
               ->IsEOF())
        Collide(table, key, values, "a row the store keeps");
    }
  }

 private:
  struct Keys {
    std::vector<UniqueKey> keys;
    std::vector<std::unordered_set<std::string>> seen;
  };

  static bool IsApplicationTable(std::string_view table) {
    const auto tables = store::ApplicationTables();
    return std::find(tables.begin(), tables.end(), table) != tables.end();
  }

  [[noreturn]] static void Collide(std::string_view table, const UniqueKey& key,
                                   const std::vector<std::string>& values, std::string_view with) {
    std::string detail = "table " + std::string(table) + ", key (";
    for (size_t i = 0; i < key.columns.size(); ++i) detail += (i ? ", " : "") + key.columns[i];
    detail += ") = (";
    for (size_t i = 0; i < values.size(); ++i) detail += (i ? ", " : "") + QuoteForMessage(values[i]);
    detail += ") as in " + std::string(with);
    Refuse(Ours::KeyCollision, detail);
  }

  store::Connection& c_;
  std::vector<std::string> replaced_;
  std::map<std::string, Keys, std::less<>> keys_;
};

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
        const auto path = files::ResolveInFolder(planned.options.Path, pack::DataFileName(table, in_pack));
        if (!path) continue;
        size_t line = 0;
        try {
          const std::vector<std::string>& columns = tables.Columns(table);
          auto rows = files::RowReader::Open(*path, columns.size());
          const bool recode = in_pack != chosen && TableIsRecoded(table);
          while (rows->Next()) {
            line = rows->line_number() - 1;
            RefuseNul(rows->line(), "the row");
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
  if (!CheckHeaderFile(planned.options, error, place)) return false;

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
  const std::string header_path = files::PathInFolder(planned.options.Path, "Qzmap100.dat");
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
  bool ok =
      CheckFiles(planned, map, error, "ImportProfileEx", Loader::Library, library, tables, place) &&
      (!revisions ||
       CheckFiles(planned, map, error, "ImportProfileEx", Loader::Library, library_revisions, tables, place)) &&
      CheckFiles(planned, map, error, "LoadToMAP120_130_140_160", Loader::CurrentRules, kCurrentRuleFiles, tables,
                 place) &&
      CheckFiles(planned, map, error, "LoadToMAP150", Loader::SharedFunctions, shared, tables, place) &&
      (!revisions || CheckFiles(planned, map, error, "LoadToMAP110_125_135_145_165", Loader::RevisionRules,
                                kRevisionRuleFiles, tables, place));
  if (ok) WriteImportLog(cx, kCheckDone);
  return ok;
}

}  // namespace Kestrel20ImpExp::detail
