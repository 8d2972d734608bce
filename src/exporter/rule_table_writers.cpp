// The rule table writers: the member table and the one procedure they share.
// Rows are read forward and written as they are read, so memory stays flat
// however many rows a table holds.
#include "exporter/rule_table_writers.h"

#include <array>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "exporter/profile_drivers.h"
#include "exporter/profile_list.h"
#include "pack/manifest.h"
#include "pack/record_writer.h"
#include "pack/row_writer.h"
#include "store/statements_export.h"

namespace kestrel::exporter {
namespace {

using When = RuleTableMember::WhenEmpty;

// clang-format off
constexpr std::array<RuleTableMember, 13> kMembers = {{
  // procedure        table       file            tagged             rows                 current  when empty           number  text                                                    warning  tag
  {"ExportQzmap101", "qzmap101", "Qzmap101.dat", nullptr,           &pack::kQzmap101Rows, false, When::Fail,          101, "Error : Qzmap101 - No Data Present in Qzmap101 Table", false, "Qzmap101"},
  {"ExportQzmap105", "qzmap105", "Qzmap105.dat", nullptr,           &pack::kQzmap105Rows, false, When::Fail,          105, "Error : Qzmap105 - No Data Present in Qzmap105 Table", false, "Qzmap105"},
  {"ExportQzmap120", "qzmap120", "Qzmap120.dat", &pack::kQzmap120, nullptr,              true,  When::EmptyFileNote, 0,   "",                                                     true,  "Qzmap120"},
  {"ExportQzmap130", "qzmap130", "Qzmap130.dat", &pack::kQzmap130, nullptr,              true,  When::EmptyFile,     0,   "",                                                     false, "Qzmap130"},
  {"ExportQzmap140", "qzmap140", "Qzmap140.dat", &pack::kQzmap140, nullptr,              true,  When::EmptyFile,     0,   "",                                                     false, "Qzmap140"},
  {"ExportQzmap160", "qzmap160", "Qzmap160.dat", &pack::kQzmap160, nullptr,              true,  When::EmptyFile,     0,   "",                                                     false, "Qzmap160"},
  {"ExportQzmap170", "qzmap170", "qzmap170.dat", &pack::kQzmap170, nullptr,              true,  When::EmptyFile,     0,   "",                                                     false, "qzmap170"},
  {"ExportQzmap110", "qzmap110", "Qzmap110.dat", &pack::kQzmap110, nullptr,              false, When::EmptyFile,     0,   "",                                                     false, "Qzmap110"},
  {"ExportQzmap125", "qzmap125", "Qzmap125.dat", &pack::kQzmap125, nullptr,              false, When::EmptyFile,     0,   "",                                                     false, "Qzmap125"},
  {"ExportQzmap135", "qzmap135", "Qzmap135.dat", &pack::kQzmap135, nullptr,              false, When::EmptyFile,     0,   "",                                                     false, "Qzmap135"},
  {"ExportQzmap145", "qzmap145", "Qzmap145.dat", &pack::kQzmap145, nullptr,              false, When::EmptyFile,     0,   "",                                                     false, "Qzmap145"},
  {"ExportQzmap165", "qzmap165", "Qzmap165.dat", &pack::kQzmap165, nullptr,              false, When::EmptyFile,     0,   "",                                                     false, "Qzmap165"},
  {"ExportQzmap175", "qzmap175", "qzmap175.dat", &pack::kQzmap175, nullptr,              false, When::EmptyFile,     0,   "",                                                     false, "qzmap175"},
}};
// clang-format on

void WriteRowFile(ExportContext& ctx, ExportResults& r, const RuleTableMember& m, store::Recordset& rs) {
  const std::vector<int> at = LayoutPositions(*m.rows, rs);
  auto out = files::TextWriter::Create(ctx.env(), ctx.PackFile(m.file));
  r.ListRuleFile(m.file);
  pack::RowWriter rows(*m.rows, *out);
  const std::string file(m.file);
  ctx.CountRows(file, WriteLayoutRows(rows, at, rs, [&](int64_t done) { ctx.Report(file, done); }));
  rs.Close();
  out->Close();
}

void WriteTaggedFile(ExportContext& ctx, const RuleTableMember& m, store::Recordset& rs, files::TextWriter& out,
                     bool for_sync) {
  pack::RecordOptions options;
  options.for_sync = for_sync;
  pack::TaggedRecordWriter records(*m.tagged, out, options);
  const std::vector<int> binding = pack::BindColumnsOf(*m.tagged, rs);
  int logn = -1, mprf = -1, tcpac = -1, tcmod = -1, tflno = -1;
  if (m.checked_out_warning) {
    logn = ColumnIndex(rs, "logn");
    mprf = ColumnIndex(rs, "mprf");
    tcpac = ColumnIndex(rs, "tcpac");
    tcmod = ColumnIndex(rs, "tcmod");
    tflno = ColumnIndex(rs, "tflno");
  }
  const std::string file(m.file);
  int64_t done = 0;
  for (; !rs.IsEOF(); rs.MoveNext()) {
    records.Write(pack::BoundRow(rs, binding));
    if (logn >= 0) {
      std::string user = rs.Fields(logn).TextOrEmpty();
      if (!user.empty())
        ctx.AppendNote("Object Exported " + rs.Fields(mprf).TextOrEmpty() + "-" + rs.Fields(tcpac).TextOrEmpty() +
                          rs.Fields(tcmod).TextOrEmpty() + rs.Fields(tflno).TextOrEmpty() +
                          " but was Checked out by user " + user);
    }
    ctx.Report(file, ++done);
  }
  ctx.CountRows(file, done);
}

}  // namespace

const RuleTableMember& RuleTableMemberOf(std::string_view procedure_or_table) {
  for (const auto& m : kMembers)
    if (m.procedure == procedure_or_table || m.table == procedure_or_table) return m;
  Raise(Ours::Internal, "No rule table writer is named " + std::string(procedure_or_table));
}

std::string RuleTableQuery(const RuleTableMember& m, store::Dialect d, std::span<const int64_t> profiles,
                           bool for_sync) {
  return m.current_rules ? store::SelectCurrentRules(d, m.table, profiles, !for_sync)
                         : store::SelectProfileRows(d, m.table, profiles);
}

bool ExportRuleTable(ExportContext& ctx, ExportResults& r, const RuleTableMember& m, const std::string& profiles,
                     bool for_sync) {
  try {
    store::Connection& c = ctx.Connection();
    const std::string query = RuleTableQuery(m, c.dialect(), ProfileNumbers(profiles), for_sync);
    const auto open_rows = [&] {
      auto rs = c.OpenRecordset(query);
      // Nothing else asks the store anything until the file is written.
      rs->ReadThroughAlone();
      return rs;
    };
    if (m.rows) {
      // The row files look at the rows before they create their file.
      auto rs = open_rows();
      if (rs->IsEOF()) {
        r.Error.Set(m.empty_number, std::string(m.empty_text));
        rs->Close();
        return false;
      }
      WriteRowFile(ctx, r, m, *rs);
      return true;
    }
    auto out = files::TextWriter::Create(ctx.env(), ctx.PackFile(m.file));
    r.ListRuleFile(m.file);
    auto rs = open_rows();
    if (rs->IsEOF()) {
      if (m.when_empty == RuleTableMember::WhenEmpty::EmptyFileNote)
        ctx.ManifestText += pack::manifest::UnendedNote("No Conversion Rules Present");
      rs->Close();
    } else {
      WriteTaggedFile(ctx, m, *rs, *out, for_sync);
      rs->Close();
    }
    out->Close();
    return true;
  } catch (const std::exception& ex) {
    r.Error.Trap(999, TrapHead::ExportWriter, std::string(m.tag), AsComError(ex));
    return false;
  }
}

}  // namespace kestrel::exporter
