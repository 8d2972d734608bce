// The record of runs in the store's table kestrel_runs.
#include "kestrel/runs.h"

#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "base/text.h"
#include "base/value.h"
#include "store/connection.h"
#include "store/statements_runs.h"

namespace kestrel::store {
namespace {

// The size of a piece of an undo copy as the store keeps it.
constexpr size_t kRunPieceBytes = size_t{1} << 20;

// A list of profile numbers as the table keeps it: "10,20,30".
std::string NumbersText(const std::vector<int64_t>& numbers) { return fmt::format("{}", fmt::join(numbers, ",")); }

std::vector<int64_t> NumbersOf(const Value& v) {
  std::vector<int64_t> out;
  if (v.IsNull()) return out;
  for (const std::string& n : text::Split(v.Text(), ","))
    if (!n.empty()) out.push_back(Value(n).Integer());
  return out;
}

// Application codes as the table keeps them: joined by the data files'
// field separator, which no code holds.
std::string CodesText(const std::vector<std::string>& codes) {
  return fmt::format("{}", fmt::join(codes, std::string(1, kDataFieldSeparator)));
}

std::vector<std::string> CodesOf(const Value& v) {
  std::vector<std::string> out;
  if (v.IsNull()) return out;
  for (std::string& code : text::Split(v.Text(), std::string(1, kDataFieldSeparator)))
    if (!code.empty()) out.push_back(std::move(code));
  return out;
}

bool HasRunsTable(Connection& c) {
  try {
    c.OpenRecordset(SelectNextRunId(c.dialect()));
    return true;
  } catch (const ComError& e) {
    if (c.IsMissingTable(e)) return false;
    throw;
  }
}

}  // namespace

int64_t RecordRun(Connection& c, const Run& run, Env& env, const std::string& archive_file) {
  c.Execute(CreateRunsTable(c.dialect()));
  c.Execute(CreateRunPiecesTable(c.dialect()));
  const int64_t id = c.OpenRecordset(SelectNextRunId(c.dialect()))->Fields(0).Integer();
  std::optional<int64_t> pieces;
  if (!archive_file.empty()) {
    // One piece in memory at a time, each sent before the next is read.
    static constexpr std::array<std::string_view, 3> kPieceColumns = {"run", "seq", "piece"};
    auto inserter = c.Insert(kRunPiecesTable, kPieceColumns);
    const std::unique_ptr<SequentialFile> in = env.OpenForReading(archive_file);
    std::string piece(kRunPieceBytes, '\0');
    pieces = 0;
    for (size_t n; (n = in->Read(piece.data(), piece.size())) > 0; ++*pieces) {
      inserter->Add(std::array<Value, 3>{Value(id), Value(*pieces), Value(std::string(piece, 0, n))});
      inserter->Flush();
    }
  }
  static constexpr std::array<std::string_view, 9> kColumns = {
      "id", "started", "usr", "pack", "added", "replaced", "added_applications", "pieces", "renumbered"};
  std::optional<std::string> renumbered;
  if (run.renumbered) renumbered = NumbersText({run.renumbered->first, run.renumbered->second});
  const std::array<Value, 9> row = {Value(id),
                                    Value(run.started),
                                    Value(run.user),
                                    Value(run.pack),
                                    Value(NumbersText(run.added)),
                                    Value(NumbersText(run.replaced)),
                                    Value(CodesText(run.added_applications)),
                                    pieces ? Value(*pieces) : Value(),
                                    Value(renumbered)};
  auto inserter = c.Insert(kRunsTable, kColumns);
  inserter->Add(row);
  inserter->Flush();
  return id;
}

std::vector<Run> Runs(Connection& c) {
  std::vector<Run> out;
  // A read outside a transaction: a store that never kept a run has no table.
  if (!HasRunsTable(c)) return out;
  for (auto rs = c.OpenRecordset(SelectRuns(c.dialect())); !rs->IsEOF(); rs->MoveNext()) {
    Run r;
    r.id = rs->Fields("id").Integer();
    r.started = rs->Fields("started").TextOrEmpty();
    r.user = rs->Fields("usr").TextOrEmpty();
    r.pack = rs->Fields("pack").TextOrEmpty();
    r.added = NumbersOf(rs->Fields("added"));
    r.replaced = NumbersOf(rs->Fields("replaced"));
    r.added_applications = CodesOf(rs->Fields("added_applications"));
    if (const Value by = rs->Fields("undone_by"); !by.IsNull()) r.undone_by = by.Integer();
    if (const std::vector<int64_t> n = NumbersOf(rs->Fields("renumbered")); n.size() == 2)
      r.renumbered = std::pair{n[0], n[1]};
    r.undo_kept = rs->Fields("kept").Integer() != 0 || r.renumbered;
    out.push_back(std::move(r));
  }
  return out;
}

bool RunArchive(Connection& c, int64_t id, Env& env, const std::string& file) {
  auto rs = c.OpenRecordset(SelectRunPieces(c.dialect(), id));
  if (rs->IsEOF()) return false;
  const std::unique_ptr<WritableFile> out = env.OpenForWriting(file, WriteMode::ReplacePrivate);
  for (; !rs->IsEOF(); rs->MoveNext()) out->Append(rs->Fields(0).Text());
  out->Close();
  return true;
}

bool MarkRunUndone(Connection& c, int64_t id, int64_t by) { return c.Execute(SetRunUndone(c.dialect(), id, by)) == 1; }

int64_t PruneRuns(Connection& c, const std::string& before) {
  if (!HasRunsTable(c)) return 0;
  c.Execute(DeleteRunPiecesBefore(c.dialect(), before));
  return c.Execute(DeleteRunsBefore(c.dialect(), before));
}

}  // namespace kestrel::store
