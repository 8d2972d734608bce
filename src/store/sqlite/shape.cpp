// Shapes of selects from SQLite's own account of them: the table each result
// column comes from, and the tables a statement reads without taking a column.
#include "store/sqlite/shape.h"
#include "store/sqlite/store_error.h"

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/text.h"
#include "store/select_text.h"

namespace kestrel::store::sqlite {
namespace {

using text::EqualNoCase;

// Select texts whose shape is remembered (all are forgotten when it is full).
constexpr size_t kShapeCacheSize = 512;

// Column affinity from a declared type, as SQLite decides it.
bool DeclaredText(const char* decl) {
  if (decl == nullptr) return false;
  std::string_view d(decl);
  if (text::ContainsNoCase(d, "INT")) return false;
  return text::ContainsNoCase(d, "CHAR") || text::ContainsNoCase(d, "CLOB") || text::ContainsNoCase(d, "TEXT");
}

bool DeclaredBlob(const char* decl) { return decl != nullptr && EqualNoCase(decl, "BLOB"); }

void AddOnce(std::vector<std::string>& tables, const char* table) {
  if (table == nullptr || *table == '\0') return;
  for (const auto& t : tables)
    if (EqualNoCase(t, table)) return;
  tables.emplace_back(table);
}

}  // namespace

// The tables a statement being compiled reads without taking any of their
// columns (a joined table only filtered on constants, a count(*)).
struct Shapes::Probe {
  std::vector<std::string> unread;
};

Shapes::Shapes(sqlite3* db) : db_(db) { sqlite3_set_authorizer(db_, &Shapes::Authorize, this); }

int Shapes::Authorize(void* self, int action, const char* table, const char* column, const char*, const char*) {
  Probe* probe = static_cast<Shapes*>(self)->probe_;
  // SQLite reports a table that a select names but takes no column from as a
  // read of the column "".
  if (probe != nullptr && action == SQLITE_READ && column != nullptr && *column == '\0') AddOnce(probe->unread, table);
  return SQLITE_OK;
}

SelectShape& Shapes::Of(std::string_view statement) {
  auto known = selects_.find(statement);
  if (known != selects_.end()) return known->second;
  SelectShape shape = Read(statement);
  if (selects_.size() >= kShapeCacheSize) selects_.clear();
  return selects_.emplace(std::string(statement), std::move(shape)).first->second;
}

SelectShape Shapes::Read(std::string_view statement) {
  Probe probe;
  probe_ = &probe;
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(db_, statement.data(), static_cast<int>(statement.size()), &s, nullptr);
  probe_ = nullptr;
  if (rc != SQLITE_OK) {
    sqlite3_finalize(s);
    throw StoreError(db_);
  }
  if (s == nullptr) Raise(Ours::StatementNotSingle, "The statement is empty");
  std::vector<std::string> tables;
  for (int i = 0, n = sqlite3_column_count(s); i < n; ++i) AddOnce(tables, sqlite3_column_table_name(s, i));
  sqlite3_finalize(s);
  for (const auto& t : probe.unread) AddOnce(tables, t.c_str());

  SelectShape shape;
  shape.several = tables.size() > 1;
  if (tables.size() != 1) return shape;
  shape.table = tables.front();
  shape.with_rowid = SelectAllWithRowId(statement, "rowid");
  return shape;
}

std::shared_ptr<const ResultColumns> Shapes::ColumnsOf(sqlite3_stmt* s, int hidden) {
  auto& seen = columns_[s];
  const int reprepares = sqlite3_stmt_status(s, SQLITE_STMTSTATUS_REPREPARE, 0);
  if (!seen.columns || seen.reprepares != reprepares) {
    auto columns = std::make_shared<ResultColumns>();
    const int n = sqlite3_column_count(s) - hidden;
    columns->names.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      const char* name = sqlite3_column_name(s, i);
      const char* decl = sqlite3_column_decltype(s, i);
      columns->names.emplace_back(name ? name : "");
      columns->binary.push_back(DeclaredBlob(decl));
      columns->textual.push_back(DeclaredText(decl));
    }
    seen.columns = std::move(columns);
    seen.reprepares = reprepares;
  }
  return seen.columns;
}

}  // namespace kestrel::store::sqlite
