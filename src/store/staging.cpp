// Creating the staging tables after the target's columns and copying their
// rows back through the target's prepared inserts.
#include "store/staging.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <fmt/format.h>

#include "base/error.h"
#include "base/errors_ours.h"
#include "store/open.h"
#include "store/saved_rows.h"
#include "store/sql.h"
#include "store/statements_bulk.h"

namespace kestrel::store {
namespace {

// The target's column names of `table`; none when it has no such table.
std::optional<std::vector<std::string>> ColumnsOf(Connection& target, std::string_view table) {
  try {
    std::vector<std::string> names;
    for (auto& column : target.Columns(table)) names.push_back(std::move(column.name));
    return names;
  } catch (const ComError& e) {
    if (target.IsMissingTable(e)) return std::nullopt;
    throw;
  }
}

std::string QuotedName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace

namespace {

// A failure of the staging file (a full disk) is the working folder's, not
// the store's, and names the file.
template <class Write>
auto WriteStaging(const std::string& path, Write&& write) {
  try {
    return write();
  } catch (const ComError& e) {
    RaiseWithDetail(Ours::WorkFolderWriteFailed,
                    fmt::format("{} (the staging store): error {}: {}", path, e.number(), e.description()));
  }
}

}  // namespace

Staging::Staging(Connection& target, const std::string& path, std::span<const std::string_view> tables)
    : target_(target), staging_(WriteStaging(path, [&] { return Create(path); })) {
  for (std::string_view table : tables) {
    const auto columns = ColumnsOf(target, table);
    if (!columns) continue;
    std::string create = "create table " + QuotedName(table) + " (";
    for (size_t i = 0; i < columns->size(); ++i) create += (i ? ", " : "") + QuotedName((*columns)[i]);
    WriteStaging(path, [&] { staging_->Execute(create + ")"); });
    staged_.emplace_back(table);
  }
}

bool Staging::Has(std::string_view table) const {
  return std::find(staged_.begin(), staged_.end(), table) != staged_.end();
}

int64_t Staging::CopyInto(std::string_view table, int64_t rows_per_batch,
                          const std::function<void(int64_t)>& progress) {
  if (!Has(table)) return 0;
  // The staging store is always a file of ours: its rowid is the load order.
  auto rows = staging_->Prepare("select rowid, * from " + QuotedName(table) + " order by rowid");
  const size_t columns = static_cast<size_t>(rows->ColumnCount()) - 1;
  auto insert = target_.Prepare(InsertBulkRow(target_.dialect(), table, columns));
  SavedRows saved(target_, static_cast<size_t>(rows_per_batch > 0 ? rows_per_batch : 1));
  std::vector<Value> values(columns);
  while (rows->Step()) {
    for (size_t i = 0; i < columns; ++i) {
      values[i] = rows->Column(static_cast<int>(i + 1));
      insert->BindKept(static_cast<int>(i + 1), values[i]);
    }
    try {
      insert->Run();
    } catch (const ComError& e) {
      throw ComError(e.number(), fmt::format("{}: row {}", e.description(), rows->Column(0).Text()));
    }
    saved.RowSaved();
    if (progress && saved.rows() % static_cast<size_t>(rows_per_batch > 0 ? rows_per_batch : 1) == 0)
      progress(static_cast<int64_t>(saved.rows()));
  }
  saved.Finish();
  if (progress) progress(static_cast<int64_t>(saved.rows()));
  return static_cast<int64_t>(saved.rows());
}

}  // namespace kestrel::store
