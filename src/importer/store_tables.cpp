// The target store's tables, columns and declared widths, as read by the
// check before an import.
#include "importer/store_tables.h"

#include <algorithm>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "store/schema.h"
#include "store/statements_import_check.h"

namespace kestrel::importer {
namespace {

// The width of a character type declared with one ("varchar(12)": 12).
std::optional<size_t> DeclaredWidth(const std::string& type) {
  const std::string lower = text::LowerAscii(type);
  const size_t open = lower.find('(');
  if (lower.find("char") == std::string::npos || open == std::string::npos) return std::nullopt;
  size_t width = 0, digits = 0;
  for (size_t i = open + 1; i < lower.size() && lower[i] >= '0' && lower[i] <= '9'; ++i, ++digits)
    width = width * 10 + static_cast<size_t>(lower[i] - '0');
  if (digits == 0) return std::nullopt;
  return width;
}

}  // namespace

const std::vector<std::string>& StoreTables::Columns(std::string_view table) {
  auto found = columns_.find(table);
  if (found != columns_.end()) return found->second;
  std::vector<std::string> names;
  try {
    for (const auto& column : c_.Columns(table)) names.push_back(text::LowerAscii(column.name));
  } catch (const ComError& e) {
    // A table another program keeps locked is there: its failure names it.
    if (e.number() == Number(Ours::StoreLocked)) throw;
    RaiseWithDetail(Ours::TableMissing,
                    "the store cannot read table " + std::string(table) + " (" + e.description() + ")");
  }
  return columns_.emplace(std::string(table), std::move(names)).first->second;
}

std::optional<size_t> StoreTables::Width(std::string_view table, std::string_view column) {
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

void StoreTables::RequireColumn(std::string_view table, std::string_view column) {
  const auto& names = Columns(table);
  if (std::find(names.begin(), names.end(), column) == names.end()) RaiseColumnMissing(table, column);
}

void StoreTables::RequireSchemaColumns(std::string_view table) {
  if (const store::TableDef* def = store::FindTable(table))
    for (std::string_view column : def->ColumnNames()) RequireColumn(table, column);
}

void StoreTables::RaiseColumnMissing(std::string_view table, std::string_view column) {
  RaiseWithDetail(Ours::FieldNotFound,
                  "the store's table " + std::string(table) + " has no column " + std::string(column));
}

}  // namespace kestrel::importer
