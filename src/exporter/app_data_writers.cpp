// The application data writers: one procedure serves the family, driven by a
// row of the member table below; the members that behave differently say only
// what differs. Data files are written piece by piece as the recordset hands
// the rows out, so no writer holds a large table in memory.
#include "exporter/app_data_writers.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "exporter/profile_drivers.h"
#include "pack/layout.h"
#include "pack/naming.h"
#include "pack/row_writer.h"
#include "store/connection.h"
#include "store/statements_export.h"
#include "store/statements_profiles.h"

namespace kestrel::exporter {

// What a member does when an application it serves has no rows in its table.
// Every case ends the member's walk through the selection.
enum class WhenEmpty : uint8_t {
  Fail,          // number and text + selection; false
  ManifestNote,  // TAB + text + CR LF into the manifest; true
  ErrorYetTrue,  // number and text + selection; true all the same
  NumberOnly,    // the number alone, the description left as it was; false
  // The companion table's writer decides for that application: true when it
  // succeeds, else number and text + selection and false.
  ByCompanion,
};

struct AppDataMember {
  std::string_view table;
  pack::Serves serves;  // which applications have this table, by their extn
  long rows_per_write;
  WhenEmpty when_empty;
  int32_t number;
  std::string_view text;
  std::string_view tag;        // the trap names the writer by it
  std::string_view companion;  // written after this table for each application visited, or ""
};

namespace {

constexpr long kAllRows = -1;
constexpr long kPieceRows = 10000;
constexpr std::string_view kFieldSeparator{&files::kFieldSeparator, 1};
constexpr std::string_view kCrLf = "\r\n";

// The applications served, as the pack layout states them for each table.
constexpr pack::Serves ServesOf(std::string_view table) {
  for (const auto& t : pack::kApplicationTables)
    if (t.table == table) return t.serves;
  throw "not an application table";  // fails the build when a name is wrong
}

constexpr AppDataMember Row(std::string_view table, long rows_per_write, WhenEmpty when_empty, int32_t number,
                            std::string_view text, std::string_view tag, std::string_view companion = {}) {
  return AppDataMember{table, ServesOf(table), rows_per_write, when_empty, number, text, tag, companion};
}

using enum WhenEmpty;
// clang-format off
constexpr AppDataMember kMembers[] = {
  Row("qzddi100", kAllRows,   Fail,         100, "Error : Qzddi100 - No Data Present with Applications's ", "Qzddi100"),
  Row("qzddi101", kAllRows,   Fail,         101, "Error : Qzddi101 - No Data Present with Applications's ", "Qzddi101"),
  Row("qzddi140", kPieceRows, Fail,         140, "Error : Qzddi140 - No Data Present for Applications  ", "Qzddi140"),
  Row("qzddi150", kPieceRows, Fail,         150, "Error : Qzddi150 - No Data Present for Applications ", "Qzddi150"),
  Row("qzddi160", kPieceRows, ManifestNote, 0,   "Qzddi160 - No Data Present for Applications ", "Qzddi160"),
  Row("qzddi200", kPieceRows, Fail,         200, "Error : Qzddi200 - No Data Present for Applications ", "Qzddi200"),
  Row("qzddi220", kPieceRows, Fail,         220, "Error : Qzddi220 - No Data Present for Applications ", "Qzddi220"),
  Row("qzddi230", kPieceRows, Fail,         230, "Error : Qzddi230 - No Data Present for Applications ", "Qzddi230"),
  // An application with qzlgy140 rows gets its qzlgy141 file too, whatever
  // that writer answers; the first one without qzlgy140 rows is judged by
  // qzlgy141 alone.
  Row("qzlgy140", kPieceRows, ByCompanion,  101, "Error : qzlgy140 and qzlgy141 - No Data Present with Applications's ", "qzlgy140", "qzlgy141"),
  Row("qzlgy141", kPieceRows, NumberOnly,   101, "", "qzlgy141"),
  Row("qzlgy150", kPieceRows, ErrorYetTrue, 101, "Error : qzlgy150 - No Data Present with Applications's ", "qzlgy150"),
};
// clang-format on

// The codes of a selection, in order ("" gives none).
std::vector<std::string> Codes(const std::string& selection) {
  std::vector<std::string> codes;
  if (selection.empty()) return codes;
  size_t pos = 0;
  for (;;) {
    size_t bar = selection.find('|', pos);
    codes.push_back(selection.substr(pos, bar == std::string::npos ? bar : bar - pos));
    if (bar == std::string::npos) return codes;
    pos = bar + 1;
  }
}

// The selection as messages show it: every blank replaced by "-".
std::string Dashed(std::string selection) {
  for (char& c : selection)
    if (c == ' ') c = '-';
  return selection;
}

// Whether the member writes its table for application `a`: qzddi100 for every
// application, the others by the extn of the application's qzddi100 row (an
// application missing from qzddi100 is skipped).
bool Served(store::Connection& c, const AppDataMember& m, const std::string& a) {
  if (m.serves == pack::Serves::Every) return true;
  auto definition = c.OpenRecordset(store::SelectApplicationRows(c.dialect(), "qzddi100", a));
  if (definition->IsEOF()) return false;
  Value extn = definition->Fields("extn");
  if (extn.IsNull()) return false;
  return extn.Integer() == (m.serves == pack::Serves::Base ? 0 : 1);
}

// WriteDataFile reads the rows through before the store is asked anything
// else.
std::unique_ptr<store::Recordset> OpenRows(store::Connection& c, const AppDataMember& m, const std::string& a) {
  auto rows = c.OpenRecordset(store::SelectApplicationRows(c.dialect(), m.table, a));
  rows->ReadThroughAlone();
  return rows;
}

// Creates the data file of `a`, lists it, and writes the rows in pieces of
// the member's size. A member that writes all rows at once reads them in
// pieces too, so that no table is held whole in memory; a row it cannot write
// leaves its file empty, as one piece holding that row would have.
void WriteDataFile(ExportContext& ctx, ExportResults& r, const AppDataMember& m, const std::string& a,
                   store::Recordset& rows) {
  const std::string name = pack::DataFileName(m.table, a);
  const std::string path = ctx.PackFile(name);
  auto out = files::TextWriter::Create(ctx.env(), path);
  r.ListDataFile(name);
  const auto columns = static_cast<size_t>(rows.FieldCount());
  const bool at_once = m.rows_per_write == kAllRows;
  std::string piece;
  int64_t written = 0;
  try {
    while (!rows.IsEOF()) {
      piece.clear();
      written += rows.AppendString(piece, at_once ? kPieceRows : m.rows_per_write, kFieldSeparator, kCrLf);
      pack::WriteDataRows(*out, piece, columns);
      if (!at_once) ctx.Report(name, written);
    }
  } catch (...) {
    if (at_once) {
      try {
        out->Close();
      } catch (...) {
      }
      out = files::TextWriter::Create(ctx.env(), path);
    }
    throw;
  }
  if (at_once) ctx.Report(name, written);
  out->Close();
  ctx.CountRows(name, written);
}

// The member's answer to an application without rows.
bool NoRows(ExportContext& ctx, ExportResults& r, const AppDataMember& m, const std::string& selection,
            const std::string& a) {
  switch (m.when_empty) {
    case Fail:
      r.Error.Set(m.number, std::string(m.text) + Dashed(selection));
      return false;
    case ManifestNote:
      ctx.AppendNote(m.text);
      return true;
    case ErrorYetTrue:
      r.Error.Set(m.number, std::string(m.text) + Dashed(selection));
      return true;
    case NumberOnly:
      r.Error.Renumber(m.number);
      return false;
    case ByCompanion:
      if (ExportAppDataTable(ctx, r, AppDataMemberOf(m.companion), a)) return true;
      r.Error.Set(m.number, std::string(m.text) + Dashed(selection));
      return false;
  }
  return false;
}

}  // namespace

const AppDataMember& AppDataMemberOf(std::string_view table) {
  for (const auto& m : kMembers)
    if (m.table == table) return m;
  Raise(Ours::Internal, "No application data writer is named " + std::string(table));
}

// For each application of the selection that the member serves, its rows
// into one data file; the first application without rows ends the walk as
// the member's row says.
bool ExportAppDataTable(ExportContext& ctx, ExportResults& r, const AppDataMember& m, const std::string& selection) {
  try {
    store::Connection& c = ctx.Connection();
    for (const std::string& a : Codes(selection)) {
      if (!Served(c, m, a)) continue;
      auto rows = OpenRows(c, m, a);
      if (rows->IsEOF()) {
        rows.reset();
        return NoRows(ctx, r, m, selection, a);
      }
      if (m.serves == pack::Serves::Every) r.ListApplication(a);
      WriteDataFile(ctx, r, m, a, *rows);
      rows.reset();
      if (!m.companion.empty()) ExportAppDataTable(ctx, r, AppDataMemberOf(m.companion), a);
    }
    return true;
  } catch (const std::exception& e) {
    r.Error.Trap(999, TrapHead::ExportWriter, std::string(m.tag), AsComError(e));
    return false;
  }
}

bool ExportCodes(ExportContext& ctx, ExportResults& r) {
  try {
    store::Connection& c = ctx.Connection();
    const pack::RowLayout& layout = pack::kQzlgy115Rows;
    auto rows = c.OpenRecordset(store::SelectAllCodes(c.dialect()));
    auto out = files::TextWriter::Create(ctx.env(), ctx.PackFile(layout.file));
    r.ListRuleFile(layout.file);
    if (rows->IsEOF()) {
      ctx.AppendNote("No Codes in the Conversion Table Present");
    } else {
      pack::RowWriter writer(layout, *out);
      const int64_t written = WriteLayoutRows(writer, LayoutPositions(layout, *rows), *rows);
      ctx.Report(std::string(layout.file), written);
      ctx.CountRows(layout.file, written);
    }
    out->Close();
    return true;
  } catch (const std::exception& e) {
    r.Error.Trap(999, TrapHead::ExportWriter, "Export Code", AsComError(e));
    return false;
  }
}

}  // namespace kestrel::exporter
